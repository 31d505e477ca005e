// The key-string notation, and the desktop key sender that refuses to type
// into any window but the word processor's.

#include "generator/sendkeys.h"

#include <QtTest>

using namespace brevix;
using engine::KeyStroke;
using Key = engine::KeyStroke::Key;

Q_DECLARE_METATYPE(QVector<KeyStroke>)

namespace {

KeyStroke Ch(char16_t c, bool alt = false) { return {Key::Character, QChar(c), alt}; }
KeyStroke K(Key key, bool alt = false) { return {key, QChar(), alt}; }

struct RecordingInjector : KeyInjector {
    QList<QVector<KeyStroke>> sent;
    QList<bool> waits;
    void Inject(const QVector<KeyStroke>& strokes, bool wait) override
    {
        sent.append(strokes);
        waits.append(wait);
    }
};

// Answers from a script; the last answer repeats.
struct ScriptedProbe : FocusProbe {
    QList<bool> answers{true};
    int asked = 0;
    bool FocusIsWordProcessor() override
    {
        const bool answer = answers.value(asked, answers.last());
        ++asked;
        return answer;
    }
};

} // namespace

class TestSendKeys : public QObject {
    Q_OBJECT
private slots:
    void parses_data();
    void parses();
    void refusesWhatItCannotRead_data();
    void refusesWhatItCannotRead();
    void sendsWhileTheWordProcessorHasTheFocus();
    void focusElsewhereEndsThePhaseWithoutError();
    void aNewPhaseChecksAgain();
};

void TestSendKeys::parses_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QVector<KeyStroke>>("strokes");
    QTest::newRow("alt letter") << "%o" << QVector<KeyStroke>{Ch(u'o', true)};
    QTest::newRow("plain letter") << "f" << QVector<KeyStroke>{Ch(u'f')};
    QTest::newRow("typed text, spaces included")
        << "times new" << QVector<KeyStroke>{Ch(u't'), Ch(u'i'), Ch(u'm'), Ch(u'e'), Ch(u's'), Ch(u' '),
                                             Ch(u'n'), Ch(u'e'), Ch(u'w')};
    QTest::newRow("enter") << "{ENTER}" << QVector<KeyStroke>{K(Key::Enter)};
    QTest::newRow("names in any case") << "{enter}{Up}" << QVector<KeyStroke>{K(Key::Enter), K(Key::Up)};
    QTest::newRow("alt then arrow") << "%a{up}" << QVector<KeyStroke>{Ch(u'a', true), K(Key::Up)};
    QTest::newRow("alt applies to the next key only")
        << "%ab" << QVector<KeyStroke>{Ch(u'a', true), Ch(u'b')};
    QTest::newRow("alt with a named key") << "%{ENTER}" << QVector<KeyStroke>{K(Key::Enter, true)};
    QTest::newRow("braced characters are typed")
        << "{%}{{}{}}" << QVector<KeyStroke>{Ch(u'%'), Ch(u'{'), Ch(u'}')};
    QTest::newRow("capital letters as written") << "%O" << QVector<KeyStroke>{Ch(u'O', true)};
    QTest::newRow("other characters literally")
        << "+^~中" << QVector<KeyStroke>{Ch(u'+'), Ch(u'^'), Ch(u'~'), Ch(u'中')};
    QTest::newRow("empty") << "" << QVector<KeyStroke>{};
}

void TestSendKeys::parses()
{
    QFETCH(QString, keys);
    QFETCH(QVector<KeyStroke>, strokes);
    QCOMPARE(ParseSendKeys(keys), strokes);
}

void TestSendKeys::refusesWhatItCannotRead_data()
{
    QTest::addColumn<QString>("keys");
    QTest::newRow("alt with nothing after it") << "a%";
    QTest::newRow("unknown name") << "{TAB}";
    QTest::newRow("unclosed") << "{ENTER";
    QTest::newRow("empty braces") << "{}";
}

void TestSendKeys::refusesWhatItCannotRead()
{
    QFETCH(QString, keys);
    try {
        ParseSendKeys(keys);
        QFAIL("accepted");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), 5);
    }
}

void TestSendKeys::sendsWhileTheWordProcessorHasTheFocus()
{
    RecordingInjector injector;
    ScriptedProbe probe;
    DesktopKeySender sender(injector, probe);
    sender.BeginPhase();
    sender.SendKeys("%o", true);
    sender.SendKeys("{ENTER}", false);
    QCOMPARE(injector.sent, (QList<QVector<KeyStroke>>{{Ch(u'o', true)}, {K(Key::Enter)}}));
    QCOMPARE(injector.waits, (QList<bool>{true, false}));
    QCOMPARE(probe.asked, 2); // asked before every string, not once per phase
    QVERIFY(!sender.PhaseEnded());
}

void TestSendKeys::focusElsewhereEndsThePhaseWithoutError()
{
    RecordingInjector injector;
    ScriptedProbe probe;
    probe.answers = {true, false, true}; // the focus moves away, then comes back
    DesktopKeySender sender(injector, probe);
    sender.BeginPhase();
    sender.SendKeys("%o", true);
    sender.SendKeys("f", true);
    sender.SendKeys("%o", true);
    sender.SendKeys("times new roman", true);
    // Nothing after the focus left, even though it came back.
    QCOMPARE(injector.sent.size(), 1);
    QVERIFY(sender.PhaseEnded());
    QCOMPARE(probe.asked, 2);
    // A bad key string is still an error.
    QVERIFY_THROWS_EXCEPTION(RuntimeError, sender.SendKeys("{NOPE}", true));
}

void TestSendKeys::aNewPhaseChecksAgain()
{
    RecordingInjector injector;
    ScriptedProbe probe;
    probe.answers = {false, true};
    DesktopKeySender sender(injector, probe);
    sender.BeginPhase();
    sender.SendKeys("%i", true);
    QVERIFY(injector.sent.isEmpty());
    sender.BeginPhase();
    sender.SendKeys("%i", true);
    QCOMPARE(injector.sent.size(), 1);
}

QTEST_APPLESS_MAIN(TestSendKeys)
#include "test_sendkeys.moc"
