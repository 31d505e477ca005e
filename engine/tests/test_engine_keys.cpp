// The key-string notation of the keystroke phase.

#include "engine/tests/golden.h"
#include "engine/keys.h"
#include "model/tests/files.h"

#include <QtTest>

using namespace brevix;
using namespace brevix::engine;
using Key = engine::KeyStroke::Key;

namespace {

// Strokes as key-string rows write them: "Alt+o Enter Space".
QString Names(const QVector<KeyStroke>& strokes)
{
    QStringList names;
    for (const KeyStroke& k : strokes) {
        const QString name = k.key == Key::Enter ? "Enter" : k.key == Key::Up ? "Up" : k.character == u' ' ? "Space" : QString(k.character);
        names << (k.alt ? "Alt+" : "") + name;
    }
    return names.isEmpty() ? QString("nothing") : names.join(u' ');
}

} // namespace

class TestEngineKeys : public QObject {
    Q_OBJECT
private slots:
    // Rows of data/key_strings.txt: a key string → the strokes it stands for,
    // or the error number when it cannot be read. Alt letters as written,
    // typed text with its spaces, names in any case, Alt applying to the next
    // key only (a named one too), braced characters typed, others literally.
    void parses()
    {
        BREVIX_COMPARE_TRANSCRIPT("key_strings.txt", [](const QString& keys) {
            QVector<KeyStroke> strokes;
            const int error = faults::ErrorOf([&] { strokes = ParseSendKeys(keys); }).first;
            return error ? QString("error %1").arg(error) : Names(strokes);
        });
    }
};

QTEST_APPLESS_MAIN(TestEngineKeys)
#include "test_engine_keys.moc"
