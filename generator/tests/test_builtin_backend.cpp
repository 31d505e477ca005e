// The automation interface over the built-in engine: obtaining the
// application, what each call does to the engine's document, and the errors
// for values the word processor refuses.

#include "generator/backends.h"
#include "generator/builtin_backend.h"

#include <QTest>
#include <functional>

using namespace brevix;
using namespace brevix::word;

namespace {

int ErrorNumber(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

} // namespace

class TestBuiltinBackend : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (const auto& app : engine::Application::all())
            app->quit();
    }

    void obtainingTheApplication()
    {
        builtin::BuiltinBackend backend;
        QCOMPARE(ErrorNumber([&] { backend.GetObject(WordApplicationClass()); }), 429); // none running
        QCOMPARE(ErrorNumber([&] { backend.CreateObject(QStringLiteral("Excel.Application")); }), 429);
        ApplicationRef created = backend.CreateObject(WordApplicationClass());
        ApplicationRef attached = backend.GetObject(QStringLiteral("word.application"));
        QCOMPARE(builtin::EngineApplicationOf(*attached), builtin::EngineApplicationOf(*created));
        ApplicationRef second = MakeDefaultBackend()->CreateObject(WordApplicationClass());
        QVERIFY(builtin::EngineApplicationOf(*second) != builtin::EngineApplicationOf(*created));
        QCOMPARE(backend.applications().size(), std::size_t(1));
        QVERIFY(!backend.lastDocument());
        DocumentRef doc = created->get_Documents()->Add();
        QCOMPARE(backend.lastDocument(), builtin::EngineDocumentOf(*doc));
    }

    // A heading as the bulletin sets it, read back from the engine.
    void callsReachTheEngine()
    {
        builtin::BuiltinBackend backend;
        ApplicationRef app = backend.CreateObject(WordApplicationClass());
        DocumentRef doc = app->get_Documents()->Add();
        RangeRef r = doc->Range(0, 0);
        r->get_Paragraphs()->put_Alignment(wdAlignParagraphCenter);
        r->InsertAfter(QStringLiteral("\r情 况 反 映\r"));
        r->get_Font()->put_Name(QStringLiteral("隶书"));
        r->get_Font()->put_Size(42);
        r->get_Font()->put_Bold(True);
        r->get_Font()->put_ColorIndex(wdRed);
        QCOMPARE(r->get_End(), 9L);
        r->put_Start(r->get_End());
        r->InsertAfter(QStringLiteral("第12期\r"));
        r->get_Font()->put_Underline(wdUnderlineDouble);
        r->get_ParagraphFormat()->put_LineSpacingRule(wdLineSpaceExactly);
        r->get_ParagraphFormat()->put_LineSpacing(26);
        GlobalRef global = backend.CreateGlobal();
        r->get_ParagraphFormat()->put_FirstLineIndent(global->InchesToPoints(-0.3f));
        r->get_ParagraphFormat()->put_LeftIndent(global->InchesToPoints(0.3f));
        r->Collapse(wdCollapseEnd);
        r->InsertBreak(wdPageBreak);
        r->get_Borders()->put_OutsideLineStyle(wdLineStyleDouble);
        r->get_Borders()->put_OutsideColorIndex(wdViolet);
        r->get_Borders()->put_OutsideLineWidth(wdLineWidth050pt);

        const auto e = builtin::EngineDocumentOf(*doc);
        QCOMPARE(e->text(), QStringLiteral("\r情 况 反 映\r第12期\r\f\r"));
        QCOMPARE(e->paraFormat(0).alignment, engine::Alignment::Center);
        QCOMPARE(e->paraFormat(3).alignment, engine::Alignment::Center); // split paragraphs keep it
        const engine::CharFormat& title = e->charFormatAt(1);
        QCOMPARE(title.eastAsianFont, QStringLiteral("隶书"));
        QCOMPARE(title.halfPoints, 84);
        QVERIFY(title.bold);
        QCOMPARE(title.colorIndex, 6);
        QCOMPARE(e->charFormatAt(9).underline, 3);
        QCOMPARE(e->paraFormat(2).lineSpacingTwips, 520);
        QCOMPARE(e->paraFormat(2).firstLineIndentTwips, -432);
        QCOMPARE(e->paraFormat(2).leftIndentTwips, 432);
        QCOMPARE(e->charFormatAt(14).border, (engine::Border{7, 4, 12})); // the break alone: a text border
        QCOMPARE(global->InchesToPoints(1.0f), 72.0f);

        app->put_Visible(true);
        doc->Activate();
        app->ScreenRefresh();
        doc->Select();
        QCOMPARE(e->selection(), (engine::Selection{0, e->length()}));
        QCOMPARE(builtin::EngineApplicationOf(*app)->screenRefreshCount(), 1);
        QVERIFY(builtin::EngineApplicationOf(*app)->isVisible());
    }

    void refusedValuesThrow_data()
    {
        QTest::addColumn<std::function<void(Range&)>>("call");
        QTest::addColumn<int>("number");
        using F = std::function<void(Range&)>;
        QTest::newRow("size 0") << F([](Range& r) { r.get_Font()->put_Size(0); }) << 4608;
        QTest::newRow("negative size") << F([](Range& r) { r.get_Font()->put_Size(-14); }) << 4608;
        QTest::newRow("bold 2") << F([](Range& r) { r.get_Font()->put_Bold(2); }) << 4608;
        QTest::newRow("colour 40") << F([](Range& r) { r.get_Font()->put_ColorIndex(40); }) << 4608;
        QTest::newRow("underline -3") << F([](Range& r) { r.get_Font()->put_Underline(-3); }) << 4608;
        QTest::newRow("empty font name") << F([](Range& r) { r.get_Font()->put_Name(QString()); }) << 4608;
        QTest::newRow("alignment 9") << F([](Range& r) { r.get_Paragraphs()->put_Alignment(9); }) << 4608;
        QTest::newRow("spacing rule 6") << F([](Range& r) { r.get_ParagraphFormat()->put_LineSpacingRule(6); }) << 4608;
        QTest::newRow("spacing -1") << F([](Range& r) { r.get_ParagraphFormat()->put_LineSpacing(-1); }) << 4608;
        QTest::newRow("indent 2000") << F([](Range& r) { r.get_ParagraphFormat()->put_LeftIndent(2000); }) << 4608;
        QTest::newRow("border style 20") << F([](Range& r) { r.get_Borders()->put_OutsideLineStyle(20); }) << 4608;
        QTest::newRow("border width 3") << F([](Range& r) { r.get_Borders()->put_OutsideLineWidth(3); }) << 4608;
        QTest::newRow("collapse 2") << F([](Range& r) { r.Collapse(2); }) << 4608;
        QTest::newRow("section break") << F([](Range& r) { r.InsertBreak(2); }) << 4608;
        QTest::newRow("start -1") << F([](Range& r) { r.put_Start(-1); }) << 9;
        QTest::newRow("start past the end") << F([](Range& r) { r.put_Start(100); }) << 9;
        QTest::newRow("start beyond int") << F([](Range& r) { r.put_Start(5000000000L); }) << 9;
    }
    void refusedValuesThrow()
    {
        QFETCH(std::function<void(Range&)>, call);
        QFETCH(int, number);
        builtin::BuiltinBackend backend;
        DocumentRef doc = backend.CreateObject(WordApplicationClass())->get_Documents()->Add();
        RangeRef r = doc->Range(0, 0);
        r->InsertAfter(QStringLiteral("正文"));
        const auto before = builtin::EngineDocumentOf(*doc)->revision();
        QCOMPARE(ErrorNumber([&] { call(*r); }), number);
        QCOMPARE(builtin::EngineDocumentOf(*doc)->revision(), before); // nothing changed
    }

    void rangesOutsideTheDocument()
    {
        builtin::BuiltinBackend backend;
        DocumentRef doc = backend.CreateObject(WordApplicationClass())->get_Documents()->Add();
        QCOMPARE(ErrorNumber([&] { doc->Range(0, 2); }), 9);
        QCOMPARE(ErrorNumber([&] { doc->Range(-1, 0); }), 9);
        QCOMPARE(ErrorNumber([&] { doc->Range(1, 0); }), 9);
        QCOMPARE(ErrorNumber([&] { doc->Range(0, 1); }), 0);
    }

    void goneObjectsFail()
    {
        builtin::BuiltinBackend backend;
        ApplicationRef app = backend.CreateObject(WordApplicationClass());
        DocumentRef doc = app->get_Documents()->Add();
        RangeRef r = doc->Range(0, 0);
        auto engineApp = builtin::EngineApplicationOf(*app);
        engineApp->closeDocument(*builtin::EngineDocumentOf(*doc)); // the editor closed its window
        QCOMPARE(ErrorNumber([&] { r->InsertAfter(QStringLiteral("x")); }), 5825);
        QCOMPARE(ErrorNumber([&] { r->get_End(); }), 5825);
        QCOMPARE(ErrorNumber([&] { doc->Select(); }), 5825);
        engineApp->quit();
        QCOMPARE(ErrorNumber([&] { app->get_Documents(); }), -2147417848);
        QCOMPARE(ErrorNumber([&] { app->ScreenRefresh(); }), -2147417848);
    }

    void keysGoToTheApplicationInFront()
    {
        builtin::BuiltinBackend backend;
        ApplicationRef app = backend.CreateObject(WordApplicationClass());
        DocumentRef doc = app->get_Documents()->Add();
        doc->Range(0, 0)->InsertAfter(QStringLiteral("abc"));
        doc->Select();
        const auto e = builtin::EngineDocumentOf(*doc);
        const QStringList phase = {QStringLiteral("%o"), QStringLiteral("f"), QStringLiteral("%o"),
                                   QStringLiteral("times new roman"), QStringLiteral("{ENTER}"), QStringLiteral("{ENTER}"),
                                   QStringLiteral("%i"), QStringLiteral("u"), QStringLiteral("%a{up}"),
                                   QStringLiteral("{ENTER}"), QStringLiteral("{ENTER}")};
        // Not shown: no window of ours has the focus, the keys are dropped.
        backend.Keys().BeginPhase();
        for (const QString& keys : phase)
            backend.Keys().SendKeys(keys, true);
        QVERIFY(!e->pageNumbers().on);

        app->put_Visible(true);
        app->Activate();
        doc->Select();
        SetFont(*e, QStringLiteral("Arial"));
        for (const QString& keys : phase)
            backend.Keys().SendKeys(keys, true);
        for (int i = 0; i < e->length(); ++i)
            QCOMPARE(e->charFormatAt(i).latinFont, QStringLiteral("Times New Roman"));
        QCOMPARE(e->pageNumbers(), (engine::PageNumbers{true, engine::Alignment::Center}));
        QVERIFY(ErrorNumber([&] { backend.Keys().SendKeys(QStringLiteral("{NOSUCHKEY}"), true); }) != 0);
    }

private:
    static void SetFont(engine::Document& doc, const QString& name)
    {
        doc.content()->setFontName(name);
    }
};

QTEST_GUILESS_MAIN(TestBuiltinBackend)
#include "test_builtin_backend.moc"
