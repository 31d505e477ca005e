// The document window and its page layout. The layout against the engine's
// document: what lands on which page, in which face, size, colour and
// position, and that incremental updates give the same pages as laying the
// document out afresh. The window as the editor uses it: shown by the
// generator, one per document, repainting while it typesets, saving as DOCX,
// exporting PDF (and what its pages show), printing, and asking before an
// unsaved document is closed.

#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "engine/tests/edit_script.h"
#include "engine/tests/golden.h"
#include "engine/tests/zip_parts.h"
#include "engine/window/docwindow.h"
#include "engine/window/fonts.h"
#include "engine/window/pagelayout.h"
#include "engine/window/viewhost.h"
#include "model/tests/files.h"
#include "sample_issue.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
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

// A new document of text in 宋体, and the settings of an edit script
// ("size 14; align left"). Of no application, it gets no window.
std::shared_ptr<engine::Document> NewDocument(const QString& text, const QString& settings)
{
    return brevix::testing::Edited("new r 0 0; r insert " + text + "; r font 宋体; r " + QString(settings).replace("; ", "; r ")).doc;
}

// The line and the fragment that hold a position.
std::pair<LineBox, Fragment> At(const PageLayout& layout, int position)
{
    std::pair<LineBox, Fragment> found;
    for (const LineBox& l : layout.lines(layout.pageOfPosition(position)))
        found.first = position >= l.start && position < l.end ? l : found.first;
    for (const Fragment& f : layout.fragments(found.first))
        found.second = position >= f.start && position < f.end ? f : found.second;
    return found;
}


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

class TestDocwindow : public QObject {
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

    // The face Qt actually uses for a document's face name is one of ours
    // whenever one is installed.
    void substitutionsResolveToInstalledFaces()
    {
        for (const char* name : {"隶书", "楷体_GB2312", "仿宋_GB2312", "黑体", "宋体", "Times New Roman", "幼圆"}) {
            QStringList installed = FaceSubstitutes(QString::fromUtf8(name));
            QVERIFY2(!installed.isEmpty(), name);
            installed.removeIf([](const QString& face) { return !QFontDatabase::hasFamily(face); });
            const QString used = QFontInfo(QFont(QString::fromUtf8(name))).family();
            QVERIFY2(installed.isEmpty() || installed.contains(used, Qt::CaseInsensitive), qPrintable(used));
        }
    }

    // A bulletin as the generator sets it: the lines cover the text in order
    // inside the text area, and what it sets lands on its page in its face,
    // size, weight, colour, underline, text border and position.
    void smallBulletinPagesTextAndFormats()
    {
        const QVector<Article> articles = SampleArticles(6);
        auto doc = Bulletin(articles.size());
        FreshLayout layout(*doc);
        QCOMPARE(layout.pageSize().toSize(), QSize(595, 842)); // A4 in points
        const QRectF area = layout.textArea();
        int expected = 0;
        for (int p = 0; p < layout.pageCount(); ++p) {
            for (const LineBox& l : layout.lines(p)) {
                expected += l.start == doc->paragraph(l.paragraph).start && l.paragraph > 0; // the previous mark
                QCOMPARE(l.start, expected);
                QVERIFY(l.end >= l.start && l.rect.top() >= area.top() - 0.01 && l.rect.bottom() <= area.bottom() + 0.01);
                expected = l.end;
            }
        }
        QCOMPARE(expected + 1, doc->length());

        const QString& text = doc->text();
        const auto set = [&](const QString& what, int from = 0) {
            const int at = text.indexOf(what, from);
            const Fragment g = At(layout, at).second;
            return QStringLiteral("page %1 %2%3 %4%5 %6 u%7 box%8/%9")
                .arg(layout.pageOfPosition(at)).arg(g.family, g.eastAsian ? QStringLiteral("/ea") : QString()).arg(g.size)
                .arg(g.bold ? QStringLiteral(" bold") : QString(), g.color.name()).arg(g.underline)
                .arg(g.border.style).arg(g.border.colorIndex);
        };
        const int pageBreak = text.indexOf(u'\f');
        QCOMPARE(set(QStringLiteral("情 况 反 映")), QStringLiteral("page 0 隶书/ea 42 bold #ff0000 u0 box0/0"));
        QCOMPARE(set(QStringLiteral("远帆联络办事处")), QStringLiteral("page 0 楷体_GB2312/ea 16 bold #ff0000 u3 box0/0"));
        // A contents entry: Chinese in 楷体, leading spaces and dashes in Times New Roman.
        QCOMPARE(set(QStringLiteral("    ") + articles[0].title), QStringLiteral("page 0 Times New Roman 14 #000000 u0 box0/0"));
        QCOMPARE(set(articles[0].title), QStringLiteral("page 0 楷体_GB2312/ea 14 #000000 u0 box0/0"));
        QCOMPARE(set(QStringLiteral("宏观动向"), pageBreak), QStringLiteral("page 1 隶书/ea 14 bold #0000ff u0 box7/12"));
        QCOMPARE(set(QStringLiteral("联系电话")), QStringLiteral("page %1 楷体_GB2312/ea 14 bold #0000ff u0 box0/0").arg(layout.pageCount() - 1));

        // A bulleted entry hangs: the mark at the margin, later lines indented
        // 0.3 inch; justified, its first line reaches the right margin.
        const LineBox bullet = At(layout, text.indexOf(QStringLiteral("※"))).first;
        const LineBox next = At(layout, bullet.end).first;
        QCOMPARE(next.paragraph, bullet.paragraph);
        QCOMPARE(bullet.rect.left(), area.left());
        QVERIFY(qAbs(next.rect.left() - (area.left() + 21.6)) < 0.05);
        const Fragment end = layout.fragments(bullet).last();
        QVERIFY(qAbs(end.x + end.width - area.right()) < 0.5);
        // 第12期 gets a quarter em on each side of 12, as word processors set it.
        const QVector<Fragment> issue = layout.fragments(At(layout, text.indexOf(QStringLiteral("第12期"))).first);
        QCOMPARE(issue.size(), 3);
        QVERIFY(qAbs(issue[0].width - (16.0 + 4.0)) < 0.05); // Windows' font engine rounds advances to 1/64 px
        QVERIFY(issue[1].width > 4.0 + 2 * 4.0 - 0.01); // two digits and the space after them
    }

