// The PDF as a reader shows it: made by the headless command, as a script
// makes it, each page holds the text the window lays out on that page.

#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/window/fonts.h"
#include "engine/window/pagelayout.h"
#include "model/issuefile.h"
#include "sample_issue.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;

class TestDocwindowPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    void pagesShowTheBulletin()
    {
        QTemporaryDir dir;
        const QString issue = dir.filePath(QStringLiteral("issue.owd"));
        {
            QFile f(issue);
            QVERIFY(f.open(QIODevice::WriteOnly));
            WriteIssue(testing::SampleArticles(12), f);
        }
        const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
        const QString command = QStringLiteral("brevix2003 --typeset %1 --number 12 --total 345 --year 2003 --month 1 --day 13 --output %2");
        QCOMPARE(RunHeadless(Brevix2003Edition(), command.arg(issue, pdf).split(u' ')), 0);
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("/FontFile2")); // the faces are embedded, not left to the reader

        auto doc = testing::Bulletin(12);
        PageLayout layout(*doc);
        layout.update();
        const QStringList pages = testing::PdfPageTexts(pdf);
        QCOMPARE(pages.size(), layout.pageCount());
        QVERIFY(pages.size() > 2);
        // The start of every paragraph on the page it is laid out on.
        static const QRegularExpression space(QStringLiteral("\\s"));
        for (int i = 0; i < doc->paragraphCount(); ++i) {
            const engine::ParagraphInfo p = doc->paragraph(i);
            const QString start = doc->text(p.start, p.markPosition).remove(space).left(10);
            if (!start.isEmpty())
                QVERIFY2(pages[layout.pageOfPosition(p.start)].contains(start),
                         qPrintable(QStringLiteral("page %1: %2").arg(layout.pageOfPosition(p.start)).arg(start)));
        }
        QVERIFY(pages.first().startsWith(QStringLiteral("情况反映第12期")));
    }
};

QTEST_MAIN(TestDocwindowPdf)
#include "test_docwindow_pdf.moc"
