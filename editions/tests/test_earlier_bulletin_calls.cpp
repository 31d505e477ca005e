// The earlier edition's generator against a recording word processor:
// create-only, the first failure ends the run, the keystroke phase.

#include "editions/contacts.h"
#include "editions/earlier_bulletin.h"
#include "editions/edition.h"
#include "generator/tests/fake_backend.h"

#include <QtTest>

using namespace brevix;
using brevix::test::FakeBackend;

namespace {

const OutputTexts Texts{"12", "345", "2003", "1", "13"};

Article Make(const QString& title, const QString& category)
{
    return {title, "来源", "内容", category};
}

QVector<Article> SampleIssue()
{
    return {Make("宏观", "宏观动向"), Make("热点", "热点关注"), Make("信息", "信息综览"),
            Make("企业", "企业纵横"), Make("国内", "国内行业"), Make("国际", "国际行业"),
            Make("市场", "市场动态")};
}

void Run(FakeBackend& backend, const QVector<Article>& articles, const YieldFn& yield = {})
{
    OutputEarlierIssueToWord(backend, articles, Texts, OfficeContacts(), yield);
}

} // namespace

class TestEarlierBulletinCalls : public QObject {
    Q_OBJECT
private slots:
    void onlyCreates();
    void noWordIsTheError();
    void firstFailureEndsTheRun_data();
    void firstFailureEndsTheRun();
    void overflowingTitle_data();
    void overflowingTitle();
    void keystrokePhase();
    void yields();
    void worksOnASnapshot();
    void editionRunsThisGenerator();
};

void TestEarlierBulletinCalls::onlyCreates()
{
    FakeBackend backend;
    backend.running = true;
    Run(backend, SampleIssue());
    QCOMPARE(backend.log.count("GetObject(Word.Application)"), 0);
    QCOMPARE(backend.log.calls.first(), "CreateObject(Word.Application)");
    QCOMPARE(backend.log.failed, 0);
}

void TestEarlierBulletinCalls::noWordIsTheError()
{
    FakeBackend backend;
    backend.noWord = true;
    try {
        Run(backend, SampleIssue());
        QFAIL("no error");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), 429);
    }
    QCOMPARE(backend.log.calls, QStringList{"CreateObject(Word.Application)"});
}

void TestEarlierBulletinCalls::firstFailureEndsTheRun_data()
{
    QTest::addColumn<double>("when"); // fraction of the run's calls
    for (double when : {0.05, 0.3, 0.5, 0.8, 0.99})
        QTest::newRow(qPrintable(QString::number(when))) << when;
}

void TestEarlierBulletinCalls::firstFailureEndsTheRun()
{
    QFETCH(double, when);
    FakeBackend reference;
    Run(reference, SampleIssue());
    const int failAt = int(reference.log.calls.size() * when);

    FakeBackend backend;
    backend.log.failAt(failAt);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Run(backend, SampleIssue()));
    // Nothing after the failing call but the releases, in order.
    QCOMPARE(backend.log.calls.mid(0, failAt), reference.log.calls.mid(0, failAt));
    QCOMPARE(backend.log.calls.mid(failAt + 1),
             QStringList({"release Range", "release Document", "release Application created"}));
}

void TestEarlierBulletinCalls::overflowingTitle_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("overflows");
    QTest::addColumn<bool>("titleTypeset");
    QTest::newRow("10919") << 10919 << false << true;
    QTest::newRow("10920: after the title") << 10920 << true << true;
    QTest::newRow("past a 16-bit length: before it") << 32768 << true << false;
}

void TestEarlierBulletinCalls::overflowingTitle()
{
    QFETCH(int, length);
    QFETCH(bool, overflows);
    QFETCH(bool, titleTypeset);
    const QString title(length, u'长');
    FakeBackend backend;
    try {
        Run(backend, {Make(title, "宏观动向")});
        QVERIFY(!overflows);
    } catch (const RuntimeError& error) {
        QVERIFY(overflows);
        QCOMPARE(error.number(), 6);
        QCOMPARE(error.description(), "溢出");
        // The text typeset so far stays; nothing follows the failure.
        QCOMPARE(backend.log.inserted.endsWith("    " + title), titleTypeset);
        QCOMPARE(backend.log.calls.mid(backend.log.calls.size() - 3),
                 QStringList({"release Range", "release Document", "release Application created"}));
    }
}

void TestEarlierBulletinCalls::keystrokePhase()
{
    FakeBackend backend;
    Run(backend, {});
    const QStringList& calls = backend.log.calls;
    const qsizetype first = calls.indexOf("BeginPhase");
    QVERIFY(first > 0);
    QCOMPARE(calls.mid(first - 2, 2), QStringList({"Application.Activate", "Document.Select"}));
    QCOMPARE(calls.mid(first + 1, 13),
             QStringList({"SendKeys(%o,wait)", "SendKeys(f,wait)", "SendKeys(%o,wait)",
                          "SendKeys(times new roman,wait)", "SendKeys({ENTER},wait)", "SendKeys({ENTER},wait)",
                          "SendKeys(%i,wait)", "SendKeys(u,wait)", "SendKeys(%a{up},wait)",
                          "SendKeys({ENTER},wait)", "SendKeys({ENTER},wait)", "InsertAfter( )", "release Range"}));
    QVERIFY(backend.log.inserted.endsWith("\r "));
}

void TestEarlierBulletinCalls::yields()
{
    FakeBackend backend;
    int yields = 0;
    int refreshesAtFirstYield = -1;
    Run(backend, SampleIssue(), [&] {
        if (yields++ == 0)
            refreshesAtFirstYield = backend.log.count("ScreenRefresh");
    });
    // Contents group 4 and the six section scans, once per article each.
    QCOMPARE(yields, 7 * 7);
    // Groups 1 to 3 refresh without yielding; group 4 yields after its first refresh.
    QCOMPARE(refreshesAtFirstYield, 3 * 7 + 1);
    QCOMPARE(backend.log.count("ScreenRefresh"), 4 * 7);
}

void TestEarlierBulletinCalls::worksOnASnapshot()
{
    FakeBackend reference;
    Run(reference, SampleIssue());
    QVector<Article> issue = SampleIssue();
    FakeBackend backend;
    Run(backend, issue, [&] {
        issue.clear();
        issue.append(Make("新", "国内行业"));
    });
    QCOMPARE(backend.log.inserted, reference.log.inserted);
}

void TestEarlierBulletinCalls::editionRunsThisGenerator()
{
    FakeBackend direct;
    Run(direct, SampleIssue());
    FakeBackend viaEdition;
    BrevixEdition().outputIssueToWord(viaEdition, SampleIssue(), Texts, {});
    QCOMPARE(viaEdition.log.calls, direct.log.calls);
}

QTEST_APPLESS_MAIN(TestEarlierBulletinCalls)
#include "test_earlier_bulletin_calls.moc"
