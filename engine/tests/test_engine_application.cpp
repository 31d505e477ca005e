// The application: documents, what a view host hears, and the keyboard of
// the window (the font and page-number dialogs reached by access keys).

#include "engine/application.h"
#include "model/errors.h"

#include <QTest>

#include <functional>

using namespace brevix;
using namespace brevix::engine;
using Key = KeyStroke::Key;

Q_DECLARE_METATYPE(brevix::engine::PageNumbers)

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
        if (s[i] == u'~' || s[i] == u'^')
            k.key = s[i] == u'~' ? Key::Enter : Key::Up;
        else
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
        auto first = Application::create();
        auto second = Application::create();
        QCOMPARE(Application::running(), first); // attaching finds the first one started
        auto d1 = second->addDocument();
        auto d2 = second->addDocument();
        QCOMPARE(second->activeDocument(), d2.get());
        QCOMPARE(d1->name() + d2->name(), QStringLiteral("文档1文档2"));
        second->activateDocument(*d1);
        QCOMPARE(second->activeDocument(), d1.get());
        auto range = d1->range(0, 0);
        second->closeDocument(*d1);
        QVERIFY(d1->isClosed());
        QCOMPARE(second->activeDocument(), d2.get());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, range->insertAfter(QStringLiteral("x"))); // the document has gone
        first->quit();
        QCOMPARE(Application::running(), second);
        second->quit();
        QVERIFY(d2->isClosed());
        QVERIFY(!Application::running());
    }

    void viewHostHearsTheWindowCalls()
    {
        RecordingHost host;
        auto app = Application::create();
        auto doc = app->addDocument();
        app->screenRefresh(); // not visible: nobody to repaint
        app->activate();
        QVERIFY(host.events.isEmpty());
        app->setVisible(true);
        app->activateDocument(*doc);
        app->screenRefresh();
        doc->range(0, 0)->select();
        auto second = app->addDocument(); // shown at once in a visible application
        app->activate();
        app->setVisible(false);
        app->closeDocument(*doc);
        QCOMPARE(host.events.join(u','), QStringLiteral("shown 文档1,activated 文档1,refreshed 文档1,selection 文档1,"
                                                         "shown 文档2,activated 文档2,hidden 文档1,hidden 文档2,closed 文档1"));
        QCOMPARE(app->screenRefreshCount(), 2);
    }

    // The revision counts every change the window must show; "modified",
    // only changes of the content since the last save.
    void revisionAndModified()
    {
        auto app = Application::create();
        auto doc = app->addDocument();
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

    void foregroundFollowsTheFrontAndKeysNeedADocument()
    {
        auto a = Application::create();
        auto b = Application::create();
        QList<std::shared_ptr<Application>> fronts = {Application::foreground()}; // none shown
        for (const auto& step : std::initializer_list<std::function<void()>>{
                 [&] { a->setVisible(true); }, [&] { b->setVisible(true); }, [&] { a->activate(); }, [&] { a->setVisible(false); }}) {
            step();
            fronts << Application::foreground();
        }
        QCOMPARE(fronts, (QList<std::shared_ptr<Application>>{nullptr, a, b, a, nullptr}));
        // Keys reaching an application without a document do nothing.
        Press(*b, QStringLiteral("%of%oarial~~%iu%a^~~"));
        QCOMPARE(b->keyboardState().mode, KeyboardState::Mode::Idle);
    }

    // The font and page-number dialogs reached by keys. The text starts in
    // Arial; afterwards the first `selected` characters (-1: all) have
    // `font` as their Latin font, the rest Arial, and no East-Asian face
    // changes. Sequences outside the grammar change nothing (the edition's
    // tests send more of them through the key strings).
    void keyboard_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("font");
        QTest::addColumn<PageNumbers>("numbers");
        QTest::addColumn<int>("mode"); // KeyboardState::Mode afterwards
        const QString arial = QStringLiteral("Arial");
        const PageNumbers none{}, centred{true, Alignment::Center};
        QTest::newRow("the earlier bulletin's phase") << QStringLiteral("%of%otimes new roman~~%iu%a^~~") << -1 << QStringLiteral("Times New Roman") << centred << 0;
        QTest::newRow("on the selection, in the list's spelling") << QStringLiteral("%of%ocourier new~~") << 2 << QStringLiteral("Courier New") << none << 0;
        QTest::newRow("unknown name taken as typed") << QStringLiteral("%of%oMy Face~~") << -1 << QStringLiteral("My Face") << none << 0;
        QTest::newRow("alignment list stops at its top") << QStringLiteral("%iu%a^^^^~~") << -1 << arial << PageNumbers{true, Alignment::Left} << 0;
        QTest::newRow("Enter confirms the dialog as it stands") << QStringLiteral("%iu^~") << -1 << arial << PageNumbers{true, Alignment::Right} << 0;
        QTest::newRow("Alt+F in the menu") << QStringLiteral("%o%f%otimes new roman~~") << -1 << arial << none << 0;
        QTest::newRow("typing before the field is reached") << QStringLiteral("%oftimes new roman~") << -1 << arial << none << 0;
        QTest::newRow("dialog left open") << QStringLiteral("%of%otimes new roman~") << -1 << arial << none << 3;
        QTest::newRow("insert menu, wrong entry") << QStringLiteral("%ix%a^~~") << -1 << arial << none << 0;
        QTest::newRow("page numbers left open") << QStringLiteral("%iu%a^~") << -1 << arial << none << 4;
    }
    void keyboard()
    {
        QFETCH(QString, keys);
        QFETCH(int, selected);
        QFETCH(QString, font);
        QFETCH(PageNumbers, numbers);
        QFETCH(int, mode);
        auto app = Application::create();
        auto doc = app->addDocument();
        auto text = doc->range(0, 0);
        text->insertAfter(QStringLiteral("情况 abc\r第二段"));
        text->setFontName(QStringLiteral("Arial"));
        app->setVisible(true);
        if (selected < 0)
            doc->selectAll();
        else
            doc->select(0, selected);
        Press(*app, keys);
        const int end = selected < 0 ? text->end() : selected;
        for (int i = 0; i < text->end(); ++i) {
            QCOMPARE(doc->charFormatAt(i).latinFont, i < end ? font : QStringLiteral("Arial"));
            QCOMPARE(doc->charFormatAt(i).eastAsianFont, QStringLiteral("宋体"));
        }
        QCOMPARE(doc->pageNumbers(), numbers);
        QCOMPARE(static_cast<int>(app->keyboardState().mode), mode);
    }
};

QTEST_GUILESS_MAIN(TestEngineApplication)
#include "test_engine_application.moc"