    // Rows of data/line_breaking.txt: an alignment and a paragraph of
    // 14-point text → the lines that break badly. 29 characters fill a line:
    // a full stop or comma after them hangs, a closing bracket takes the last
    // character with it ("hanging": the mark stays on the first line).
    void lineBreaking()
    {
        BREVIX_COMPARE_TRANSCRIPT("line_breaking.txt", [](const QString& row) {
            const QStringList words = row.split(u' ');
            const bool hanging = words[0] == "hanging";
            auto doc = NewDocument(words.mid(hanging + 1).join(u' '), "size 14; align " + words[hanging]);
            const int alignment = int(doc->paraFormat(0).alignment);
            FreshLayout layout(*doc);
            const QRectF area = layout.textArea();
            const QVector<LineBox> lines = layout.lines(0);
            const QString& t = doc->text();
            QStringList bad;
            if (lines.size() < 2 || (hanging && lines[0].end - lines[0].start != 30))
                bad << QString("the first line holds %1").arg(lines[0].end - lines[0].start);
            for (int i = 0; i < lines.size(); ++i) {
                const LineBox& l = lines[i];
                const QVector<Fragment> frags = layout.fragments(l);
                // No line starts with closing punctuation or inside a Latin word.
                if (i > 0 && (QStringLiteral("，。、；：？！）").contains(t[l.start]) || (t[l.start - 1].isLetter() && t[l.start].isLetter() && t[l.start].unicode() < 0x80)))
                    bad << QString("line %1 starts with %2").arg(i).arg(t[l.start]);
                // The room left of the text and right of it: nothing overflows,
                // but a comma or full stop may hang in the margin, one em.
                const qreal before = frags.first().x - area.left();
                qreal after = area.right() - (frags.last().x + frags.last().width);
                if (after < -0.01 && QStringLiteral("，。、．,.").contains(t[frags.last().end - 1]))
                    after += 14;
                // A justified paragraph's last line is not stretched: these all end short.
                const bool aligned = alignment == 1   ? qAbs(before - after) < 0.5
                                     : alignment == 2 ? qAbs(after) < 0.5
                                                      : qAbs(before) < 0.01 && (alignment == 0 || (i == lines.size() - 1 ? after > 14 : qAbs(after) < 0.5));
                if (before < -0.01 || after < -0.01 || !aligned)
                    bad << QString("line %1: %2 before, %3 after").arg(i).arg(before).arg(after);
            }
            return bad.isEmpty() ? QString("every line in place") : bad.join("; ");
        });
    }

