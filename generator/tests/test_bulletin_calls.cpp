// The current edition's generator against a recording word processor: how it
// obtains Word, which calls it makes, and what it does when calls fail.

#include "generator/bulletin.h"
#include "generator/bulletin_steps.h"
#include "generator/tests/fake_backend.h"

#include <QtTest>

using namespace brevix;
using brevix::test::FakeBackend;

namespace {

const ContactTexts Contacts{"010-1", "010-2", "a@b.c"};
const OutputTexts Texts{"12", "345", "2003", "1", "13"};

Article Make(const QString& title, const QString& category, const QString& content = "内容",
             const QString& source = "来源")
{
    return {title, source, content, category};
}

QVector<Article> SampleIssue()
{
    return {Make("宏观一", "宏观动向"), Make("企业一", "企业纵横"), Make("市场一", "市场动态"),
            Make("综合一", "综合报道"), Make("采撷一", "综信采撷"), Make("旧类", "热点关注"),
            Make("宏观二", "宏观动向")};
}

void Run(FakeBackend& backend, const QVector<Article>& articles, const YieldFn& yield = {})
{
    OutputIssueToWord(backend, articles, Texts, Contacts, yield);
}

} // namespace

class TestBulletinCalls : public QObject {
    Q_OBJECT
private slots:
    void obtainsWordByAttachingThenCreating_data();
    void obtainsWordByAttachingThenCreating();
    void noWordIsOneError();
    void noDocumentIsOneError();
    void oneFailingCallIsSkipped_data();
    void oneFailingCallIsSkipped();
    void wordGonePartWayEndsTheRun_data();
    void wordGonePartWayEndsTheRun();
    void wordRefusingAllWorkEndsTheRun();
    void releasesInOrderAtTheEnd();
    void dashCounts_data();
    void dashCounts();
    void yieldsOncePerArticlePerSectionScan();
    void worksOnASnapshot();
};

void TestBulletinCalls::obtainsWordByAttachingThenCreating_data()
{
    QTest::addColumn<bool>("running");
    QTest::addColumn<bool>("canCreate");
    QTest::addColumn<QString>("used");
    QTest::newRow("none running: created") << false << true << "created";
    QTest::newRow("running: the created one wins") << true << true << "created";
    QTest::newRow("running, create fails: attached") << true << false << "attached";
}

void TestBulletinCalls::obtainsWordByAttachingThenCreating()
{
    QFETCH(bool, running);
    QFETCH(bool, canCreate);
    QFETCH(QString, used);
    FakeBackend backend;
    backend.running = running;
    backend.noWord = !canCreate;
    Run(backend, {});
    const QStringList& calls = backend.log.calls;
    QCOMPARE(calls.value(0), "GetObject(Word.Application)");
    QCOMPARE(calls.value(1), "CreateObject(Word.Application)");
    QCOMPARE(calls.count("Application.Documents " + used), 1);
    QCOMPARE(calls.filter("Application.Documents").size(), 1);
    QCOMPARE(calls.count("Documents.Add"), 1);
    QCOMPARE(calls.count("Document.Range(0,0)"), 1);
    // The working range starts centred.
    QCOMPARE(calls.mid(calls.indexOf("Document.Range(0,0)") + 1, 2),
             QStringList({"Range.Paragraphs", "Alignment=1"}));
}

void TestBulletinCalls::noWordIsOneError()
{
    FakeBackend backend;
    backend.noWord = true;
    try {
        Run(backend, SampleIssue());
        QFAIL("a run without a word processor must not pass for success");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.number(), 429);
    }
    QCOMPARE(backend.log.calls, QStringList({"GetObject(Word.Application)", "CreateObject(Word.Application)"}));
}

void TestBulletinCalls::noDocumentIsOneError()
{
    FakeBackend backend;
    backend.log.failWhen = [](int, const QString& call) { return call == "Documents.Add"; };
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Run(backend, SampleIssue()));
    QVERIFY(backend.log.inserted.isEmpty());
    QCOMPARE(backend.log.calls.last(), "release Application created");
}

void TestBulletinCalls::oneFailingCallIsSkipped_data()
{
    QTest::addColumn<QString>("failing"); // the first call starting with this
    QTest::addColumn<QString>("missing"); // text that is not inserted then
    QTest::newRow("title") << "InsertAfter(\r情 况 反 映\r)" << "\r情 况 反 映\r";
    QTest::newRow("a font") << "Font.Name=隶书" << "";
    QTest::newRow("refresh") << "ScreenRefresh" << "";
    QTest::newRow("page break") << "Range.InsertBreak(7)" << "\f";
    QTest::newRow("a collapse") << "Range.Start=" << "";
    QTest::newRow("visible") << "Visible=True" << "";
    QTest::newRow("inches") << "CreateGlobal" << "";
}

