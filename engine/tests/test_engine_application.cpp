// The application: documents, what a view host hears, and the keyboard of
// the window (the font and page-number dialogs reached by access keys).

#include "engine/application.h"
#include "model/errors.h"
#include "engine/tests/golden.h"

#include <QTest>

#include <functional>

using namespace brevix;
using namespace brevix::engine;

namespace {

// Records what the engine tells the view host while it is installed.
struct RecordingHost : ViewHost {
    RecordingHost() { SetViewHost(this); }
    ~RecordingHost() override { SetViewHost(nullptr); }
    QStringList events;
    void documentShown(Document& d) override { events << QStringLiteral("shown ") + d.name(); }
    void documentHidden(Document& d) override { events << QStringLiteral("hidden ") + d.name(); }
    void documentActivated(Document& d) override { events << QStringLiteral("activated ") + d.name(); }
    void screenRefreshed(Document& d) override { events << QStringLiteral("refreshed ") + d.name(); }
    void selectionChanged(Document& d) override { events << QStringLiteral("selection ") + d.name(); }
    void documentClosed(Document& d) override { events << QStringLiteral("closed ") + d.name(); }
};

// Presses keys given in the notation of the key strings: "%x" Alt+x,
// "~" Enter, "^" Up.
void Press(Application& app, const QString& s)
{
    for (qsizetype i = 0; i < s.size(); ++i) {
        KeyStroke k;
        k.alt = s[i] == u'%' && ++i < s.size();
        k.key = s[i] == u'~' ? KeyStroke::Key::Enter : s[i] == u'^' ? KeyStroke::Key::Up : KeyStroke::Key::Character;
        k.character = s[i];
        app.pressKey(k);
    }
}

} // namespace

class TestEngineApplication : public QObject {
    Q_OBJECT
private slots:
    void cleanup()
    {
        for (const auto& app : Application::all())
            app->quit();
    }

    void registryAndDocuments()
    {
        QVERIFY(!Application::running());
        auto first = Application::create(), second = Application::create();
        QCOMPARE(Application::running(), first); // attaching finds the first one started
        auto d1 = second->addDocument(), d2 = second->addDocument(), d3 = second->addDocument();
        second->activateDocument(*d2);
        QCOMPARE(second->activeDocument(), d2.get());
        auto range = d2->range(0, 0);
        second->closeDocument(*d2);
        QCOMPARE(second->activeDocument(), d3.get()); // the last one opened
        QVERIFY_THROWS_EXCEPTION(RuntimeError, range->insertAfter(QStringLiteral("x"))); // the document has gone
        first->quit();
        QCOMPARE(Application::running(), second);
        second->quit();
        QVERIFY(d1->isClosed() && !Application::running());
    }

    // What the view host hears from one application's window calls, and
    // which application is in front (where typed keys go) while another,
    // without documents, shows beside it.
    void windowCalls()
    {
        RecordingHost host;
        auto app = Application::create(), other = Application::create();
        auto doc = app->addDocument();
        app->screenRefresh(); // not visible: nobody to repaint
        app->activate();
        QList<std::shared_ptr<Application>> fronts = {Application::foreground()};
        app->setVisible(true);
        fronts << Application::foreground();
        app->activateDocument(*doc);
        app->screenRefresh();
        doc->range(0, 0)->select();
        other->setVisible(true);
        fronts << Application::foreground();
        app->addDocument(); // shown at once in a visible application
        app->activate();
        fronts << Application::foreground();
        app->setVisible(false);
        fronts << Application::foreground();
        app->closeDocument(*doc);
        QCOMPARE(host.events.join(u','), QStringLiteral("shown 文档1,activated 文档1,refreshed 文档1,selection 文档1,"
                                                         "shown 文档2,activated 文档2,hidden 文档1,hidden 文档2,closed 文档1"));
        QCOMPARE(app->screenRefreshCount(), 2);
        QCOMPARE(fronts, (QList<std::shared_ptr<Application>>{nullptr, app, other, app, nullptr}));
        // Keys reaching an application without a document do nothing.
        Press(*other, QStringLiteral("%of%oarial~~%iu%a^~~"));
        QCOMPARE(other->keyboardState().mode, KeyboardState::Mode::Idle);
    }

    // The revision counts every change the window must show; "modified",
    // only changes of the content since the last save.
    void revisionAndModified()
    {
        auto doc = Application::create()->addDocument();
        auto r = doc->range(0, 0);
        // Per step (nothing, insert, save, a bold already off, select all,
        // bold): the revision went up (+) or not (=), modified (m) or not (-).
        QString trace;
        for (const auto& step : std::initializer_list<std::function<void()>>{
                 [] {}, [&] { r->insertAfter(QStringLiteral("a")); }, [&] { doc->setSaved(); },
                 [&] { r->setBold(false); }, [&] { doc->selectAll(); }, [&] { r->setBold(true); }}) {
            const auto before = doc->revision();
            step();
            trace += QString(doc->revision() > before ? u'+' : u'=') + (doc->isModified() ? u'm' : u'-') + u' ';
        }
        QCOMPARE(trace, QStringLiteral("=- +m =- =- +- +m "));
    }

    // The font and page-number dialogs reached by keys, as rows of
    // data/keyboard.txt: with all or the first N characters of a text in
    // Arial selected, the keys → the Latin/East-Asian faces of each run of
    // characters (the final mark's last), the page numbers and the keyboard's
    // mode afterwards. The rows: the earlier bulletin's phase, a selection
    // and the list's spelling, an unknown name taken as typed, the alignment
    // list stopping at its top, Enter confirming a dialog as it stands (the
    // page numbers' default place; the untouched font box changes nothing,
    // not even the final mark the selection holds); then sequences
    // outside the grammar, which change nothing (Alt+F in the menu, typing
    // before the field is reached, a dialog left open, a wrong entry of the
    // insert menu); the edition's tests send more through the key strings.
    void keyboard()
    {
        BREVIX_COMPARE_TRANSCRIPT("keyboard.txt", [](const QString& row) {
            auto app = Application::create();
            auto doc = app->addDocument();
            auto text = doc->range(0, 0);
            text->insertAfter(QStringLiteral("情况 abc\r第二段"));
            text->setFontName(QStringLiteral("Arial"));
            doc->select(0, row.startsWith(QStringLiteral("all ")) ? doc->length() : row.section(u' ', 0, 0).toInt());
            Press(*app, row.section(u' ', 1));
            QStringList shown; // "Latin/East-Asian ×characters" per run, the final mark's too
            for (const CharRun& run : doc->charRuns(0, doc->length()))
                shown << run.format->latinFont + u'/' + run.format->eastAsianFont + QStringLiteral(" ×") + QString::number(run.end - run.start);
            static const QStringList alignments{QStringLiteral("left"), QStringLiteral("centre"), QStringLiteral("right")};
            shown << QStringLiteral("page numbers ") + (doc->pageNumbers().on ? alignments.value(int(doc->pageNumbers().alignment)) : QStringLiteral("off"))
                  << QStringLiteral("mode %1").arg(int(app->keyboardState().mode));
            return shown.join(QStringLiteral(", ")); // the application quits in cleanup()
        });
    }
};

QTEST_GUILESS_MAIN(TestEngineApplication)
#include "test_engine_application.moc"
