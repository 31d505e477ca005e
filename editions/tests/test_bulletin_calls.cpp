// Both editions' generators against a word processor that only records the
// calls made on it: how they obtain it, the order of their calls, their
// yields, and what each does when calls fail. What the bulletins say is
// checked through the built-in engine (test_bulletin_engine).

#include "editions/edition.h"

#include <QtTest>
#include <functional>
#include <memory>

using namespace brevix;

namespace {

struct CallLog {
    QStringList calls;
    QString inserted; // every InsertAfter and page break that succeeded
    std::function<bool(const QString&)> fails;
    int failed = 0;

    void record(const QString& call)
    {
        calls.append(call);
        if (fails && fails(call)) {
            ++failed;
            throw RuntimeError::Automation("failing: " + call);
        }
    }
};

struct Logged {
    explicit Logged(CallLog& calls) : log(calls) {}
    void set(const QString& property, double value) { log.record(property + '=' + QString::number(value)); }
    CallLog& log;
};

struct FakeFont : word::Font, Logged {
    using Logged::Logged;
    void put_Name(const QString& name) override { log.record("Font.Name=" + name); }
    void put_Size(float points) override { set("Font.Size", points); }
    void put_Bold(int value) override { set("Font.Bold", value); }
    void put_ColorIndex(int value) override { set("Font.ColorIndex", value); }
    void put_Underline(int value) override { set("Font.Underline", value); }
};

struct FakeParagraphs : word::Paragraphs, Logged {
    using Logged::Logged;
    void put_Alignment(int value) override { set("Alignment", value); }
};

struct FakeParagraphFormat : word::ParagraphFormat, Logged {
    using Logged::Logged;
    void put_LineSpacingRule(int value) override { set("LineSpacingRule", value); }
    void put_LineSpacing(float points) override { set("LineSpacing", points); }
    void put_FirstLineIndent(float points) override { set("FirstLineIndent", points); }
    void put_LeftIndent(float points) override { set("LeftIndent", points); }
};

struct FakeBorders : word::Borders, Logged {
    using Logged::Logged;
    void put_OutsideLineStyle(int value) override { set("Borders.Style", value); }
    void put_OutsideLineWidth(int value) override { set("Borders.Width", value); }
    void put_OutsideColorIndex(int value) override { set("Borders.Color", value); }
};

struct FakeRange : word::Range, Logged {
    using Logged::Logged;
    ~FakeRange() override { log.calls.append("release Range"); }
    long get_Start() override { log.record("Range.Start"); return start; }
    void put_Start(long position) override { set("Range.Start", position); start = position; }
    long get_End() override { log.record("Range.End"); return end; }
    void InsertAfter(const QString& text) override
    {
        log.record("InsertAfter(" + text + ")");
        log.inserted += text;
        end += long(text.size());
    }
    void Collapse(int direction) override { set("Range.Collapse", direction); start = end; }
    void InsertBreak(int type) override
    {
        set("Range.InsertBreak", type);
        log.inserted += u'\f';
        ++end;
    }
    void Select() override { log.record("Range.Select"); }
    word::FontRef get_Font() override { return std::make_shared<FakeFont>(log); }
    word::ParagraphsRef get_Paragraphs() override { return std::make_shared<FakeParagraphs>(log); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return std::make_shared<FakeParagraphFormat>(log); }
    word::BordersRef get_Borders() override { return std::make_shared<FakeBorders>(log); }
    long start = 0;
    long end = 0;
};

struct FakeDocument : word::Document, Logged {
    using Logged::Logged;
    ~FakeDocument() override { log.calls.append("release Document"); }
    word::RangeRef Range(long start, long end) override
    {
        log.record(QString("Document.Range(%1,%2)").arg(start).arg(end));
        return std::make_shared<FakeRange>(log);
    }
    void Activate() override { log.record("Document.Activate"); }
    void Select() override { log.record("Document.Select"); }
};

struct FakeDocuments : word::Documents, Logged {
    using Logged::Logged;
    word::DocumentRef Add() override
    {
        log.record("Documents.Add");
        return std::make_shared<FakeDocument>(log);
    }
};

struct FakeApplication : word::Application, Logged {
    FakeApplication(CallLog& calls, const QString& which) : Logged(calls), name(which) {}
    ~FakeApplication() override { log.calls.append("release Application " + name); }
    word::DocumentsRef get_Documents() override
    {
        log.record("Application.Documents " + name);
        return std::make_shared<FakeDocuments>(log);
    }
    void put_Visible(bool visible) override { set("Visible", visible); }
    void ScreenRefresh() override { log.record("ScreenRefresh"); }
    void Activate() override { log.record("Application.Activate"); }
    QString name;
};

struct FakeGlobal : word::Global, Logged {
    using Logged::Logged;
    float InchesToPoints(float inches) override
    {
        set("InchesToPoints", inches);
        return inches * 72.0f;
    }
};

// Attaching works only when `running`; creating only when `canCreate`.
struct FakeBackend : word::Backend, word::KeySender {
    word::ApplicationRef GetObject(const QString& className) override
    {
        log.record("GetObject(" + className + ")");
        if (!running)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<FakeApplication>(log, "attached");
    }
    word::ApplicationRef CreateObject(const QString& className) override
    {
        log.record("CreateObject(" + className + ")");
        if (!canCreate)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<FakeApplication>(log, "created");
    }
    word::GlobalRef CreateGlobal() override
    {
        log.record("CreateGlobal");
        return std::make_shared<FakeGlobal>(log);
    }
    word::KeySender& Keys() override { return *this; }
    void BeginPhase() override { log.record("BeginPhase"); }
    void SendKeys(const QString& keys, bool wait) override { log.record("SendKeys(" + keys + (wait ? ",wait)" : ")")); }