    // Pages filled with lines of an exact height: a break keeps its
    // paragraph's mark on its line, text after a break goes on the next page,
    // and a break at the very end opens no empty page. Then the line's height
    // under each spacing rule, laid out again: a multiple of the single line
    // (a height given with single spacing makes one), or exact.
    void lineSpacingAndPagination()
    {
        auto doc = NewDocument(QStringLiteral("第一页\f\r") + QStringLiteral("行\r").repeated(10) + QStringLiteral("前\f后\f"),
                               "size 12; align left; spacing exactly; height 100");
        FreshLayout layout(*doc);
        // Six lines of 100 points fill a page (697.9 points tall).
        QList<int> lines;
        for (int p = 0; p < layout.pageCount(); ++p)
            lines << layout.lines(p).size();
        QCOMPARE(lines, (QList<int>{1, 6, 5, 1}));
        QCOMPARE(layout.pageOfPosition(doc->text().indexOf(QStringLiteral("后"))), 3);
        QVERIFY(layout.lines(3).first().pageBreak);

        const auto height = [&](engine::LineSpacingRule rule, float points) {
            doc->content()->setLineSpacingRule(rule);
            if (points > 0)
                doc->content()->setLineSpacing(points);
            layout.update();
            return layout.lines(0).first().rect.height();
        };
        const qreal single = height(engine::LineSpacingRule::Single, 0);
        QVERIFY(single >= 12 && single < 20);
        QCOMPARE(height(engine::LineSpacingRule::Single, 18), single * 1.5);
        QCOMPARE(height(engine::LineSpacingRule::Double, 0), single * 2);
        QCOMPARE(height(engine::LineSpacingRule::Exactly, 26), 26.0);
    }

    // Each hinted punctuation mark is drawn with the East-Asian face, and the
    // DOCX hints its run (ASCII beside it included) so that Word takes that
    // face too; a Latin letter is drawn, and left, in the Latin face, and
    // the next mark is hinted again. Ideographs need no hint (the DOCX tests).
    void hintedPunctuationAgreesWithTheDocx()
    {
        static const QRegularExpression run(QStringLiteral("<w:r><w:rPr>(.*?)</w:rPr><w:t[^>]*>(.*?)</w:t></w:r>"));
        for (const char32_t c : engine::HintedPunctuation) {
            const QString mark = QString::fromUcs4(&c, 1);
            auto doc = NewDocument(QStringLiteral("A") + mark + QStringLiteral("é") + mark, "size 12; align left");
            FreshLayout layout(*doc);
            QStringList drawn, runs; // "+" before East-Asian or hinted text
            for (const Fragment& f : layout.fragments(layout.lines(0).first()))
                drawn << (f.eastAsian ? QStringLiteral("+") : QString()) + f.text;
            QCOMPARE(drawn, (QStringList{QStringLiteral("A"), QStringLiteral("+") + mark, QStringLiteral("é"), QStringLiteral("+") + mark}));
            for (const QRegularExpressionMatch& r : run.globalMatch(QString::fromUtf8(engine::DocumentXml(*doc))))
                runs << (r.captured(1).contains(QStringLiteral(R"( w:hint="eastAsia")")) ? QStringLiteral("+") : QString()) + r.captured(2);
            QCOMPARE(runs, (QStringList{QStringLiteral("+A") + mark, QStringLiteral("é"), QStringLiteral("+") + mark}));
        }
    }

    // Only the paragraphs that changed are laid out again, and whatever the
    // order of updates, the pages are those of a fresh layout.
    void incrementalUpdatesMatchAFreshLayout()
    {
        auto doc = std::make_shared<engine::Document>();
        FreshLayout layout(*doc);
        auto range = doc->range(0, 0);
        for (const Article& a : SampleArticles(40)) {
            range->collapse(true);
            range->insertAfter(a.title + QStringLiteral("\r"));
            range->setFontName(QStringLiteral("黑体"));
            range->setAlignment(engine::Alignment::Center);
            range->collapse(true);
            range->insertAfter(a.content + QStringLiteral("\r"));
            range->setAlignment(engine::Alignment::Justify);
            const std::uint64_t before = layout.paragraphsLaidOut();
            layout.update();
            QVERIFY(layout.paragraphsLaidOut() - before <= 5);
        }
        // A change far up moves everything after it: a whole paragraph (its
        // runs as they were), then part of one (its runs split).
        for (const auto& [end, size] : {std::pair{doc->paragraph(0).end(), 30.0f}, std::pair{3, 40.0f}}) {
            doc->range(0, end)->setFontSize(size);
            layout.update();
            QCOMPARE(Describe(layout), Describe(FreshLayout(*doc)));
        }
        QVERIFY(layout.pageCount() > 2);
        const int p = doc->paragraphCount() / 2;
        doc->range(doc->paragraph(p).start, doc->paragraph(p).start)->insertAfter(QStringLiteral("插入的一段文字\r"));
        layout.update(p);
        QCOMPARE(Describe(layout), Describe(FreshLayout(*doc)));
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

QTEST_MAIN(TestDocwindow)
#include "test_docwindow.moc"
