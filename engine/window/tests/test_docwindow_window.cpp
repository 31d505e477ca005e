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
#include "engine/window/fonts.h"
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
using docwindow::testing::PdfPageTexts;
using docwindow::testing::SampleArticles;

namespace {

// Typesets a bulletin as the output command does, yielding to the window,
// and lets the window catch up with the last steps (it does so by itself, shortly).
std::shared_ptr<engine::Document> Output(int articles)
{
    auto doc = docwindow::testing::Bulletin(articles, [] { QCoreApplication::processEvents(); });
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
    void initTestCase()
    {
        InstallFontSubstitutions();
        InstallDocumentWindows(dialogs_);
    }
    void cleanupTestCase() { UninstallDocumentWindows(); }
    void init() { dialogs_ = ScriptedDialogs(); }
    void cleanup()
    {
        // Leave no window behind for the next case.
        for (DocumentWindow* w : DocumentWindows())
            w->discard();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void outputShowsTheDocument()
    {
        auto doc = Output(12);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w && w->isVisible() && !w->isModal());
        QVERIFY(w->windowTitle().contains(doc->name()));
        // What the window shows is the whole document as it stands.
        QCOMPARE(w->view()->layout().revision(), doc->revision());
        PageLayout fresh(*doc);
        fresh.update();
        QCOMPARE(w->view()->layout().pageCount(), fresh.pageCount());
        QVERIFY(w->view()->paintCount() > 0);
        // The hand-over selects the whole document: the view shows its start.
        QCOMPARE(w->view()->currentPage(), 0);
        QVERIFY(w->statusBar()->findChildren<QLabel*>().first()->text().contains(
            QStringLiteral("共 %1 页").arg(fresh.pageCount())));
        QVERIFY(dialogs_.shown.isEmpty()); // nothing asked during typesetting

        // Another output, another window; both stay.
        auto second = Output(3);
        QVERIFY(second != doc && WindowOf(*second) && WindowOf(*second) != w && WindowOf(*second)->isVisible() && w->isVisible());

        // Keys typed in the window reach the engine's keyboard (whose own tests
        // check what the dialogs do), and the window shows what is typed.
        QWidget* view = WindowOf(*second)->view();
        QTest::keyClick(view, Qt::Key_O, Qt::AltModifier);
        QTest::keyClick(view, Qt::Key_F);
        QTest::keyClick(view, Qt::Key_O, Qt::AltModifier);
        QTest::keyClicks(view, QStringLiteral("arial"));
        QCOMPARE(second->application()->keyboardState().mode, engine::KeyboardState::Mode::FontDialog);
        QVERIFY(WindowOf(*second)->statusBar()->findChildren<QLabel*>().last()->text().contains(QStringLiteral("arial")));
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(second->charFormatAt(0).latinFont, QStringLiteral("Arial")); // the whole document was selected
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
            dialogs_ = ScriptedDialogs();
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

    // The document saved as DOCX, exported as PDF and printed. Each PDF page
    // holds the text the window lays out on it, the faces embedded, and the
    // headless command makes the same pages; exporting is not saving; a
    // failing export is reported (a full disk after the overwrite question)
    // and keeps the old file; a saved document closes without asking.
    void saveExportAndPrint()
    {
        auto doc = Output(12);
        DocumentWindow* w = WindowOf(*doc);
        const PageLayout& layout = w->view()->layout();
        const QString pdf = dir_.filePath(QStringLiteral("export.pdf"));
        dialogs_.fileNames = {pdf};
        QVERIFY(w->exportPdf());
        QVERIFY(dialogs_.fileRequests.first().filter.contains(QStringLiteral("*.pdf")));
        QVERIFY(doc->isModified());
        QVERIFY(faults::FileBytes(pdf).contains("/FontFile2"));
        const QStringList shown = PdfPageTexts(pdf);
        QCOMPARE(shown.size(), layout.pageCount());
        QVERIFY(shown.size() > 2 && shown.first().startsWith(QStringLiteral("情况反映第12期")));
        static const QRegularExpression space(QStringLiteral("\\s"));
        for (int i = 0; i < doc->paragraphCount(); ++i) { // each paragraph's start
            const engine::ParagraphInfo p = doc->paragraph(i);
            const QString start = doc->text(p.start, p.markPosition).remove(space).left(10);
            QVERIFY2(shown[layout.pageOfPosition(p.start)].contains(start), qPrintable(start));
        }
        const QString issue = faults::WriteFile(dir_.filePath(QStringLiteral("issue.owd")), faults::IssueBytes(SampleArticles(12)));
        const QString command = QStringLiteral("brevix2003 --typeset %1 --number 12 --total 345 --year 2003 --month 1 --day 13 --output %2");
        QCOMPARE(RunHeadless(Brevix2003Edition(), command.arg(issue, dir_.filePath(QStringLiteral("headless.pdf"))).split(u' ')), 0);
        QCOMPARE(PdfPageTexts(dir_.filePath(QStringLiteral("headless.pdf"))), shown);

        dialogs_.fileNames = {dir_.filePath(QStringLiteral("missing/dir/x.pdf"))};
        QVERIFY(!w->exportPdf());
        QCOMPARE(dialogs_.lastText(), QStringLiteral("发生错误！\r\n路径未找到"));
        const QByteArray old = faults::FileBytes(pdf);
        const QStringList files = faults::FilesIn(dir_.path());
        dialogs_.fileNames = {pdf};
        {
            const faults::FileSizeLimit limit(1024);
            QVERIFY(!w->exportPdf());
        }
        QCOMPARE(dialogs_.shown.size() >= 2 ? dialogs_.shown[dialogs_.shown.size() - 2].text : QString(),
                 QStringLiteral("是否覆盖") + pdf + QStringLiteral("文件？"));
        QCOMPARE(dialogs_.lastText(), QStringLiteral("发生错误！\r\n磁盘已满"));
        QCOMPARE(faults::FileBytes(pdf), old);
        QCOMPARE(faults::FilesIn(dir_.path()), files);

        // Printing: all pages, or the chosen range, as the export shows them.
        for (auto [from, to, expected] : {std::tuple{0, 0, shown}, std::tuple{2, 3, shown.mid(1, 2)}}) {
            QPrinter printer(QPrinter::HighResolution);
            const QString out = dir_.filePath(QStringLiteral("print%1.pdf").arg(from));
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(out);
            if (from > 0) {
                printer.setPrintRange(QPrinter::PageRange);
                printer.setFromTo(from, to);
            }
            w->printTo(printer);
            QCOMPARE(PdfPageTexts(out), expected);
        }

        // Saved as the engine writes it (whose tests check the XML), in the
        // place the save dialog gave.
        const QString path = dir_.filePath(QStringLiteral("saved.docx"));
        dialogs_ = ScriptedDialogs();
        dialogs_.fileNames = {path};
        QVERIFY(w->saveAsDocx());
        QVERIFY(!doc->isModified() && w->windowTitle().startsWith(QStringLiteral("saved.docx")));
        QCOMPARE(dialogs_.fileRequests.size(), 1);
        QVERIFY(dialogs_.fileRequests.first().save && dialogs_.fileRequests.first().filter.contains(QStringLiteral("*.docx")));
        QCOMPARE(package::Parts(path).value(QStringLiteral("word/document.xml")), engine::DocumentXml(*doc));
        w->close();
        QVERIFY(dialogs_.shown.isEmpty() && doc->isClosed());
    }

    // A command pressed through the accessibility layer (its toolbar button,
    // its menu entry) returns before its dialog is asked for, so a screen
    // reader is not held until the dialog closes; the dialog follows.
    void commandsReturnBeforeTheirDialog_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("asked"); // the file filter, the question or the dialog's caption
        QTest::newRow("save") << QStringLiteral("另存为 DOCX") << QStringLiteral("Word 文档 (*.docx)");
        QTest::newRow("pdf") << QStringLiteral("导出 PDF") << QStringLiteral("PDF 文件 (*.pdf)");
        QTest::newRow("print") << QStringLiteral("打印") << QStringLiteral("打印");
        QTest::newRow("close") << QStringLiteral("关闭") << QStringLiteral("文档尚未保存，是否保存？");
    }
    void commandsReturnBeforeTheirDialog()
    {
        QFETCH(QString, command);
        QFETCH(QString, asked);
        auto doc = Output(1);
        DocumentWindow* w = WindowOf(*doc);
        const auto whatWasAsked = [&] {
            if (auto* print = w->findChild<QPrintDialog*>())
                return print->windowTitle();
            if (!dialogs_.fileRequests.isEmpty())
                return dialogs_.fileRequests.last().filter;
            return dialogs_.lastText();
        };
        auto* tools = w->findChild<QToolBar*>(QStringLiteral("fileToolBar"));
        QAction* action = nullptr;
        for (QAction* a : tools->actions())
            if (a->text().startsWith(command))
                action = a;
        QVERIFY(action);
        QMenu* fileMenu = w->menuBar()->actions().first()->menu();
        const auto entry = static_cast<int>(fileMenu->actions().indexOf(action));
        for (QAccessibleInterface* pressed : {QAccessible::queryAccessibleInterface(tools->widgetForAction(action)),
                                              QAccessible::queryAccessibleInterface(fileMenu)->child(entry)}) {
            dialogs_ = ScriptedDialogs();
            dialogs_.answers = {Answer::Cancel}; // the question on closing keeps the window
            pressed->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
            QCOMPARE(whatWasAsked(), QString());
            QCoreApplication::sendPostedEvents();
            QCOMPARE(whatWasAsked(), asked);
            delete w->findChild<QPrintDialog*>();
        }
    }

    void shownWhenVisibleAndFollowsTheSelection()
    {
        auto app = engine::Application::create();
        auto doc = app->addDocument();
        auto range = doc->range(0, 0);
        range->insertAfter(QStringLiteral("一段文字\r").repeated(200));
        QVERIFY(!WindowOf(*doc)); // not before Visible
        app->setVisible(true);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w && w->isVisible());
        QTRY_COMPARE(w->view()->layout().revision(), doc->revision());
        QVERIFY(w->view()->layout().pageCount() > 3);
        QCOMPARE(w->view()->currentPage(), 0);

        // Selecting text further on brings it into view, as Select does in a word processor.
        const int last = doc->paragraph(doc->paragraphCount() - 2).start;
        doc->range(last, last + 4)->select();
        QTRY_COMPARE(w->view()->currentPage(), w->view()->layout().pageCount() - 1);

        app->setVisible(false);
        QVERIFY(!w->isVisible());
        app->quit(); // the application closes its documents: the window goes without asking
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!WindowOf(*doc));
        QVERIFY(dialogs_.shown.isEmpty());
    }

    // ScreenRefresh against a clock the test moves. A generator that never
    // yields (the contents page) asks for a refresh every 10 ms: the window
    // repaints at once when 50 ms have passed since the last repaint, and only
    // then; the layout kept piece by piece ends where a fresh one does.
    void repaintsOncePerInterval()
    {
        qint64 now = 0;
        DocumentWindow::setClock([&now] { return now; });
        const auto steadyAgain = qScopeGuard([] { DocumentWindow::setClock(nullptr); });
        auto app = engine::Application::create();
        auto doc = app->addDocument();
        app->setVisible(true);
        DocumentWindow* w = WindowOf(*doc);
        QVERIFY(w);
        now += 1000; // well past anything shown so far
        const int before = w->refreshRepaints();
        const int requests = w->refreshRequests();
        auto range = doc->range(0, 0);
        for (int i = 0; i < 1000; ++i) {
            range->insertAfter(QStringLiteral("一行文字\r"));
            app->screenRefresh();
            now += 10;
        }
        QCOMPARE(w->refreshRepaints() - before, 1000 / 5);
        QCOMPARE(w->refreshRequests() - requests, 1000);

        // The last changes show once the interval has passed, and the pages
        // are those of a fresh layout.
        QTRY_COMPARE(w->view()->layout().revision(), doc->revision());
        PageLayout fresh(*doc);
        fresh.update();
        QCOMPARE(docwindow::testing::Describe(w->view()->layout()), docwindow::testing::Describe(fresh));

        // Requests while nothing changed repaint nothing (once the last
        // repaint asked for, on the wall clock's timer, has been made).
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
        app->quit();
    }
};

QTEST_MAIN(TestDocwindowWindow)
#include "test_docwindow_window.moc"