// Every other call still runs and the run ends normally.
void TestBulletinCalls::oneFailingCallIsSkipped()
{
    QFETCH(QString, failing);
    QFETCH(QString, missing);
    FakeBackend reference;
    Run(reference, SampleIssue());

    FakeBackend backend;
    bool done = false;
    backend.log.failWhen = [&](int, const QString& call) {
        if (done || !call.startsWith(failing))
            return false;
        return done = true;
    };
    Run(backend, SampleIssue());
    QVERIFY(done);
    QCOMPARE(backend.log.failed, 1);
    QString expected = reference.log.inserted;
    if (!missing.isEmpty())
        expected.remove(expected.indexOf(missing), missing.size());
    QCOMPARE(backend.log.inserted, expected);
    QVERIFY(backend.log.calls.contains("Document.Select"));
}

void TestBulletinCalls::wordGonePartWayEndsTheRun_data()
{
    QTest::addColumn<double>("when"); // fraction of the run's calls
    QTest::newRow("in the masthead") << 0.01;
    QTest::newRow("on the contents page") << 0.2;
    QTest::newRow("in the sections") << 0.6;
    QTest::newRow("in the closing block") << 0.97;
}

void TestBulletinCalls::wordGonePartWayEndsTheRun()
{
    QFETCH(double, when);
    FakeBackend reference;
    Run(reference, SampleIssue());
    const int dieAt = int(reference.log.calls.size() * when);

    FakeBackend backend;
    backend.log.dieAt(dieAt);
    int errors = 0;
    try {
        Run(backend, SampleIssue());
    } catch (const RuntimeError&) {
        ++errors;
    }
    QCOMPARE(errors, 1);
    // It notices at once: the failing call, one check, then only releases.
    const QStringList after = backend.log.calls.mid(dieAt);
    QVERIFY2(after.size() <= 5, qPrintable(after.join(" | ")));
    QCOMPARE(after.filter("release").size(), 3);
}

// It still reports where the range ends but does nothing it is asked to.
void TestBulletinCalls::wordRefusingAllWorkEndsTheRun()
{
    FakeBackend backend;
    backend.log.failWhen = [](int index, const QString& call) { return index > 10 && call != "Range.End"; };
    QVERIFY_THROWS_EXCEPTION(RuntimeError, Run(backend, SampleIssue()));
    QVERIFY(backend.log.failed <= 100);
}

void TestBulletinCalls::releasesInOrderAtTheEnd()
{
    FakeBackend backend;
    backend.running = true;
    Run(backend, SampleIssue());
    const QStringList& calls = backend.log.calls;
    // The attached reference goes as soon as the created one replaces it.
    QCOMPARE(calls.value(2), "release Application attached");
    QCOMPARE(calls.mid(calls.size() - 5),
             QStringList({"Application.Activate", "Document.Select", "release Range", "release Document",
                          "release Application created"}));
}

void TestBulletinCalls::dashCounts_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("dashes");
    QTest::newRow("27") << 27 << 0;
    QTest::newRow("10919: the last without overflow") << 10919 << 0;
    QTest::newRow("10920 overflows: no fill") << 10920 << 0;
    QTest::newRow("longer than a 16-bit count") << 40000 << 0;
}

void TestBulletinCalls::dashCounts()
{
    QFETCH(int, length);
    QFETCH(int, dashes);
    FakeBackend backend;
    Run(backend, {Make(QString(length, u'题'), "宏观动向")});
    // The three fixed industry lines have 68 each; one call per dash.
    QCOMPARE(backend.log.count("InsertAfter(-)"), 3 * 68 + dashes);
    QVERIFY(backend.log.inserted.contains("    " + QString(length, u'题') + QString(dashes, u'-') + "\r"));
}

void TestBulletinCalls::yieldsOncePerArticlePerSectionScan()
{
    FakeBackend backend;
    int yields = 0;
    int refreshesAtFirstYield = -1;
    Run(backend, SampleIssue(), [&] {
        if (yields++ == 0)
            refreshesAtFirstYield = backend.log.count("ScreenRefresh");
    });
    QCOMPARE(yields, 5 * 7);
    // None while the contents page is typeset: two scans of 7 plus the industry group.
    QCOMPARE(refreshesAtFirstYield, 2 * 7 + 1);
}

void TestBulletinCalls::worksOnASnapshot()
{
    FakeBackend reference;
    Run(reference, SampleIssue());

    QVector<Article> issue = SampleIssue();
    FakeBackend backend;
    Run(backend, issue, [&] {
        // The window deletes and adds articles while the bulletin is typeset.
        issue.removeFirst();
        issue.append(Make("新增", "综信采撷"));
        issue.append(Make("新增", "宏观动向"));
    });
    QCOMPARE(backend.log.inserted, reference.log.inserted);
}

QTEST_APPLESS_MAIN(TestBulletinCalls)
#include "test_bulletin_calls.moc"
