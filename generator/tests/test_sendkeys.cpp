// The key-string notation, and the desktop key sender that refuses to type
// into any window but the word processor's.

#include "engine/tests/golden.h"
#include "generator/sendkeys.h"

#include <QtTest>

using namespace brevix;
using engine::KeyStroke;
using Key = engine::KeyStroke::Key;

namespace {

KeyStroke Ch(char16_t c, bool alt = false) { return {Key::Character, QChar(c), alt}; }
KeyStroke K(Key key, bool alt = false) { return {key, QChar(), alt}; }

// A desktop whose focus probe answers from a script (the last answer
// repeats), with the sender under test.
struct Desktop : KeyInjector, FocusProbe {
    void Inject(const QVector<KeyStroke>& strokes, bool wait) override
    {
        sent.append(strokes);
        waits.append(wait);
    }
    bool FocusIsWordProcessor() override { return answers.value(asked++, answers.last()); }

    QList<bool> answers{true};
    int asked = 0;
    QList<QVector<KeyStroke>> sent;
    QList<bool> waits;
    DesktopKeySender sender{*this, *this};
};

} // namespace

class TestSendKeys : public QObject {
    Q_OBJECT
private slots:
    // Rows of data/key_strings.txt: a key string → the strokes it stands for,
    // or the error number when it cannot be read. Alt letters as written,
    // typed text with its spaces, names in any case, Alt applying to the next
    // key only (a named one too), braced characters typed, others literally.
    void parses()
    {
        BREVIX_COMPARE_TRANSCRIPT("key_strings.txt", [](const QString& keys) {
            QStringList strokes;
            try {
                for (const KeyStroke& k : ParseSendKeys(keys)) {
                    const QString name = k.key == Key::Enter ? "Enter" : k.key == Key::Up ? "Up" : k.character == u' ' ? "Space" : QString(k.character);
                    strokes << (k.alt ? "Alt+" : "") + name;
                }
            } catch (const RuntimeError& error) {
                return QString("error %1").arg(error.number());
            }
            return strokes.isEmpty() ? QString("nothing") : strokes.join(u' ');
        });
    }

    // The focus is checked before every key string; once it has left the
    // word processor nothing more is sent in that phase (without error),
    // even when it comes back. A new phase checks again.
    void typesOnlyIntoTheWordProcessor()
    {
        Desktop d;
        d.answers = {true, true, false, true};
        d.sender.BeginPhase();
        d.sender.SendKeys("%o", true);
        d.sender.SendKeys("{ENTER}", false);
        QVERIFY(!d.sender.PhaseEnded());
        for (const char* keys : {"f", "%o", "times new roman"})
            d.sender.SendKeys(keys, true);
        QCOMPARE(d.sent, (QList<QVector<KeyStroke>>{{Ch(u'o', true)}, {K(Key::Enter)}}));
        QCOMPARE(d.waits, (QList<bool>{true, false}));
        QCOMPARE(d.asked, 3);
        QVERIFY(d.sender.PhaseEnded());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, d.sender.SendKeys("{NOPE}", true)); // still an error
        d.sender.BeginPhase();
        d.sender.SendKeys("%i", true);
        QCOMPARE(d.sent.size(), 3);
    }
};

QTEST_APPLESS_MAIN(TestSendKeys)
#include "test_sendkeys.moc"
