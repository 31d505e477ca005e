// ScreenRefresh with the window shown, against a clock the test moves:
// repaints are coalesced to one per interval, requests while nothing changed
// cost nothing, and the layout kept piece by piece ends where a fresh one does.

#include "engine/window/docwindow.h"
#include "engine/window/fonts.h"
#include "engine/window/viewhost.h"
#include "sample_issue.h"

#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;

class TestDocwindowRefresh : public QObject {
    Q_OBJECT
private:
    ScriptedDialogs dialogs_;
    qint64 now_ = 0;

private slots:
    void initTestCase()
    {
        InstallFontSubstitutions();
        InstallDocumentWindows(dialogs_);
        DocumentWindow::setClock([this] { return now_; });
    }
    void cleanupTestCase()
    {
        DocumentWindow::setClock(nullptr);
        UninstallDocumentWindows();
    }

    // A generator that never yields (the contents page) asks for a refresh
    // every 10 ms: the window repaints at once when 50 ms have passed since
    // the last repaint, and only then.
    void repaintsOncePerInterval()
    {
        auto app = engine::Application::create();
        auto doc = app->addDocument();
        app->setVisible(true);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w);
        now_ += 1000;
        const int before = w->refreshRepaints();
        const int requests = w->refreshRequests();
        auto range = doc->range(0, 0);
        for (int i = 0; i < 1000; ++i) {
            range->insertAfter(QStringLiteral("一行文字\r"));
            app->screenRefresh();
            now_ += 10;
        }
        QCOMPARE(w->refreshRepaints() - before, 1000 / 5);
        QCOMPARE(w->refreshRequests() - requests, 1000);

        // The last changes show once the interval has passed, and the pages
        // are those of a fresh layout.
        QTRY_COMPARE(w->view()->layout().revision(), doc->revision());
        PageLayout fresh(*doc);
        fresh.update();
        QCOMPARE(testing::Describe(w->view()->layout()), testing::Describe(fresh));

        // Requests while nothing changed repaint nothing.
        const int repaints = w->refreshRepaints();
        const int paints = w->view()->paintCount();
        for (int i = 0; i < 1000; ++i) {
            app->screenRefresh();
            now_ += 10;
        }
        QCoreApplication::processEvents();
        QCOMPARE(w->refreshRepaints(), repaints);
        QCOMPARE(w->view()->paintCount(), paints);
        app->quit();
    }
};

QTEST_MAIN(TestDocwindowRefresh)
#include "test_docwindow_refresh.moc"
