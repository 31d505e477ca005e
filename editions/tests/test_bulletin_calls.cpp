// Both editions' generators against a word processor that only records the
// calls made on it: how they obtain it, their hand-over and yields, and what
// each does when calls fail. What the bulletins say is checked through the
// built-in engine (test_bulletin_engine).

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

// Font, paragraphs, paragraph format and borders of a range; a setting is
// recorded as "Property=value".
#define SET(Property, Type) \
    void put_##Property(Type value) override { set(#Property, value); }
struct FakeFormat : word::Font, word::Paragraphs, word::ParagraphFormat, word::Borders, Logged {
    using Logged::Logged;
    void put_Name(const QString& name) override { log.record("Name=" + name); }
    SET(Size, float) SET(Bold, int) SET(ColorIndex, int) SET(Underline, int) SET(Alignment, int)
    SET(LineSpacingRule, int) SET(LineSpacing, float) SET(FirstLineIndent, float) SET(LeftIndent, float)
    SET(OutsideLineStyle, int) SET(OutsideLineWidth, int) SET(OutsideColorIndex, int)
};

struct FakeRange : word::Range, Logged {
    using Logged::Logged;
    ~FakeRange() override { log.calls.append("release Range"); }
    long get_Start() override { log.record("Range.Start"); return start; }
    void put_Start(long position) override
    {
        set("Range.Start", position);
        start = position;
    }
    long get_End() override { log.record("Range.End"); return end; }
    void InsertAfter(const QString& text) override { log.record("InsertAfter(" + text + ")"); insert(text); }
    void Collapse(int direction) override { set("Range.Collapse", direction); start = end; }
    void InsertBreak(int type) override { set("Range.InsertBreak", type); insert("\f"); }
    void Select() override { log.record("Range.Select"); }
    word::FontRef get_Font() override { return std::make_shared<FakeFormat>(log); }
    word::ParagraphsRef get_Paragraphs() override { return std::make_shared<FakeFormat>(log); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return std::make_shared<FakeFormat>(log); }
    word::BordersRef get_Borders() override { return std::make_shared<FakeFormat>(log); }
    void insert(const QString& text) { log.inserted += text; end += long(text.size()); }
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
    word::DocumentRef Add() override { log.record("Documents.Add"); return std::make_shared<FakeDocument>(log); }
};

struct FakeGlobal : word::Global, Logged {
    using Logged::Logged;
    float InchesToPoints(float inches) override { set("InchesToPoints", inches); return inches * 72.0f; }
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

// Attaching works only when `running`; creating only when `canCreate`.
struct FakeBackend : word::Backend, word::KeySender {
    word::ApplicationRef GetObject(const QString& className) override { return obtain("GetObject", className, running, "attached"); }
    word::ApplicationRef CreateObject(const QString& className) override { return obtain("CreateObject", className, canCreate, "created"); }
    word::ApplicationRef obtain(const QString& how, const QString& className, bool works, const QString& which)
    {
        log.record(how + "(" + className + ")");
        if (!works)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<FakeApplication>(log, which);
    }
    word::GlobalRef CreateGlobal() override { log.record("CreateGlobal"); return std::make_shared<FakeGlobal>(log); }
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

// The number of the error that ended the run, 0 when it ended normally.
int Run(FakeBackend& backend, const QString& edition, const QVector<Article>& articles = SampleIssue(),
        const YieldFn& yield = {})
{
    try {
        (edition == "Brevix" ? BrevixEdition() : Brevix2003Edition()).outputIssueToWord(backend, articles, Texts, yield);
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
        QTest::newRow("2003, no word processor: one error") << "Brevix2003" << false << false << 429 << QStringList{get, create};
        QTest::newRow("Brevix creates only")
            << "Brevix" << true << true << 0 << QStringList{create, "Application.Documents created"} + start;
        QTest::newRow("Brevix, no word processor: one error") << "Brevix" << true << false << 429 << QStringList{create};
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

    // From the application's activation on.
    void handOver_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QStringList>("calls");
        const QStringList handOver{"Application.Activate", "Document.Select"};
        QStringList keys;
        for (const char* k : {"%o", "f", "%o", "times new roman", "{ENTER}", "{ENTER}", "%i", "u", "%a{up}", "{ENTER}", "{ENTER}"})
            keys << QString("SendKeys(%1,wait)").arg(k);
        QTest::newRow("Brevix2003") << "Brevix2003" << handOver + Releases;
        QTest::newRow("Brevix: keystroke phase, trailing space")
            << "Brevix" << handOver + QStringList{"BeginPhase"} + keys + QStringList{"InsertAfter( )"} + Releases;
    }
    void handOver()
    {
        QFETCH(QString, edition);
        QFETCH(QStringList, calls);
        FakeBackend backend;
        QCOMPARE(Run(backend, edition), 0);
        QCOMPARE(backend.log.calls.mid(backend.log.calls.indexOf("Application.Activate")), calls);
    }

    // The window deletes and adds articles whenever the generator yields:
    // the bulletin stays the one of the issue as it was at the start.
    void yieldsOnASnapshot_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<int>("yields");
        QTest::addColumn<int>("refreshesBefore"); // refreshes before the first yield
        // Five section scans; none on the contents page (two scans and the industry group).
        QTest::newRow("Brevix2003") << "Brevix2003" << 5 * 9 << 2 * 9 + 1;
        // Contents group 4 and six section scans; groups 1 to 3 only refresh.
        QTest::newRow("Brevix") << "Brevix" << 7 * 9 << 3 * 9 + 1;
    }
    void yieldsOnASnapshot()
    {
        QFETCH(QString, edition);
        QFETCH(int, yields);
        QFETCH(int, refreshesBefore);
        FakeBackend reference;
        Run(reference, edition);
        FakeBackend backend;
        QVector<Article> issue = SampleIssue();
        int count = 0;
        int refreshes = -1;
        Run(backend, edition, issue, [&] {
            if (count++ == 0)
                refreshes = int(backend.log.calls.count("ScreenRefresh"));
            issue.removeFirst();
            issue.append({Make("新增", "宏观动向"), Make("新增", "国内行业")});
        });
        QCOMPARE(count, yields);
        QCOMPARE(refreshes, refreshesBefore);
        QCOMPARE(backend.log.inserted, reference.log.inserted);
    }

