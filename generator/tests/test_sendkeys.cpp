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
    void parses_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QVector<KeyStroke>>("strokes");
        QTest::newRow("alt letter, as written") << "%O" << QVector<KeyStroke>{Ch(u'O', true)};
        QTest::newRow("typed text, spaces included")
            << "ti m" << QVector<KeyStroke>{Ch(u't'), Ch(u'i'), Ch(u' '), Ch(u'm')};
        QTest::newRow("names in any case") << "{ENTER}{enter}{Up}" << QVector<KeyStroke>{K(Key::Enter), K(Key::Enter), K(Key::Up)};
        QTest::newRow("alt applies to the next key only")
            << "%a{up}b" << QVector<KeyStroke>{Ch(u'a', true), K(Key::Up), Ch(u'b')};
        QTest::newRow("alt with a named key") << "%{ENTER}" << QVector<KeyStroke>{K(Key::Enter, true)};
        QTest::newRow("braced characters are typed") << "{%}{{}{}}" << QVector<KeyStroke>{Ch(u'%'), Ch(u'{'), Ch(u'}')};
        QTest::newRow("other characters literally")
            << "+^~中" << QVector<KeyStroke>{Ch(u'+'), Ch(u'^'), Ch(u'~'), Ch(u'中')};
        QTest::newRow("empty") << "" << QVector<KeyStroke>{};
    }
    void parses()
    {
        QFETCH(QString, keys);
        QFETCH(QVector<KeyStroke>, strokes);
        QCOMPARE(ParseSendKeys(keys), strokes);
    }

    void refusesWhatItCannotRead()
    {
        for (const char* keys : {"a%", "{TAB}", "{ENTER", "{}"}) {
            try {
                ParseSendKeys(keys);
                QFAIL(keys);
            } catch (const RuntimeError& error) {
                QCOMPARE(error.number(), 5);
            }
        }
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
