// The key-string notation, and the desktop key sender that refuses to type
// into any window but the word processor's.

#include "engine/tests/golden.h"
#include "generator/sendkeys.h"
#include "model/tests/files.h"

#include <QtTest>

using namespace brevix;
using engine::KeyStroke;
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

// A desktop whose focus probe answers from a script (the last answer
// repeats), with the sender under test.
struct Desktop : KeyInjector, FocusProbe {
    void Inject(const QVector<KeyStroke>& strokes, bool wait) override { sent << Names(strokes) + (wait ? ", waited" : ""); }
    bool FocusIsWordProcessor() override { return answers.value(asked++, answers.last()); }

    QList<bool> answers{true};
    int asked = 0;
    QStringList sent;
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
            QVector<KeyStroke> strokes;
            const int error = faults::ErrorOf([&] { strokes = ParseSendKeys(keys); }).first;
            return error ? QString("error %1").arg(error) : Names(strokes);
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
        QCOMPARE(d.sent, (QStringList{"Alt+o, waited", "Enter"}));
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