    CallLog log;
    bool running = false;
    bool canCreate = true;
};

const OutputTexts Texts{"12", "345", "2003", "1", "13"};
const QStringList Releases{"release Range", "release Document", "release Application created"};

Article Make(const QString& title, const QString& category) { return {title, "来源", "内容", category}; }

// One article of every category of both editions.
QVector<Article> SampleIssue()
{
    return {Make("宏观", "宏观动向"), Make("企业", "企业纵横"), Make("市场", "市场动态"), Make("综合", "综合报道"),
            Make("采撷", "综信采撷"), Make("热点", "热点关注"), Make("信息", "信息综览"), Make("国内", "国内行业"),
            Make("国际", "国际行业")};
}

// The error number that ended the run, 0 when it ended normally.
int Run(FakeBackend& backend, const QString& edition, const QVector<Article>& articles = SampleIssue(),
        const YieldFn& yield = {})
{
    const Edition& e = edition == "Brevix" ? BrevixEdition() : Brevix2003Edition();
    try {
        e.outputIssueToWord(backend, articles, Texts, yield);
    } catch (const RuntimeError& error) {
        return error.number();
    }
    return 0;
}

// The first call starting with `prefix` fails; with `gone`, every call from it on.
std::function<bool(const QString&)> FailFrom(const QString& prefix, bool gone)
{
    return [prefix, gone, reached = false](const QString& call) mutable {
        const bool first = !reached && call.startsWith(prefix);
        reached = reached || first;
        return first || (gone && reached);
    };
}

} // namespace

