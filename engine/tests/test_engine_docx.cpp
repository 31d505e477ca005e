// The DOCX writer: the package's parts and the WordprocessingML for each
// attribute, read back with the zip library and compared as written.

#include "engine/docx.h"
#include "model/errors.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <zip.h>

using namespace brevix;
using namespace brevix::engine;

namespace {

// The parts of a package, by name.
QMap<QString, QByteArray> Unzip(const QByteArray& package)
{
    QMap<QString, QByteArray> parts;
    zip_error_t error;
    zip_source_t* src = zip_source_buffer_create(package.constData(), static_cast<zip_uint64_t>(package.size()), 0, &error);
    zip_t* za = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!za) {
        zip_source_free(src);
        return parts;
    }
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(zip_get_num_entries(za, 0)); ++i) {
        zip_stat_t st;
        zip_stat_index(za, i, 0, &st);
        QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(za, i, 0);
        zip_fread(f, data.data(), st.size);
        zip_fclose(f);
        parts.insert(QString::fromUtf8(st.name), data);
    }
    zip_close(za);
    return parts;
}

bool WellFormed(const QByteArray& xml)
{
    QXmlStreamReader reader(xml);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// One paragraph of document.xml as written.
struct XmlParagraph {
    QString pPr;      // the paragraph's properties, without the mark's run properties
    QStringList runs; // each run's properties
    QString text;     // the runs' contents without the w:t tags
};

QList<XmlParagraph> Paragraphs(const QByteArray& xml)
{
    static const QRegularExpression para(QStringLiteral("<w:p><w:pPr>(.*?)<w:rPr>.*?</w:rPr></w:pPr>(.*?)</w:p>"));
    static const QRegularExpression run(QStringLiteral("<w:r><w:rPr>(.*?)</w:rPr>(.*?)</w:r>"));
    static const QRegularExpression t(QStringLiteral("</?w:t(?: [^>]*)?>"));
    QList<XmlParagraph> paras;
    for (const QRegularExpressionMatch& p : para.globalMatch(QString::fromUtf8(xml))) {
        XmlParagraph out;
        out.pPr = p.captured(1);
        for (const QRegularExpressionMatch& r : run.globalMatch(p.captured(2))) {
            out.runs << r.captured(1);
            out.text += r.captured(2).remove(t);
        }
        paras << out;
    }
    return paras;
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
        const auto parts = Unzip(buffer.data());
        QCOMPARE(parts.keys().join(u' '), QStringLiteral("[Content_Types].xml _rels/.rels word/_rels/document.xml.rels "
                                                         "word/document.xml %1word/styles.xml")
                                              .arg(numbers ? QStringLiteral("word/footer1.xml ") : QString()));
        for (const QByteArray& part : parts)
            QVERIFY(WellFormed(part));
        const QByteArray xml = parts.value(QStringLiteral("word/document.xml"));
        QCOMPARE(Paragraphs(xml).size(), 1); // the final mark's paragraph
        QVERIFY(xml.contains("<w:pgSz w:w=\"11906\" w:h=\"16838\"/>"));
        QVERIFY(xml.contains("w:top=\"1440\" w:right=\"1800\" w:bottom=\"1440\" w:left=\"1800\""));
        QCOMPARE(xml.contains("<w:footerReference w:type=\"default\" r:id=\"rIdFooter1\"/>"), numbers);
        QCOMPARE(parts.value(QStringLiteral("word/_rels/document.xml.rels")).contains("Target=\"footer1.xml\""), numbers);
        QCOMPARE(parts.value(QStringLiteral("[Content_Types].xml")).contains("/word/footer1.xml"), numbers);
        const QByteArray footer = parts.value(QStringLiteral("word/footer1.xml"));
        for (const char* part : {"<w:jc w:val=\"center\"/>", "<w:instrText xml:space=\"preserve\"> PAGE </w:instrText>",
                                 "w:fldCharType=\"begin\"", "w:fldCharType=\"end\""})
            QCOMPARE(footer.contains(part), numbers);
    }

    // Every attribute as the file states it.
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

        const auto paras = Paragraphs(DocumentXml(*doc));
        QCOMPARE(paras.size(), 3);
        QCOMPARE(paras[0].text, QStringLiteral("宏观动向"));
        QCOMPARE(paras[0].pPr, R"(<w:spacing w:before="0" w:after="0" w:line="520" w:lineRule="exact"/><w:jc w:val="left"/>)");
        QCOMPARE(paras[0].runs, QStringList{R"(<w:rFonts w:ascii="隶书" w:hAnsi="隶书" w:eastAsia="隶书"/><w:b/><w:bCs/>)"
                                            R"(<w:color w:val="0000FF"/><w:sz w:val="28"/><w:szCs w:val="28"/>)"
                                            R"(<w:bdr w:val="double" w:sz="4" w:space="0" w:color="800080"/>)"});
        QCOMPARE(paras[1].text, QStringLiteral("※ 正文 Text"));
        const QString indents = R"(<w:spacing w:before="0" w:after="0" w:line="240" w:lineRule="auto"/><w:ind w:left="432" w:hanging="432"/><w:jc w:val="center"/>)";
        QString box;
        for (const char* edge : {"top", "left", "bottom", "right"})
            box += QStringLiteral(R"(<w:%1 w:val="double" w:sz="4" w:space="0" w:color="auto"/>)").arg(QLatin1String(edge));
        QCOMPARE(paras[1].pPr, QStringLiteral("<w:pBdr>") + box + QStringLiteral("</w:pBdr>") + indents);
        // The East-Asian face is inherited from the blank mark; ※ asks for it.
        QCOMPARE(paras[1].runs, QStringList{R"(<w:rFonts w:ascii="Times New Roman" w:hAnsi="Times New Roman" w:eastAsia="宋体" w:hint="eastAsia"/>)"
                                            R"(<w:color w:val="800080"/><w:sz w:val="21"/><w:szCs w:val="21"/><w:u w:val="double"/>)"});
        // The final paragraph was split off the body paragraph before its border was set.
        QCOMPARE(paras[2].pPr, indents);

        // One run per attribute change.
        auto tail = doc->range(doc->length() - 1, doc->length() - 1);
        for (bool bold : {false, true, false}) {
            tail->collapse(true);
            tail->insertAfter(QStringLiteral("abc"));
            tail->setBold(bold);
        }
        QStringList bolds;
        for (const QString& run : Paragraphs(DocumentXml(*doc)).value(2).runs)
            bolds << (run.contains(QStringLiteral("<w:b/>")) ? QStringLiteral("b") : QStringLiteral("-"));
        QCOMPARE(bolds, (QStringList{QStringLiteral("-"), QStringLiteral("b"), QStringLiteral("-")}));
    }

    // Automatic colour writes nothing; black is a colour like the others.
    void colours()
    {
        static const QRegularExpression color(QStringLiteral("<w:color [^>]*/>"));
        for (const auto& [index, rgb] : QList<std::pair<int, QString>>{
                 {0, QString()}, {1, QStringLiteral("000000")}, {2, QStringLiteral("0000FF")}, {16, QStringLiteral("C0C0C0")}}) {
            auto doc = std::make_shared<Document>();
            auto r = doc->range(0, 0);
            r->insertAfter(QStringLiteral("字"));
            r->setColorIndex(index);
            const QString run = Paragraphs(DocumentXml(*doc)).value(0).runs.value(0);
            QCOMPARE(color.match(run).captured(), rgb.isEmpty() ? QString() : QStringLiteral(R"(<w:color w:val="%1"/>)").arg(rgb));
        }
    }

    // Chinese punctuation outside the East-Asian blocks is hinted, and a
    // hinted run holds no character we draw in the Latin font.
    void punctuationRunsAreHinted_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("runs"); // "+" before a hinted run's text
        QTest::newRow("ideographs") << QStringLiteral("宏观动向") << QStringList{QStringLiteral("宏观动向")};
        QTest::newRow("with ASCII") << QStringLiteral("“WTO”入世……") << QStringList{QStringLiteral("+“WTO”入世……")};
        QTest::newRow("Latin-1 apart") << QStringLiteral("“Café” ±1")
                                       << QStringList{QStringLiteral("+“Caf"), QStringLiteral("é"), QStringLiteral("+” "),
                                                      QStringLiteral("±1")};
    }
    void punctuationRunsAreHinted()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, runs);
        auto doc = std::make_shared<Document>();
        doc->range(0, 0)->insertAfter(text);
        static const QRegularExpression run(QStringLiteral("<w:r><w:rPr>(.*?)</w:rPr><w:t[^>]*>(.*?)</w:t></w:r>"));
        QStringList written;
        for (const QRegularExpressionMatch& r : run.globalMatch(QString::fromUtf8(DocumentXml(*doc))))
            written << (r.captured(1).contains(QStringLiteral(R"( w:hint="eastAsia")")) ? QStringLiteral("+") : QString())
                           + r.captured(2);
        QCOMPARE(written, runs);
    }

    void specialCharacters()
    {
        auto doc = std::make_shared<Document>();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("a<b>&\"c\" d\te\v"));
        r->insertAfter(QString(QChar(0x0001)) + QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y😀"));
        r->collapse(true);
        r->insertPageBreak();
        r->insertAfter(QStringLiteral("\r"));
        const QByteArray xml = DocumentXml(*doc);
        QVERIFY(WellFormed(xml));
        const auto paras = Paragraphs(xml);
        QCOMPARE(paras.size(), 2);
        // Escaped markup, a tab, a line break inside the paragraph, the page
        // break; control characters left out, a lone surrogate as U+FFFD.
        QCOMPARE(paras[0].text, QString::fromUtf8(R"(a&lt;b&gt;&amp;&quot;c&quot; d<w:tab/>e<w:br/>x)") + QChar(0xFFFD)
                                    + QStringLiteral(R"(y😀<w:br w:type="page"/>)"));
    }

    void saveToPathAndFailures()
    {
        QTemporaryDir dir;
        auto doc = std::make_shared<Document>();
        doc->range(0, 0)->insertAfter(QStringLiteral("内容"));
        const QString path = dir.filePath(QStringLiteral("out.docx"));
        SaveDocx(*doc, path);
        QVERIFY(!doc->isModified());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(Unzip(file.readAll()).value(QStringLiteral("word/document.xml")), DocumentXml(*doc));

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
