// The automation interface over the built-in engine: obtaining the
// application, the errors for values the word processor refuses and for
// objects that have gone, and where keys go. What each setting does to the
// document is checked through the bulletins.

#include "builtin/builtin_backend.h"
#include "model/tests/files.h"

#include <QTest>
#include <functional>
#include <limits>

using namespace brevix;
using namespace brevix::word;

// The number of the error a call raises, 0 when none.
static int ErrorNumber(const std::function<void()>& call) { return faults::ErrorOf(call).first; }

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
        QCOMPARE(ErrorNumber([&] { backend.CreateObject("Excel.Application"); }), 429);
        ApplicationRef created = backend.CreateObject(WordApplicationClass());
        ApplicationRef attached = backend.GetObject("word.application");
        QCOMPARE(builtin::EngineApplicationOf(*attached), builtin::EngineApplicationOf(*created));
        ApplicationRef second = builtin::BuiltinBackend().CreateObject(WordApplicationClass());
        QVERIFY(builtin::EngineApplicationOf(*second) != builtin::EngineApplicationOf(*created));
        QCOMPARE(backend.applications().size(), std::size_t(1));
        QVERIFY(!backend.lastDocument());
        DocumentRef doc = created->get_Documents()->Add();
        QCOMPARE(backend.lastDocument(), builtin::EngineDocumentOf(*doc));
    }

    // Refused values fail with 4608 (9 for positions) and change nothing.
    void refusedValuesThrow()
    {
        builtin::BuiltinBackend backend;
        DocumentRef doc = backend.CreateObject(WordApplicationClass())->get_Documents()->Add();
        RangeRef r = doc->Range(0, 0);
        r->InsertAfter("正文");
        const auto refused = [&](const char* what, int number, const std::function<void()>& call) {
            const auto before = builtin::EngineDocumentOf(*doc)->revision();
            QVERIFY2(ErrorNumber(call) == number && builtin::EngineDocumentOf(*doc)->revision() == before, what);
        };
        for (float size : {0.0f, 1639.0f, std::numeric_limits<float>::quiet_NaN()})
            refused("size", 4608, [&] { r->get_Font()->put_Size(size); });
        refused("bold 2", 4608, [&] { r->get_Font()->put_Bold(2); });
        refused("empty font name", 4608, [&] { r->get_Font()->put_Name(QString()); });
        refused("colour 17", 4608, [&] { r->get_Font()->put_ColorIndex(17); });
        refused("underline 5", 4608, [&] { r->get_Font()->put_Underline(5); });
        refused("alignment 9", 4608, [&] { r->get_Paragraphs()->put_Alignment(9); });
        refused("spacing rule 6", 4608, [&] { r->get_ParagraphFormat()->put_LineSpacingRule(6); });
        refused("spacing 0", 4608, [&] { r->get_ParagraphFormat()->put_LineSpacing(0); });
        refused("left indent 5000", 4608, [&] { r->get_ParagraphFormat()->put_LeftIndent(5000); });
        refused("border style 9", 4608, [&] { r->get_Borders()->put_OutsideLineStyle(9); });
        refused("border width 5", 4608, [&] { r->get_Borders()->put_OutsideLineWidth(5); });
        refused("collapse 2", 4608, [&] { r->Collapse(2); });
        refused("section break", 4608, [&] { r->InsertBreak(2); });
        // Past any document, as far as a long reaches (32 bits on Windows).
        for (long start : {-1L, long(std::min<long long>(5000000000LL, std::numeric_limits<long>::max()))})
            refused("start", 9, [&] { r->put_Start(start); });
    }

    // The editor closes the document window, then the application quits.
    void goneObjectsFail()
    {
        builtin::BuiltinBackend backend;
        ApplicationRef app = backend.CreateObject(WordApplicationClass());
        DocumentRef doc = app->get_Documents()->Add();
        RangeRef r = doc->Range(0, 0);
        auto engineApp = builtin::EngineApplicationOf(*app);
        engineApp->closeDocument(*builtin::EngineDocumentOf(*doc));
        QCOMPARE(ErrorNumber([&] { r->InsertAfter("x"); }), 5825);
        QCOMPARE(ErrorNumber([&] { r->get_End(); }), 5825);
        QCOMPARE(ErrorNumber([&] { doc->Select(); }), 5825);
        engineApp->quit();
        QCOMPARE(ErrorNumber([&] { app->get_Documents(); }), -2147417848);
        QCOMPARE(ErrorNumber([&] { app->ScreenRefresh(); }), -2147417848);
    }

    // Keys reach the application in front: with none shown they are dropped.
    void keysGoToTheApplicationInFront()
    {
        builtin::BuiltinBackend backend;
        ApplicationRef app = backend.CreateObject(WordApplicationClass());
        DocumentRef doc = app->get_Documents()->Add();
        const auto pageNumbers = [&] {
            for (const char* keys : {"%i", "u", "%a{up}", "{ENTER}", "{ENTER}"})
                backend.Keys().SendKeys(keys, true);
            return builtin::EngineDocumentOf(*doc)->pageNumbers().on;
        };
        QVERIFY(!pageNumbers());
        app->put_Visible(true);
        app->Activate();
        QVERIFY(pageNumbers());
        QVERIFY(ErrorNumber([&] { backend.Keys().SendKeys("{NOSUCHKEY}", true); }) != 0);
    }
};

QTEST_GUILESS_MAIN(TestBuiltinBackend)
#include "test_builtin_backend.moc"