class TestBulletinCalls : public QObject {
    Q_OBJECT
private slots:
    void obtaining_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<bool>("running");
        QTest::addColumn<bool>("canCreate");
        QTest::addColumn<int>("error");
        QTest::addColumn<QStringList>("calls"); // the first calls; all of them after an error
        const QString get = "GetObject(Word.Application)";
        const QString create = "CreateObject(Word.Application)";
        const QStringList start{"Documents.Add", "Document.Range(0,0)", "Alignment=1"}; // centred from the start
        QTest::newRow("2003, none running: created")
            << "Brevix2003" << false << true << 0 << QStringList{get, create, "Application.Documents created"} + start;
        QTest::newRow("2003, running: the created one wins")
            << "Brevix2003" << true << true << 0
            << QStringList{get, create, "release Application attached", "Application.Documents created"} + start;
        QTest::newRow("2003, create fails: attached")
            << "Brevix2003" << true << false << 0 << QStringList{get, create, "Application.Documents attached"} + start;
        QTest::newRow("2003, no word processor") << "Brevix2003" << false << false << 429 << QStringList{get, create};
        QTest::newRow("Brevix creates only")
            << "Brevix" << true << true << 0 << QStringList{create, "Application.Documents created"} + start;
        QTest::newRow("Brevix, no word processor") << "Brevix" << true << false << 429 << QStringList{create};
    }
    void obtaining()
    {
        QFETCH(QString, edition);
        QFETCH(bool, running);
        QFETCH(bool, canCreate);
        QFETCH(int, error);
        QFETCH(QStringList, calls);
        FakeBackend backend;
        backend.running = running;
        backend.canCreate = canCreate;
        QCOMPARE(Run(backend, edition), error);
        QCOMPARE(error ? backend.log.calls : backend.log.calls.mid(0, calls.size()), calls);
    }

    // From the application's activation to the releases.
    void handOver_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QStringList>("calls");
        const QStringList handOver{"Application.Activate", "Document.Select"};
        QTest::newRow("Brevix2003") << "Brevix2003" << handOver + Releases;
        QTest::newRow("Brevix: the keystroke phase and the trailing space")
            << "Brevix"
            << handOver
                + QStringList{"BeginPhase", "SendKeys(%o,wait)", "SendKeys(f,wait)", "SendKeys(%o,wait)",
                              "SendKeys(times new roman,wait)", "SendKeys({ENTER},wait)", "SendKeys({ENTER},wait)",
                              "SendKeys(%i,wait)", "SendKeys(u,wait)", "SendKeys(%a{up},wait)",
                              "SendKeys({ENTER},wait)", "SendKeys({ENTER},wait)", "InsertAfter( )"}
                + Releases;
    }
    void handOver()
    {
        QFETCH(QString, edition);
        QFETCH(QStringList, calls);
        FakeBackend backend;
        QCOMPARE(Run(backend, edition), 0);
        QCOMPARE(backend.log.calls.mid(backend.log.calls.indexOf("Application.Activate")), calls);
    }

    void yields_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<int>("yields");
        QTest::addColumn<int>("refreshesBefore"); // refreshes before the first yield
        // Five section scans; none while the contents page is typeset (two
        // scans and the industry group refresh).
        QTest::newRow("Brevix2003") << "Brevix2003" << 5 * 9 << 2 * 9 + 1;
        // Contents group 4 and the six section scans; groups 1 to 3 refresh
        // without yielding, group 4 yields after its first refresh.
        QTest::newRow("Brevix") << "Brevix" << 7 * 9 << 3 * 9 + 1;
    }
    void yields()
    {
        QFETCH(QString, edition);
        QFETCH(int, yields);
        QFETCH(int, refreshesBefore);
        FakeBackend backend;
        int count = 0;
        int refreshes = -1;
        Run(backend, edition, SampleIssue(), [&] {
            if (count++ == 0)
                refreshes = int(backend.log.calls.count("ScreenRefresh"));
        });
        QCOMPARE(count, yields);
        QCOMPARE(refreshes, refreshesBefore);
    }

    // The window deletes and adds articles while the bulletin is typeset.
    void worksOnASnapshot_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::newRow("Brevix2003") << "Brevix2003";
        QTest::newRow("Brevix") << "Brevix";
    }
    void worksOnASnapshot()
    {
        QFETCH(QString, edition);
        FakeBackend reference;
        Run(reference, edition);
        QVector<Article> issue = SampleIssue();
        FakeBackend backend;
        Run(backend, edition, issue, [&] {
            issue.removeFirst();
            issue.append(Make("新增", "宏观动向"));
            issue.append(Make("新增", "国内行业"));
        });
        QCOMPARE(backend.log.inserted, reference.log.inserted);
    }

    // The current edition skips a failing call; every other call still runs.
    void currentSkipsOneFailingCall_data()
    {
        QTest::addColumn<QString>("failing"); // the first call starting with this fails
        QTest::addColumn<QString>("missing"); // the text not inserted then
        QTest::newRow("title") << "InsertAfter(\r情 况 反 映\r)" << "\r情 况 反 映\r";
        QTest::newRow("a font") << "Font.Name=隶书" << "";
        QTest::newRow("refresh") << "ScreenRefresh" << "";
        QTest::newRow("page break") << "Range.InsertBreak" << "\f";
        QTest::newRow("visible") << "Visible" << "";
        QTest::newRow("inches") << "CreateGlobal" << "";
    }
    void currentSkipsOneFailingCall()
    {
        QFETCH(QString, failing);
        QFETCH(QString, missing);
        FakeBackend reference;
        Run(reference, "Brevix2003");
        FakeBackend backend;
        backend.log.fails = FailFrom(failing, false);
        QCOMPARE(Run(backend, "Brevix2003"), 0);
        QCOMPARE(backend.log.failed, 1);
        QCOMPARE(backend.log.inserted, QString(reference.log.inserted).remove(missing));
        QVERIFY(backend.log.calls.contains("Document.Select"));
    }

    // ... but a word processor that stops answering ends the run at once
    // with one error, never taken for success.
    void currentEndsWhenWordStopsAnswering_data()
    {
        QTest::addColumn<QString>("from"); // every call from the first starting with this fails
        QTest::addColumn<bool>("reportsEnd"); // except Range.End
        QTest::addColumn<int>("failed");
        QTest::newRow("no document") << "Documents.Add" << false << 1;
        // The failing call and one check of the working range.
        QTest::newRow("gone in the masthead") << "Font.Name=隶书" << false << 2;
        QTest::newRow("gone at the page break") << "Range.InsertBreak" << false << 2;
        QTest::newRow("gone in the closing block") << "InsertAfter(─)" << false << 2;
        QTest::newRow("refusing all but the range's end") << "InsertAfter(\r情 况 反 映\r)" << true << 100;
    }
    void currentEndsWhenWordStopsAnswering()
    {
        QFETCH(QString, from);
        QFETCH(bool, reportsEnd);
        QFETCH(int, failed);
        FakeBackend backend;
        backend.log.fails = [gone = FailFrom(from, true), reportsEnd](const QString& call) mutable {
            return gone(call) && !(reportsEnd && call == "Range.End");
        };
        QVERIFY(Run(backend, "Brevix2003") != 0);
        QCOMPARE(backend.log.failed, failed);
        QCOMPARE(backend.log.calls.last(), "release Application created");
    }

    // The earlier edition's first failure ends the run; nothing follows it
    // but the releases.
    void earlierStopsAtTheFirstFailure_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("masthead") << "Font.Name=隶书";
        QTest::newRow("contents") << "ScreenRefresh";
        QTest::newRow("sections") << "InsertAfter(※)";
        QTest::newRow("keystroke phase") << "SendKeys(%i";
    }
    void earlierStopsAtTheFirstFailure()
    {
        QFETCH(QString, failing);
        FakeBackend reference;
        Run(reference, "Brevix");
        FakeBackend backend;
        backend.log.fails = FailFrom(failing, false);
        QVERIFY(Run(backend, "Brevix") != 0);
        const qsizetype at = backend.log.calls.size() - Releases.size() - 1;
        QCOMPARE(backend.log.calls.mid(0, at), reference.log.calls.mid(0, at));
        QVERIFY(backend.log.calls[at].startsWith(failing));
        QCOMPARE(backend.log.calls.mid(at + 1), Releases);
    }
};

QTEST_APPLESS_MAIN(TestBulletinCalls)
#include "test_bulletin_calls.moc"
