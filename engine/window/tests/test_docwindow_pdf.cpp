// PDF export: one PDF page per laid-out page, for a small and a large issue,
// through the device, the path (replacing only when complete) and the
// headless command.

#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/window/fonts.h"
#include "engine/window/pagelayout.h"
#include "engine/window/pdfexport.h"
#include "model/issuefile.h"
#include "sample_issue.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;
using testing::Bulletin;
using testing::PdfPageCount;

namespace {

int PageCount(const engine::Document& doc)
{
    PageLayout layout(doc);
    layout.update();
    return layout.pageCount();
}

} // namespace

class TestDocwindowPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    void pageCountMatchesTheLayout_data()
    {
        QTest::addColumn<int>("articles");
        QTest::addColumn<int>("minimumPages"); // the contents page, then the sections
        QTest::newRow("empty issue") << 0 << 2;
        QTest::newRow("small issue") << 12 << 2;
        QTest::newRow("large issue") << 3277 << 500;
    }
    void pageCountMatchesTheLayout()
    {
        QFETCH(int, articles);
        QFETCH(int, minimumPages);
        auto doc = Bulletin(articles);
        const int pages = PageCount(*doc);
        QVERIFY(pages >= minimumPages);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ExportPdf(*doc, buffer);
        const QByteArray pdf = buffer.data();
        QVERIFY(pdf.startsWith("%PDF-"));
        QCOMPARE(PdfPageCount(pdf), pages);
        QVERIFY(pdf.contains("/FontFile2")); // the faces are embedded, not left to the reader
    }

    void savingAndFailures()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bulletin.pdf"));
        auto doc = Bulletin(3);
        ExportPdf(*doc, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(PdfPageCount(file.readAll()), PageCount(*doc));
        QVERIFY(doc->isModified()); // a PDF is no copy of the document

        // A folder that does not exist: an error, and nothing written.
        const QString missing = dir.filePath(QStringLiteral("no/such/folder/x.pdf"));
        try {
            ExportPdf(*doc, missing);
            QFAIL("no error for a missing folder");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.description(), RuntimeError::PathNotFound().description());
        }
        QVERIFY(!QFile::exists(missing));
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(RuntimeError, ExportPdf(*doc, readOnly));
    }

    void headlessCommandWritesPdf()
    {
        QTemporaryDir dir;
        const QString issuePath = dir.filePath(QStringLiteral("issue.owd"));
        {
            QFile f(issuePath);
            QVERIFY(f.open(QIODevice::WriteOnly));
            WriteIssue(testing::SampleArticles(12), f);
        }
        const QString pdfPath = dir.filePath(QStringLiteral("out.pdf"));
        const QString command = QStringLiteral("brevix2003 --typeset %1 --number 12 --total 345 --year 2003 --month 1 --day 13 --output %2");
        QCOMPARE(RunHeadless(Brevix2003Edition(), command.arg(issuePath, pdfPath).split(u' ')), 0);
        QFile pdf(pdfPath);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QCOMPARE(PdfPageCount(pdf.readAll()), PageCount(*Bulletin(12)));
    }
};

QTEST_MAIN(TestDocwindowPdf)
#include "test_docwindow_pdf.moc"