    // The current edition skips a failing call and runs every other one; but
    // when the word processor stops answering it ends the run at once, with
    // one error.
    void currentFailures_data()
    {
        QTest::addColumn<QString>("from");    // the first call starting with this fails ...
        QTest::addColumn<QString>("how");     // ... "once", or every call from it on ("gone")
        QTest::addColumn<QString>("missing"); // the text not inserted then
        QTest::addColumn<int>("failed");
        QTest::newRow("title") << "InsertAfter(\r情 况 反 映\r)" << "once" << "\r情 况 反 映\r" << 1;
        QTest::newRow("a font") << "Name=隶书" << "once" << "" << 1;
        QTest::newRow("page break") << "Range.InsertBreak" << "once" << "\f" << 1;
        QTest::newRow("visible") << "Visible" << "once" << "" << 1;
        QTest::newRow("inches") << "CreateGlobal" << "once" << "" << 1;
        QTest::newRow("no document") << "Documents.Add" << "gone" << "" << 1;
        // The failing call and one check of the working range.
        QTest::newRow("gone in the masthead") << "Name=隶书" << "gone" << "" << 2;
        QTest::newRow("gone in the closing block") << "InsertAfter(─)" << "gone" << "" << 2;
        QTest::newRow("refusing all but the range's end") << "Size" << "refuses" << "" << 100;
    }
    void currentFailures()
    {
        QFETCH(QString, from);
        QFETCH(QString, how);
        QFETCH(QString, missing);
        QFETCH(int, failed);
        FakeBackend reference;
        Run(reference, "Brevix2003");
        FakeBackend backend;
        backend.log.fails = [f = FailFrom(from, how != "once"), how](const QString& call) mutable {
            return f(call) && !(how == "refuses" && call == "Range.End");
        };
        const int error = Run(backend, "Brevix2003");
        QCOMPARE(backend.log.failed, failed);
        if (how == "once") {
            QCOMPARE(error, 0);
            QCOMPARE(backend.log.inserted, QString(reference.log.inserted).remove(missing));
            QVERIFY(backend.log.calls.contains("Document.Select"));
        } else {
            QVERIFY(error != 0);
            QCOMPARE(backend.log.calls.last(), "release Application created");
        }
    }

    // The earlier edition stops at its first failure: nothing follows but the releases.
    void earlierStopsAtTheFirstFailure_data()
    {
        QTest::addColumn<QString>("failing");
        QTest::newRow("masthead") << "Name=隶书";
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
        QCOMPARE(backend.log.calls.mid(0, at + 1), reference.log.calls.mid(0, at + 1));
        QVERIFY(backend.log.calls[at].startsWith(failing));
        QCOMPARE(backend.log.calls.mid(at + 1), Releases);
    }
};

QTEST_APPLESS_MAIN(TestBulletinCalls)
#include "test_bulletin_calls.moc"
