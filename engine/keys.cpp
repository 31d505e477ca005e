#include "engine/keys.h"

#include "model/errors.h"

namespace brevix::engine {

namespace {

RuntimeError InvalidKeys() { return {5, QStringLiteral("无效的过程调用或参数")}; }

} // namespace

QVector<KeyStroke> ParseSendKeys(const QString& keys)
{
    QVector<KeyStroke> strokes;
    bool alt = false;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const QChar c = keys[i];
        if (c == u'%') {
            alt = true;
            continue;
        }
        KeyStroke stroke;
        if (c == u'{') {
            // "{c}" for one character (also "{}}"), otherwise a key name up to "}".
            const qsizetype close = keys.indexOf(u'}', i + 2);
            if (close < 0)
                throw InvalidKeys();
            const QString name = keys.mid(i + 1, close - i - 1);
            if (name.size() == 1) {
                stroke.character = name[0];
            } else if (name.compare(u"ENTER", Qt::CaseInsensitive) == 0) {
                stroke.key = KeyStroke::Key::Enter;
            } else if (name.compare(u"UP", Qt::CaseInsensitive) == 0) {
                stroke.key = KeyStroke::Key::Up;
            } else {
                throw InvalidKeys();
            }
            i = close;
        } else {
            stroke.character = c;
        }
        stroke.alt = alt;
        alt = false;
        strokes.append(stroke);
    }
    if (alt)
        throw InvalidKeys(); // "%" with no key to hold Alt for
    return strokes;
}

} // namespace brevix::engine
