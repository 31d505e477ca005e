// The DOCX writer: the package's parts and the WordprocessingML for each
// attribute, read back with the zip library and compared as written.

#include "engine/docx.h"
#include "model/errors.h"
#include "engine/tests/golden.h"
#include "zip_parts.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace brevix;
using namespace brevix::engine;

namespace {

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

// Every attribute DOCX states. The East-Asian face of the body paragraph
// is inherited from the blank mark (※ asks for it); the final paragraph was
// split off the body paragraph before its border was set. One run per
// attribute change; automatic colour writes nothing, black is a colour like
// the others. Markup escaped, a tab, a line break inside the paragraph, the
// page break; control characters left out, a lone surrogate as U+FFFD. The last
// paragraph one and a half lines apart; page numbers centred in the footer.
std::shared_ptr<Document> EveryAttribute()
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
    doc->range(r->start(), r->end())->setBorderStyle(7); // the second paragraph with its mark

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
    doc->range(doc->length(), doc->length())->setLineSpacingRule(LineSpacingRule::OnePointFive);
    doc->setPageNumbers({true, Alignment::Center});
    return doc;
}

} // namespace

class TestEngineDocx : public QObject {
    Q_OBJECT
private slots:
    // The saved package, file by file, for a blank document and for one
    // holding every attribute; saving marks the document saved. An
    // unwritable place fails with an error and leaves the document unsaved;
    // so does a device that refuses to be written (57: device I/O error).
    void save()
    {
        QTemporaryDir dir;
        const std::shared_ptr<Document> docs[] = {std::make_shared<Document>(), EveryAttribute()};
        for (const auto& doc : docs) {
            SaveDocx(*doc, dir.filePath(QStringLiteral("out.docx")));
            QVERIFY(!doc->isModified());
            QStringList lines;
            for (const auto& [name, part] : package::Parts(dir.filePath(QStringLiteral("out.docx"))).asKeyValueRange()) {
                QXmlStreamReader reader(part);
                while (!reader.atEnd())
                    reader.readNext();
                QVERIFY2(!reader.hasError(), qPrintable(name));
                lines << QStringLiteral("== ") + name << Lines(part);
            }
            BREVIX_COMPARE_GOLDEN(doc == docs[0] ? QStringLiteral("docx_blank.txt") : QStringLiteral("docx_attributes.txt"), lines);
        }

        docs[1]->range(0, 0)->insertAfter(QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, SaveDocx(*docs[1], dir.filePath(QStringLiteral("missing/out.docx"))));
        QVERIFY(docs[1]->isModified());
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        try {
            WriteDocx(*docs[1], readOnly);
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 57);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocx)
#include "test_engine_docx.moc"
