// The DOCX writer: the package's parts and the WordprocessingML for each
// attribute, read back with the zip library and compared as written.

#include "engine/docx.h"
#include "model/errors.h"
#include "engine/tests/golden.h"
#include "zip_parts.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace brevix;
using namespace brevix::engine;

namespace {

bool WellFormed(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// A part one tag a line; document.xml one paragraph's properties, one run
// a line, for diffs a reader can follow.
QStringList Lines(const QByteArray& part)
{
    QString xml = QString::fromUtf8(part);
    if (xml.contains(QStringLiteral("<w:body>")))
        xml.replace(QStringLiteral("<w:p>"), QStringLiteral("\n<w:p>")).replace(QStringLiteral("<w:r>"), QStringLiteral("\n<w:r>"))
            .replace(QStringLiteral("</w:p>"), QStringLiteral("\n</w:p>"));
    else
        xml.replace(QStringLiteral("><"), QStringLiteral(">\n<"));
    return xml.split(u'\n');
}

} // namespace

class TestEngineDocx : public QObject {
    Q_OBJECT
private slots:
    // The package's parts, with a footer holding the page number when
    // page numbers are on.
    void package_data()
    {
        QTest::addColumn<bool>("numbers");
        QTest::newRow("blank document") << false;
        QTest::newRow("page numbers") << true;
    }
    void package()
    {
        QFETCH(bool, numbers);
        Document doc;
        if (numbers)
            doc.setPageNumbers({true, Alignment::Center});
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WriteDocx(doc, buffer);
        const auto parts = package::Parts(buffer.data());
        QStringList lines;
        for (auto part = parts.begin(); part != parts.end(); ++part) {
            QVERIFY2(WellFormed(part.value()), qPrintable(part.key()));
            lines << QStringLiteral("== ") + part.key() << Lines(part.value());
        }
        BREVIX_COMPARE_GOLDEN(numbers ? QStringLiteral("docx_page_numbers.txt") : QStringLiteral("docx_blank.txt"), lines);
    }

    // Every attribute as document.xml states it. The East-Asian face of the
    // body paragraph is inherited from the blank mark (※ asks for it); the
    // final paragraph was split off the body paragraph before its border was
    // set. One run per attribute change; automatic colour writes nothing,
    // black is a colour like the others. Markup escaped, a tab, a line break
    // inside the paragraph, the page break; control characters left out, a
    // lone surrogate as U+FFFD.
    void attributes()
    {
        auto doc = std::make_shared<Document>();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("宏观动向"));
        r->setFontName(QStringLiteral("隶书"));
        r->setFontSize(14);
        r->setBold(true);
        r->setColorIndex(2);
        r->setBorderStyle(7);
        r->setBorderColorIndex(12);
        r->setBorderWidth(4);
        r->setAlignment(Alignment::Left);
        r->insertAfter(QStringLiteral("\r"));
        r->setLineSpacingRule(LineSpacingRule::Exactly);
        r->setLineSpacing(26);
        r->collapse(true);
        r->insertAfter(QStringLiteral("※ 正文 Text"));
        r->setFontName(QStringLiteral("Times New Roman"));
        r->setColorIndex(12);
        r->setUnderline(3);
        r->setFirstLineIndent(-21.6f);
        r->setLeftIndent(21.6f);
        r->setAlignment(Alignment::Center);
        r->insertAfter(QStringLiteral("\r"));
        auto boxed = doc->range(r->start(), r->end()); // the second paragraph with its mark
        boxed->setBorderStyle(7);

        auto tail = doc->range(doc->length() - 1, doc->length() - 1);
        for (bool bold : {false, true, false}) {
            tail->collapse(true);
            tail->insertAfter(QStringLiteral("abc"));
            tail->setBold(bold);
        }
        for (int index : {0, 1, 2, 16}) {
            tail->collapse(true);
            tail->insertAfter(QStringLiteral("色"));
            tail->setColorIndex(index);
        }
        tail->collapse(true);
        tail->insertAfter(QStringLiteral("a<b>&\"c\" d\te\v"));
        tail->insertAfter(QString(QChar(0x0001)) + QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y😀"));
        tail->collapse(true);
        tail->insertPageBreak();
        tail->insertAfter(QStringLiteral("\r"));

        const QByteArray xml = DocumentXml(*doc);
        QVERIFY(WellFormed(xml));
        BREVIX_COMPARE_GOLDEN(QStringLiteral("docx_attributes.txt"), Lines(xml));
    }

    void saveToPathAndFailures()
    {
        QTemporaryDir dir;
        auto doc = std::make_shared<Document>();
        doc->range(0, 0)->insertAfter(QStringLiteral("内容"));
        const QString path = dir.filePath(QStringLiteral("out.docx"));
        SaveDocx(*doc, path);
        QVERIFY(!doc->isModified());
        QCOMPARE(package::Parts(path).value(QStringLiteral("word/document.xml")), DocumentXml(*doc));

        // An unwritable place fails with an error and leaves the document unsaved.
        doc->range(0, 0)->insertAfter(QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, SaveDocx(*doc, dir.filePath(QStringLiteral("missing/out.docx"))));
        QVERIFY(doc->isModified());
        // So does a device that refuses to be written (57: device I/O error).
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        try {
            WriteDocx(*doc, readOnly);
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 57);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocx)
#include "test_engine_docx.moc"
