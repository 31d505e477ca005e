// The document window as the editor uses it: shown by the generator, one per
// document, repainting while it typesets, saving as DOCX, exporting PDF (and
// what its pages show), printing, and asking before an unsaved document is
// closed.

#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "engine/tests/golden.h"
#include "engine/tests/zip_parts.h"
#include "engine/window/docwindow.h"
#include "engine/window/viewhost.h"
#include "model/tests/files.h"
#include "sample_issue.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolBar>
#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;
using namespace brevix::docwindow::testing;

namespace {

// Typesets a bulletin as the output command does, yielding to the window,
// and lets the window catch up with the last steps (it does so by itself, shortly).
std::shared_ptr<engine::Document> Output(int articles)
{
    auto doc = Bulletin(articles, [] { QCoreApplication::processEvents(); });
    if (DocumentWindow* w = WindowOf(*doc))
        (void)QTest::qWaitFor([&] { return w->view()->layout().revision() == doc->revision(); }, 5000);
    return doc;
}

} // namespace

class TestDocwindowWindow : public QObject {
    Q_OBJECT
private:
    ScriptedDialogs dialogs_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() { InstallDocumentWindows(dialogs_); } // with our font substitutions
    void cleanupTestCase() { UninstallDocumentWindows(); }
    void cleanup()
    {
        // Leave no window, and no answer, behind for the next case.
        for (DocumentWindow* w : DocumentWindows())
            w->discard();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        dialogs_ = ScriptedDialogs();
    }

    // A bulletin typeset by the output command gets a window of its own,
    // showing all of it from its start, and so does the next one. Exported
    // as PDF, each page holds the text the window lays out on it, the faces
    // embedded, and the headless command makes the same pages (the earlier
    // edition's numbered from 1 in the footer); exporting is not saving; a
    // failing export (a full disk after the overwrite question) is reported
    // and keeps the old file. Printed, all pages or a range show as
    // exported. Saved as DOCX, it closes without asking.
    void outputExportPrintAndSave()
    {
        auto doc = Output(12);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w && w->isVisible() && !w->isModal());
        const PageLayout& layout = w->view()->layout();
        QCOMPARE(layout.revision(), doc->revision());
        QVERIFY(w->view()->paintCount() > 0);
        // The hand-over selects the whole document: the view shows its start.
        QCOMPARE(w->statusBar()->findChildren<QLabel*>().first()->text(), QStringLiteral("第 1 页，共 %1 页").arg(layout.pageCount()));

        auto second = Output(3);
        QVERIFY(second != doc && WindowOf(*second) && WindowOf(*second) != w && WindowOf(*second)->isVisible() && w->isVisible());
        // Keys typed in the window reach the engine's keyboard (whose own tests
        // check what the dialogs do), and the window shows what is typed.
        QWidget* view = WindowOf(*second)->view();
        QTest::keyClick(view, Qt::Key_O, Qt::AltModifier);
        QTest::keyClick(view, Qt::Key_F);
        QTest::keyClick(view, Qt::Key_O, Qt::AltModifier);
        QTest::keyClicks(view, QStringLiteral("arial"));
        QVERIFY(WindowOf(*second)->statusBar()->findChildren<QLabel*>().last()->text().contains(QStringLiteral("西文字体：arial")));
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(second->charFormatAt(0).latinFont, QStringLiteral("Arial")); // the whole document was selected

        const QString pdf = dir_.filePath(QStringLiteral("export.pdf"));
        dialogs_.fileNames = {pdf};
        QVERIFY(w->exportPdf());
        QVERIFY(doc->isModified() && faults::FileBytes(pdf).contains("/FontFile2"));
        const QStringList shown = PdfPageTexts(pdf);
        QCOMPARE(shown.size(), layout.pageCount());
        QVERIFY(shown.size() > 2 && (shown.first().startsWith(QStringLiteral("情况反映第12期")) || !faults::CanReadPdfText));
        static const QRegularExpression space(QStringLiteral("\\s"));
        for (int i = 0; i < doc->paragraphCount() && faults::CanReadPdfText; ++i) { // each paragraph's start
            const engine::ParagraphInfo p = doc->paragraph(i);
            const QString start = doc->text(p.start, p.markPosition).remove(space).left(10);
            QVERIFY2(shown[layout.pageOfPosition(p.start)].contains(start), qPrintable(start));
        }
        const QString issue = faults::WriteFile(dir_.filePath(QStringLiteral("issue.owd")), faults::IssueBytes(SampleArticles(12)));
        const QString command = QStringLiteral("brevix2003 --typeset %1 --number 12 --total 345 --year 2003 --month 1 --day 13 --output %2");
        QCOMPARE(RunHeadless(Brevix2003Edition(), command.arg(issue, dir_.filePath(QStringLiteral("headless.pdf"))).split(u' ')), 0);
        QCOMPARE(PdfPageTexts(dir_.filePath(QStringLiteral("headless.pdf"))), shown);
        // The earlier edition's keystrokes number the pages, in the middle of the footer (points from the top left).
        const QString earlier = dir_.filePath(QStringLiteral("earlier.pdf"));
        QCOMPARE(RunHeadless(BrevixEdition(), QStringList{QStringLiteral("brevix")} + command.arg(issue, earlier).split(u' ').mid(1)), 0);
        const QStringList footers = PdfPageTexts(earlier, QStringLiteral("-x 267 -y 780 -W 60 -H 62").split(u' '));
        QVERIFY(footers.size() > 2);
        for (int page = 0; page < footers.size() && faults::CanReadPdfText; ++page)
            QCOMPARE(footers[page], QString::number(page + 1));

