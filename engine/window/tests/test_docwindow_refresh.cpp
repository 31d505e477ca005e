// ScreenRefresh with the window shown: repaints are coalesced, requests while
// nothing changed cost nothing, progress shows even when the generator does
// not yield, and the incrementally kept layout ends where a fresh one does.

#include "engine/window/docwindow.h"
#include "engine/window/fonts.h"
#include "engine/window/viewhost.h"
#include "sample_issue.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;

class TestDocwindowRefresh : public QObject {
    Q_OBJECT
private:
    ScriptedDialogs dialogs_;

private slots:
    void initTestCase()
    {
        InstallFontSubstitutions();
        InstallDocumentWindows(dialogs_);
    }
    void cleanupTestCase() { UninstallDocumentWindows(); }

    void largestIssueRepaintsAFewTimes()
    {
        QElapsedTimer clock;
        clock.start();
        testing::Bulletin(MaxArticles, [] { QCoreApplication::processEvents(); });
        const qint64 elapsed = clock.elapsed();
        QCOMPARE(DocumentWindows().size(), 1);
        DocumentWindow* w = DocumentWindows().first();

        // The contents scans ask for a refresh per article examined.
        QVERIFY(w->refreshRequests() >= 2 * MaxArticles);
        // Repaints are bounded by time, not by requests.
        QVERIFY(w->refreshRepaints() >= 1);
        QVERIFY2(w->refreshRepaints() <= elapsed / DocumentWindow::RefreshInterval + 3,
                 qPrintable(QString::number(w->refreshRepaints())));
        QVERIFY(w->view()->paintCount() <= 2 * (elapsed / DocumentWindow::RefreshInterval) + 10);

        // Laid out piece by piece at whatever moments repaints fell, the
        // pages are those of a fresh layout.
        QTRY_COMPARE_WITH_TIMEOUT(w->view()->layout().revision(), w->document().revision(), 10000);
        PageLayout fresh(w->document());
        fresh.update();
        QCOMPARE(w->view()->layout().pageCount(), fresh.pageCount());
        QCOMPARE(testing::Describe(w->view()->layout()), testing::Describe(fresh));

        // Requests while nothing changed repaint nothing.
        const int repaints = w->refreshRepaints();
        const int paints = w->view()->paintCount();
        engine::Application* app = w->document().application();
        for (int i = 0; i < 10000; ++i)
            app->screenRefresh();
        QCoreApplication::processEvents();
        QCOMPARE(w->refreshRepaints(), repaints);
        QCOMPARE(w->view()->paintCount(), paints);
        w->discard();
    }

    void progressShowsWithoutYielding()
    {
        // A generator that never yields (the contents page): the window
        // still repaints, at most once per interval.
        auto app = engine::Application::create();
        auto doc = app->addDocument();
        app->setVisible(true);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w);
        QCoreApplication::processEvents();
        const int before = w->refreshRepaints();
        auto range = doc->range(0, 0);
        QElapsedTimer clock;
        clock.start();
        int requests = 0;
        while (clock.elapsed() < 400) {
            range->insertAfter(QStringLiteral("一行文字\r"));
            app->screenRefresh();
            ++requests;
        }
        const int repaints = w->refreshRepaints() - before;
        QVERIFY2(repaints >= 2, qPrintable(QString::number(repaints)));
        QVERIFY2(repaints <= 400 / DocumentWindow::RefreshInterval + 2, qPrintable(QString::number(repaints)));
        QVERIFY(requests > 10 * repaints);
        // Each repaint showed the document as it then was.
        QVERIFY(w->view()->layout().pageCount() > 1);
        app->quit();
    }
};

QTEST_MAIN(TestDocwindowRefresh)
#include "test_docwindow_refresh.moc"
