// PDF export: one PDF page per laid-out page, for a small and a large issue,
// through the device, the path (replacing only when complete) and the
// headless command.

#include "editions/contacts.h"
#include "editions/edition.h"
#include "editions/headless.h"
#include "engine/application.h"
#include "engine/window/fonts.h"
#include "engine/window/pagelayout.h"
#include "engine/window/pdfexport.h"
#include "generator/builtin_backend.h"
#include "generator/bulletin.h"
#include "model/issuefile.h"
#include "sample_issue.h"

#include <QBuffer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

using namespace brevix;
using namespace brevix::docwindow;

namespace {

std::shared_ptr<engine::Document> Bulletin(int articles)
{
    builtin::BuiltinBackend backend;
    OutputIssueToWord(backend, testing::SampleArticles(articles),
                      {QStringLiteral("12"), QStringLiteral("345"), QStringLiteral("2003"), QStringLiteral("1"),
                       QStringLiteral("13")},
                      OfficeContacts(), {});
    return backend.lastDocument();
}

// Page objects of a PDF (not the /Pages tree nodes).
int PdfPageCount(const QByteArray& pdf)
{
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page(?![a-zA-Z])"));
    int count = 0;
    auto it = page.globalMatch(QString::fromLatin1(pdf));
    while (it.hasNext()) {
        it.next();
        ++count;
    }
    return count;
}

} // namespace

class TestDocwindowPdf : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { InstallFontSubstitutions(); }

    void pageCountMatchesTheLayout_data()
    {
        QTest::addColumn<int>("articles");
        QTest::newRow("empty issue") << 0;
        QTest::newRow("small issue") << 12;
        QTest::newRow("large issue") << 3277;
    }
    void pageCountMatchesTheLayout()
    {
        QFETCH(int, articles);
        auto doc = Bulletin(articles);
        PageLayout layout(*doc);
        layout.update();
        QVERIFY(layout.pageCount() >= 2); // the contents page, then the sections

        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ExportPdf(*doc, buffer);
        const QByteArray pdf = buffer.data();
        QVERIFY(pdf.startsWith("%PDF-"));
        QCOMPARE(PdfPageCount(pdf), layout.pageCount());
        // The faces are embedded, not left to the reader.
        QVERIFY(pdf.contains("/FontFile2"));
        if (articles == 3277)
            QVERIFY(layout.pageCount() > 500);
    }

    void savingReplacesOnlyWhenComplete()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bulletin.pdf"));
        auto doc = Bulletin(3);
        ExportPdf(*doc, path);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(PdfPageCount(file.readAll()) >= 2);
        file.close();
        // The document stays unsaved: a PDF is no copy of it.
        QVERIFY(doc->isModified());

        // A folder that does not exist: an error, and nothing written.
        const QString missing = dir.filePath(QStringLiteral("no/such/folder/x.pdf"));
        try {
            ExportPdf(*doc, missing);
            QFAIL("no error for a missing folder");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.description(), RuntimeError::PathNotFound().description());
        }
        QVERIFY(!QFile::exists(missing));
    }

    void failingDeviceIsAnError()
    {
        auto doc = Bulletin(1);
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
        const int code = RunHeadless(Brevix2003Edition(),
                                     {QStringLiteral("brevix2003"), QStringLiteral("--typeset"), issuePath,
                                      QStringLiteral("--number"), QStringLiteral("12"), QStringLiteral("--output"),
                                      pdfPath});
        QCOMPARE(code, 0);
        QFile pdf(pdfPath);
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        auto doc = Bulletin(12);
        PageLayout layout(*doc);
        layout.update();
        QCOMPARE(PdfPageCount(pdf.readAll()), layout.pageCount());
    }
};

QTEST_MAIN(TestDocwindowPdf)
#include "test_docwindow_pdf.moc"