        const QByteArray old = faults::FileBytes(pdf);
        const QStringList files = faults::FilesIn(dir_.path());
        dialogs_.fileNames = {pdf};
        {
            const faults::FileSizeLimit limit(1024);
            QVERIFY(!w->exportPdf());
        }
        QCOMPARE(dialogs_.shown.value(dialogs_.shown.size() - 2).text, QStringLiteral("是否覆盖") + pdf + QStringLiteral("文件？"));
        QCOMPARE(dialogs_.lastText(), QStringLiteral("发生错误！\r\n磁盘已满"));
        QCOMPARE(faults::FileBytes(pdf), old);
        QCOMPARE(faults::FilesIn(dir_.path()), files);

        for (auto [from, to, expected] : {std::tuple{0, 0, shown}, std::tuple{2, 3, shown.mid(1, 2)}}) {
            QPrinter printer(QPrinter::HighResolution);
            printer.setOutputFileName(dir_.filePath(QStringLiteral("print%1.pdf").arg(from)));
            printer.setPrintRange(from > 0 ? QPrinter::PageRange : QPrinter::AllPages);
            printer.setFromTo(from, to);
            w->printTo(printer);
            QCOMPARE(PdfPageTexts(printer.outputFileName()), expected);
        }

        // Saved as the engine writes it (whose tests check the XML), in the
        // place the save dialog gave; it offered the name last exported to.
        const QString path = dir_.filePath(QStringLiteral("saved.docx"));
        dialogs_ = ScriptedDialogs();
        dialogs_.fileNames = {path};
        QVERIFY(w->saveAsDocx());
        QVERIFY(!doc->isModified() && w->windowTitle().startsWith(QStringLiteral("saved.docx")));
        QVERIFY(dialogs_.fileRequests.size() == 1 && dialogs_.fileRequests.first().save);
        QCOMPARE(dialogs_.fileRequests.first().initialPath, dir_.filePath(QStringLiteral("export.docx")));
        QCOMPARE(package::Parts(path).value(QStringLiteral("word/document.xml")), engine::DocumentXml(*doc));
        w->close();
        QVERIFY(dialogs_.shown.isEmpty() && doc->isClosed());
    }

    // Closing an unsaved document, as rows of data/closing.txt: the answers
    // to the question and the save dialog's name (none: cancelled) → the
    // boxes shown, whether window and document are gone, and the file saved
    // (a suffix added when missing). Cancel keeps it open, No discards it,
    // Yes saves and then closes, unless the save is cancelled or fails.
    void closingAnUnsavedDocumentAsks()
    {
        BREVIX_COMPARE_TRANSCRIPT("closing.txt", [this](const QString& row) {
            auto doc = Output(3);
            QPointer<DocumentWindow> w = WindowOf(*doc);
            for (const QString& answer : row.section(u'|', 0, 0).split(u' '))
                dialogs_.answers << (answer == "Cancel" ? Answer::Cancel : answer == "No" ? Answer::No : answer == "Yes" ? Answer::Yes : Answer::Ok);
            const QString file = row.section(u'|', 1);
            if (!file.isEmpty())
                dialogs_.fileNames = {dir_.filePath(file)};
            w->close();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            QStringList out;
            for (const auto& shown : dialogs_.shown)
                out << QStringLiteral("box %1 (buttons %2)").arg(shown.text).arg(int(shown.buttons));
            out << (doc->isClosed() ? "document closed" : "document open") << (w ? (w->isVisible() ? "window shown" : "window hidden") : "window gone");
            const QString saved = file.endsWith(".docx") ? file : file + ".docx";
            out << (!file.isEmpty() && QFile::exists(dir_.filePath(saved)) ? "saved as " + saved : QStringLiteral("not saved"));
            cleanup();
            return out.join(QStringLiteral("; "));
        });
    }

    // A command pressed through the accessibility layer (its toolbar button,
    // its menu entry) returns before its dialog is asked for, so a screen
    // reader is not held until the dialog closes; the dialog follows (the
    // file filter, the question or the dialog's caption).
    void commandsReturnBeforeTheirDialog()
    {
        auto doc = Output(1);
        DocumentWindow* w = WindowOf(*doc);
        const auto whatWasAsked = [&] {
            if (auto* print = w->findChild<QPrintDialog*>())
                return print->windowTitle();
            return dialogs_.fileRequests.isEmpty() ? dialogs_.lastText() : dialogs_.fileRequests.last().filter;
        };
        QMenu* fileMenu = w->menuBar()->actions().first()->menu();
        const QList<QAction*> entries = fileMenu->actions();
        for (const auto& [command, asked] : {std::pair{"另存为 DOCX", "Word 文档 (*.docx)"}, std::pair{"导出 PDF", "PDF 文件 (*.pdf)"},
                                             std::pair{"打印", "打印"}, std::pair{"关闭", "文档尚未保存，是否保存？"}}) {
            const QString caption = QString::fromUtf8(command);
            const auto entry = std::find_if(entries.begin(), entries.end(),
                                            [&caption](QAction* a) { return a->text().startsWith(caption); }) - entries.begin();
            QVERIFY2(entry < entries.size(), command);
            QWidget* button = w->findChild<QToolBar*>(QStringLiteral("fileToolBar"))->widgetForAction(entries[entry]);
            for (QAccessibleInterface* pressed : {QAccessible::queryAccessibleInterface(button), QAccessible::queryAccessibleInterface(fileMenu)->child(int(entry))}) {
                dialogs_ = ScriptedDialogs();
                dialogs_.answers = {Answer::Cancel}; // the question on closing keeps the window
                pressed->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
                QCOMPARE(whatWasAsked(), QString());
                QCoreApplication::sendPostedEvents();
                QCOMPARE(whatWasAsked(), QString::fromUtf8(asked));
                delete w->findChild<QPrintDialog*>();
            }
        }
    }

    // A document of a visible application gets a window, not before. Against
    // a clock the test moves, a generator that never yields (the contents
    // page) asks for a refresh every 10 ms: the window repaints at once when
    // 50 ms have passed since the last repaint, and only then; the layout kept
    // piece by piece ends where a fresh one does, and requests while nothing
    // changed repaint nothing. Selecting text further on brings it into view,
    // as Select does in a word processor; the window hides with the
    // application and goes without asking when it quits.
    void visibleDocumentRepaintsOncePerIntervalAndFollowsTheSelection()
    {
        qint64 now = 0;
        DocumentWindow::setClock([&now] { return now; });
        const auto steadyAgain = qScopeGuard([] { DocumentWindow::setClock(nullptr); });
        auto app = engine::Application::create();
        auto doc = app->addDocument();
        QVERIFY(!WindowOf(*doc));
        app->setVisible(true);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w && w->isVisible());
        now += 1000; // well past anything shown so far
        const int before = w->refreshRepaints();
        auto range = doc->range(0, 0);
        for (int i = 0; i < 1000; ++i) {
            range->insertAfter(QStringLiteral("一行文字\r"));
            app->screenRefresh();
            now += 10;
        }
        QCOMPARE(w->refreshRepaints() - before, 1000 / 5);
        // The last changes show once the interval has passed.
        QTRY_COMPARE(w->view()->layout().revision(), doc->revision());
        QCOMPARE(Describe(w->view()->layout()), Describe(FreshLayout(*doc)));
        QCOMPARE(w->view()->currentPage(), 0);
        // (once the last repaint asked for, on the wall clock's timer, has been made)
        QTRY_VERIFY(!w->refreshPending());
        const int repaints = w->refreshRepaints();
        const int paints = w->view()->paintCount();
        for (int i = 0; i < 1000; ++i) {
            app->screenRefresh();
            now += 10;
        }
        QCoreApplication::processEvents();
        QCOMPARE(w->refreshRepaints(), repaints);
        QCOMPARE(w->view()->paintCount(), paints);

        const int last = doc->paragraph(doc->paragraphCount() - 2).start;
        doc->range(last, last + 4)->select();
        QTRY_COMPARE(w->view()->currentPage(), w->view()->layout().pageCount() - 1);
        app->setVisible(false);
        QVERIFY(!w->isVisible());
        app->quit();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!WindowOf(*doc) && dialogs_.shown.isEmpty());
    }
};

QTEST_MAIN(TestDocwindowWindow)
#include "test_docwindow_window.moc"
