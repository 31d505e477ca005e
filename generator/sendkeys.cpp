#include "generator/sendkeys.h"

#include "model/errors.h"

namespace brevix {

namespace {

RuntimeError InvalidKeys() { return {5, QStringLiteral("无效的过程调用或参数")}; }

using engine::KeyStroke;

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

DesktopKeySender::DesktopKeySender(KeyInjector& injector, FocusProbe& probe)
    : injector_(injector), probe_(probe) {}

void DesktopKeySender::BeginPhase() { ended_ = false; }

void DesktopKeySender::SendKeys(const QString& keys, bool wait)
{
    const QVector<engine::KeyStroke> strokes = ParseSendKeys(keys); // a bad string is an error in any case
    if (ended_)
        return;
    if (!probe_.FocusIsWordProcessor()) {
        ended_ = true;
        return;
    }
    injector_.Inject(strokes, wait);
}

} // namespace brevix
