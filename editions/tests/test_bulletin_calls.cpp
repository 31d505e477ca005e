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
    void put_Start(long position) override { set("Range.Start", position); start = position; }
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
    // The first calls of the run; all of them when nothing could be obtained
    // (one error, 429).
    void obtaining()
    {
        const QString get = "GetObject(Word.Application)";
        const QString create = "CreateObject(Word.Application)";
        const QStringList start{"Documents.Add", "Document.Range(0,0)", "Alignment=1"}; // centred from the start
        struct Case {
            QString edition;
            bool running;
            bool canCreate;
            QStringList calls;
        };
        for (const auto& [edition, running, canCreate, calls] : QList<Case>{
                 {"Brevix2003", true, true, QStringList{get, create, "release Application attached", "Application.Documents created"} + start},
                 {"Brevix2003", true, false, QStringList{get, create, "Application.Documents attached"} + start},
                 {"Brevix2003", false, false, {get, create}},
                 {"Brevix", true, true, QStringList{create, "Application.Documents created"} + start}, // creates only
                 {"Brevix", true, false, {create}}}) {
            FakeBackend backend;
            backend.running = running;
            backend.canCreate = canCreate;
            const bool obtained = calls.last() == "Alignment=1";
            QCOMPARE(Run(backend, edition), obtained ? 0 : 429);
            QCOMPARE(obtained ? backend.log.calls.mid(0, calls.size()) : backend.log.calls, calls);
        }
    }

    // From the application's activation on: the earlier edition's keystroke
    // phase and trailing space, then the releases.
    void handOver()
    {
        const QStringList handOver{"Application.Activate", "Document.Select"};
        QStringList keys{"BeginPhase"};
        for (const char* k : {"%o", "f", "%o", "times new roman", "{ENTER}", "{ENTER}", "%i", "u", "%a{up}", "{ENTER}", "{ENTER}"})
            keys << QString("SendKeys(%1,wait)").arg(k);
        for (const auto& [edition, calls] : QList<std::pair<QString, QStringList>>{
                 {"Brevix2003", handOver + Releases}, {"Brevix", handOver + keys + QStringList{"InsertAfter( )"} + Releases}}) {
            FakeBackend backend;
            QCOMPARE(Run(backend, edition), 0);
            QCOMPARE(backend.log.calls.mid(backend.log.calls.indexOf("Application.Activate")), calls);
        }
    }

    // Current edition: five section scans, nothing on the contents page (two
    // scans and the industry group refresh). Earlier edition: contents group
    // 4 and six section scans; groups 1 to 3 only refresh. The window deletes
    // and adds articles at every yield: the bulletin stays the one of the
    // issue as it was at the start.
    void yieldsOnASnapshot()
    {
        for (const auto& [edition, yields, refreshesBefore] :
             {std::tuple{"Brevix2003", 5 * 9, 2 * 9 + 1}, std::tuple{"Brevix", 7 * 9, 3 * 9 + 1}}) {
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
    }

    // The current edition skips a failing call and runs every other one.
    void currentSkipsAFailingCall_data()
    {
        QTest::addColumn<QString>("failing"); // the first call starting with this fails
        QTest::addColumn<QString>("missing"); // the text not inserted then
        QTest::newRow("title") << "InsertAfter(\r情 况 反 映\r)" << "\r情 况 反 映\r";
        QTest::newRow("a font") << "Name=隶书" << "";
        QTest::newRow("page break") << "Range.InsertBreak" << "\f";
        QTest::newRow("visible") << "Visible" << "";
        QTest::newRow("inches") << "CreateGlobal" << "";
    }
    void currentSkipsAFailingCall()
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

    // A failure ends the run at once, with one error: in the current edition
    // when the word processor stops answering (every call from the first
    // failing one on fails), in the earlier one always. Compared: the first
    // failing call and all that follow it.
    void runEndsAtOnce()
    {
        const QStringList checked = QStringList{"Range.End"} + Releases; // the working range is asked once
        struct Case {
            QString edition;
            QString from; // the first call starting with this fails
            QStringList after;
        };
        for (const auto& [edition, from, after] : QList<Case>{
                 {"Brevix2003", "Documents.Add", {"release Application created"}},
                 {"Brevix2003", "Name=隶书", checked}, // in the masthead
                 {"Brevix2003", "InsertAfter(─)", checked}, // in the closing block
                 {"Brevix", "Name=隶书", Releases},
                 {"Brevix", "InsertAfter(※)", Releases},
                 {"Brevix", "SendKeys(%i", Releases}}) {
            FakeBackend backend;
            backend.log.fails = FailFrom(from, edition == "Brevix2003");
            QVERIFY(Run(backend, edition) != 0);
            const QStringList& calls = backend.log.calls;
            QVERIFY2(calls[calls.size() - after.size() - 1].startsWith(from), qPrintable(from));
            QCOMPARE(calls.mid(calls.size() - after.size()), after);
        }
    }

    // The current edition also gives up, after 100 failures in a row, on a word
    // processor that still reports where the range ends but refuses all else.
    void currentGivesUpOnAWordProcessorRefusingAll()
    {
        FakeBackend backend;
        backend.log.fails = [gone = FailFrom("Size", true)](const QString& call) mutable {
            return gone(call) && call != "Range.End";
        };
        QVERIFY(Run(backend, "Brevix2003") != 0);
        QCOMPARE(backend.log.failed, 100);
    }
};

QTEST_APPLESS_MAIN(TestBulletinCalls)
#include "test_bulletin_calls.moc"
