// The application: documents, what a view host hears, and the keyboard of
// the window (the font and page-number dialogs reached by access keys).

#include "engine/application.h"
#include "model/errors.h"

#include <QTest>

using namespace brevix;
using namespace brevix::engine;
using Key = KeyStroke::Key;

namespace {

struct RecordingHost : ViewHost {
    QStringList events;
    void documentShown(Document& d) override { events << QStringLiteral("shown ") + d.name(); }
    void documentHidden(Document& d) override { events << QStringLiteral("hidden ") + d.name(); }
    void documentActivated(Document& d) override { events << QStringLiteral("activated ") + d.name(); }
    void screenRefreshed(Document& d) override { events << QStringLiteral("refreshed ") + d.name(); }
    void selectionChanged(Document& d) override { events << QStringLiteral("selection ") + d.name(); }
    void documentClosed(Document& d) override { events << QStringLiteral("closed ") + d.name(); }
};

struct HostInstalled {
    explicit HostInstalled(ViewHost* h) { SetViewHost(h); }
    ~HostInstalled() { SetViewHost(nullptr); }
};

// Keys in the notation of the key strings: "%x" Alt+x, "~" Enter, "^" Up.
QVector<KeyStroke> Keys(const QString& s)
{
    QVector<KeyStroke> keys;
    for (qsizetype i = 0; i < s.size(); ++i) {
        KeyStroke k;
        if (s[i] == u'%' && i + 1 < s.size()) {
            k.alt = true;
            ++i;
        }
        if (s[i] == u'~')
            k.key = Key::Enter;
        else if (s[i] == u'^')
            k.key = Key::Up;
        else
            k.character = s[i];
        keys << k;
    }
    return keys;
}

void Press(Application& app, const QString& s)
{
    for (const KeyStroke& k : Keys(s))
        app.pressKey(k);
}

// A visible application with one document of Latin and Chinese text, all selected.
std::shared_ptr<Application> AppWithText()
{
    auto app = Application::create();
    auto doc = app->addDocument();
    doc->range(0, 0)->insertAfter(QStringLiteral("情况 abc\r第二段"));
    app->setVisible(true);
    doc->selectAll();
    return app;
}

bool AllLatin(const Document& doc, const QString& font)
{
    for (int i = 0; i < doc.length(); ++i)
        if (doc.charFormatAt(i).latinFont != font)
            return false;
    return true;
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
        QCOMPARE(d1->name(), QStringLiteral("文档1"));
        QCOMPARE(d2->name(), QStringLiteral("文档2"));
        second->activateDocument(*d1);
        QCOMPARE(second->activeDocument(), d1.get());
        auto range = d1->range(0, 0);
        second->closeDocument(*d1);
        QVERIFY(d1->isClosed());
        QCOMPARE(second->activeDocument(), d2.get());
        try {
            range->insertAfter(QStringLiteral("x")); // the document has gone
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 5825);
        }
        first->quit();
        QCOMPARE(Application::running(), second);
        second->quit();
        QVERIFY(d2->isClosed());
        QVERIFY(!Application::running());
    }

    void viewHostHearsTheWindowCalls()
    {
        RecordingHost host;
        HostInstalled installed(&host);
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
        QCOMPARE(host.events, (QStringList{
                                  QStringLiteral("shown 文档1"),
                                  QStringLiteral("activated 文档1"),
                                  QStringLiteral("refreshed 文档1"),
                                  QStringLiteral("selection 文档1"),
                                  QStringLiteral("shown 文档2"),
                                  QStringLiteral("activated 文档2"),
                                  QStringLiteral("hidden 文档1"),
                                  QStringLiteral("hidden 文档2"),
                                  QStringLiteral("closed 文档1"),
                              }));
        QCOMPARE(app->screenRefreshCount(), 2);
    }

    void revisionAndModified()
    {
        auto app = Application::create();
        auto doc = app->addDocument();
        QVERIFY(!doc->isModified());
        auto r = doc->range(0, 0);
        auto rev = doc->revision();
        r->insertAfter(QStringLiteral("a"));
        QVERIFY(doc->revision() > rev);
        QVERIFY(doc->isModified());
        doc->setSaved();
        rev = doc->revision();
        r->setBold(false); // already so: nothing changes
        QCOMPARE(doc->revision(), rev);
        QVERIFY(!doc->isModified());
        doc->selectAll(); // the view changes, the content does not
        QVERIFY(doc->revision() > rev);
        QVERIFY(!doc->isModified());
        r->setBold(true);
        QVERIFY(doc->isModified());
    }

    void foregroundFollowsTheFront()
    {
        auto a = Application::create();
        auto b = Application::create();
        QVERIFY(!Application::foreground()); // none shown
        a->setVisible(true);
        QCOMPARE(Application::foreground(), a);
        b->setVisible(true);
        QCOMPARE(Application::foreground(), b);
        a->activate();
        QCOMPARE(Application::foreground(), a);
        a->setVisible(false);
        QVERIFY(!Application::foreground());
    }

    // The earlier bulletin's keystroke phase, whole.
    void keystrokePhaseSetsFontAndPageNumbers()
    {
        auto app = AppWithText();
        Document& doc = *app->activeDocument();
        Press(*app, QStringLiteral("%of%otimes new roman~~%iu%a^~~"));
        for (int i = 0; i < doc.length(); ++i) {
            QCOMPARE(doc.charFormatAt(i).latinFont, QStringLiteral("Times New Roman"));
            QCOMPARE(doc.charFormatAt(i).eastAsianFont, QStringLiteral("宋体")); // the Latin field only
        }
        QCOMPARE(doc.pageNumbers(), (PageNumbers{true, Alignment::Center}));
        QCOMPARE(app->keyboardState().mode, KeyboardState::Mode::Idle);
    }

    void typedFontIsSetOnTheSelection()
    {
        auto app = AppWithText();
        Document& doc = *app->activeDocument();
        doc.select(0, 2);
        Press(*app, QStringLiteral("%of%oArial~~"));
        QCOMPARE(doc.charFormatAt(0).latinFont, QStringLiteral("Arial"));
        QCOMPARE(doc.charFormatAt(1).latinFont, QStringLiteral("Arial"));
        QCOMPARE(doc.charFormatAt(2).latinFont, QStringLiteral("Times New Roman"));
        // A name the box does not know is taken as typed.
        doc.selectAll();
        Press(*app, QStringLiteral("%of%oMy Face~~"));
        QVERIFY(AllLatin(doc, QStringLiteral("My Face")));
    }

    // Key sequences outside the grammar change nothing in the document.
    void foreignKeysChangeNothing_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("mode"); // KeyboardState::Mode afterwards
        QTest::newRow("letters with no menu") << QStringLiteral("times new roman~~") << 0;
        QTest::newRow("unknown menu") << QStringLiteral("%xf%oarial~~") << 0;
        QTest::newRow("stray key closes the menu") << QStringLiteral("%oxf%oarial~~") << 0;
        QTest::newRow("Alt+F in the menu") << QStringLiteral("%o%f%oarial~~") << 0;
        QTest::newRow("typing before the field is reached") << QStringLiteral("%ofarial~") << 0;
        QTest::newRow("dialog left open") << QStringLiteral("%of%oarial~") << 3;
        QTest::newRow("insert menu, wrong entry") << QStringLiteral("%ix%a^~~") << 0;
        QTest::newRow("Up without the alignment field") << QStringLiteral("%iu^~") << 0;
        QTest::newRow("page numbers left open") << QStringLiteral("%iu%a^~") << 4;
        QTest::newRow("Up outside any dialog") << QStringLiteral("^^~") << 0;
    }
    void foreignKeysChangeNothing()
    {
        QFETCH(QString, keys);
        QFETCH(int, mode);
        auto app = AppWithText();
        Document& doc = *app->activeDocument();
        Press(*app, keys);
        QVERIFY(AllLatin(doc, QStringLiteral("Times New Roman")));
        QCOMPARE(static_cast<int>(app->keyboardState().mode), mode);
        if (keys == QStringLiteral("%iu^~")) {
            // Enter on the dialog confirms it as it stands: right-aligned numbers.
            QCOMPARE(doc.pageNumbers(), (PageNumbers{true, Alignment::Right}));
        } else {
            QVERIFY(!doc.pageNumbers().on);
        }
    }

    void alignmentListStopsAtItsTop()
    {
        auto app = AppWithText();
        Press(*app, QStringLiteral("%iu%a^^^^~~"));
        QCOMPARE(app->activeDocument()->pageNumbers(), (PageNumbers{true, Alignment::Left}));
    }

    void typedNameReplacesTheFieldAndKeepsCase()
    {
        auto app = AppWithText();
        Press(*app, QStringLiteral("%of%o"));
        QCOMPARE(app->keyboardState().latinFont, QStringLiteral("Times New Roman")); // shows the selection's font
        Press(*app, QStringLiteral("courier new~"));
        QCOMPARE(app->keyboardState().latinFont, QStringLiteral("Courier New")); // the list's spelling
        Press(*app, QStringLiteral("~"));
        QVERIFY(AllLatin(*app->activeDocument(), QStringLiteral("Courier New")));
    }

    void keysWithoutDocumentDoNothing()
    {
        auto app = Application::create();
        app->setVisible(true);
        Press(*app, QStringLiteral("%of%oarial~~%iu%a^~~"));
        QCOMPARE(app->keyboardState().mode, KeyboardState::Mode::Idle);
    }
};

QTEST_GUILESS_MAIN(TestEngineApplication)
#include "test_engine_application.moc"
