// The DOCX writer: the package's parts and the WordprocessingML for each
// attribute, read back with the zip library and an XML reader.

#include "engine/application.h"
#include "engine/docx.h"
#include "model/errors.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
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
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(package.constData(), static_cast<zip_uint64_t>(package.size()), 0, &error);
    zip_t* za = src ? zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!za) {
        if (src)
            zip_source_free(src);
        return parts;
    }
    for (zip_int64_t i = 0, n = zip_get_num_entries(za, 0); i < n; ++i) {
        zip_stat_t st;
        zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st);
        QByteArray data(static_cast<qsizetype>(st.size), Qt::Uninitialized);
        zip_file_t* f = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
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

// One paragraph of document.xml as the XML reader sees it.
struct XmlParagraph {
    QString text;       // w:t contents; page breaks as '^'
    QStringList pPr;    // "jc=center", "spacing=520/exact", "ind=432/hanging=432", "pBdr"
    QList<QMap<QString, QString>> runs; // per run: rFonts.ascii, rFonts.eastAsia, sz, b, color, u, bdr
};

QList<XmlParagraph> Paragraphs(const QByteArray& xml)
{
    QList<XmlParagraph> paras;
    QXmlStreamReader r(xml);
    bool inRun = false, inPPr = false;
    while (!r.atEnd()) {
        r.readNext();
        const QStringView name = r.name();
        if (r.isStartElement()) {
            const auto a = r.attributes();
            if (name == u"p") {
                paras.append(XmlParagraph{});
            } else if (name == u"pPr") {
                inPPr = true;
            } else if (name == u"r") {
                inRun = true;
                paras.last().runs.append(QMap<QString, QString>{});
            } else if (inPPr && name == u"jc") {
                paras.last().pPr << QStringLiteral("jc=") + a.value(QLatin1String("w:val")).toString();
            } else if (inPPr && name == u"spacing") {
                paras.last().pPr << QStringLiteral("spacing=%1/%2").arg(a.value(QLatin1String("w:line")), a.value(QLatin1String("w:lineRule")));
            } else if (inPPr && name == u"ind") {
                paras.last().pPr << QStringLiteral("ind=%1/%2").arg(a.value(QLatin1String("w:left")),
                    a.hasAttribute(QLatin1String("w:hanging")) ? QStringLiteral("hanging=") + a.value(QLatin1String("w:hanging")).toString()
                                                 : QStringLiteral("firstLine=") + a.value(QLatin1String("w:firstLine")).toString());
            } else if (inPPr && name == u"pBdr") {
                paras.last().pPr << QStringLiteral("pBdr");
            } else if (inPPr && (name == u"top" || name == u"bottom" || name == u"left" || name == u"right")) {
                paras.last().pPr << QStringLiteral("%1=%2/%3/%4").arg(name.toString(), a.value(QLatin1String("w:val")), a.value(QLatin1String("w:sz")), a.value(QLatin1String("w:color")));
            } else if (inRun) {
                auto& run = paras.last().runs.last();
                if (name == u"rFonts") {
                    run[QStringLiteral("ascii")] = a.value(QLatin1String("w:ascii")).toString();
                    run[QStringLiteral("hAnsi")] = a.value(QLatin1String("w:hAnsi")).toString();
                    run[QStringLiteral("eastAsia")] = a.value(QLatin1String("w:eastAsia")).toString();
                } else if (name == u"sz" || name == u"color" || name == u"u") {
                    run[name.toString()] = a.value(QLatin1String("w:val")).toString();
                } else if (name == u"b") {
                    run[QStringLiteral("b")] = QStringLiteral("1");
                } else if (name == u"bdr") {
                    run[QStringLiteral("bdr")] = QStringLiteral("%1/%2/%3").arg(a.value(QLatin1String("w:val")), a.value(QLatin1String("w:sz")), a.value(QLatin1String("w:color")));
                } else if (name == u"br" && a.value(QLatin1String("w:type")) == u"page") {
                    paras.last().text += u'^';
                } else if (name == u"t") {
                    paras.last().text += r.readElementText();
                }
            }
        } else if (r.isEndElement()) {
            if (name == u"r")
                inRun = false;
            else if (name == u"pPr")
                inPPr = false;
        }
    }
    return paras;
}

QByteArray Save(const Document& doc)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteDocx(doc, buffer);
    return buffer.data();
}

} // namespace

class TestEngineDocx : public QObject {
    Q_OBJECT
private slots:
    void blankDocumentPackage()
    {
        Document doc;
        const auto parts = Unzip(Save(doc));
        QCOMPARE(parts.keys(), (QStringList{QStringLiteral("[Content_Types].xml"), QStringLiteral("_rels/.rels"),
                                            QStringLiteral("word/_rels/document.xml.rels"),
                                            QStringLiteral("word/document.xml"), QStringLiteral("word/styles.xml")}));
        for (const QByteArray& part : parts)
            QVERIFY(WellFormed(part));
        const QByteArray xml = parts.value(QStringLiteral("word/document.xml"));
        QCOMPARE(Paragraphs(xml).size(), 1); // the final mark's paragraph
        QVERIFY(xml.contains("<w:pgSz w:w=\"11906\" w:h=\"16838\"/>"));
        QVERIFY(xml.contains("w:top=\"1440\" w:right=\"1800\" w:bottom=\"1440\" w:left=\"1800\""));
        QVERIFY(!xml.contains("footerReference"));
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
        QCOMPARE(paras[0].pPr, (QStringList{QStringLiteral("spacing=520/exact"), QStringLiteral("jc=left")}));
        const auto& head = paras[0].runs.value(0);
        QCOMPARE(head.value(QStringLiteral("ascii")), QStringLiteral("隶书"));
        QCOMPARE(head.value(QStringLiteral("hAnsi")), QStringLiteral("隶书"));
        QCOMPARE(head.value(QStringLiteral("eastAsia")), QStringLiteral("隶书"));
        QCOMPARE(head.value(QStringLiteral("sz")), QStringLiteral("28"));
        QCOMPARE(head.value(QStringLiteral("b")), QStringLiteral("1"));
        QCOMPARE(head.value(QStringLiteral("color")), QStringLiteral("0000FF"));
        QCOMPARE(head.value(QStringLiteral("bdr")), QStringLiteral("double/4/800080"));

        QCOMPARE(paras[1].text, QStringLiteral("※ 正文 Text"));
        QCOMPARE(paras[1].pPr, (QStringList{QStringLiteral("pBdr"), QStringLiteral("top=double/4/auto"),
                                            QStringLiteral("left=double/4/auto"), QStringLiteral("bottom=double/4/auto"),
                                            QStringLiteral("right=double/4/auto"), QStringLiteral("spacing=240/auto"),
                                            QStringLiteral("ind=432/hanging=432"), QStringLiteral("jc=center")}));
        const auto& body = paras[1].runs.value(0);
        QCOMPARE(body.value(QStringLiteral("ascii")), QStringLiteral("Times New Roman"));
        QCOMPARE(body.value(QStringLiteral("eastAsia")), QStringLiteral("宋体")); // inherited from the blank mark
        QCOMPARE(body.value(QStringLiteral("u")), QStringLiteral("double"));
        QCOMPARE(body.value(QStringLiteral("color")), QStringLiteral("800080"));
        QCOMPARE(body.value(QStringLiteral("sz")), QStringLiteral("21"));
        QVERIFY(!body.contains(QStringLiteral("b")));
        // The final paragraph was split off the body paragraph before its border was set.
        QCOMPARE(paras[2].pPr, (QStringList{QStringLiteral("spacing=240/auto"), QStringLiteral("ind=432/hanging=432"),
                                            QStringLiteral("jc=center")}));
    }

    void runsFollowAttributeChanges()
    {
        auto doc = std::make_shared<Document>();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("aaa"));
        r->collapse(true);
        r->insertAfter(QStringLiteral("bbb"));
        r->setBold(true);
        r->collapse(true);
        r->insertAfter(QStringLiteral("ccc"));
        r->setBold(false);
        const auto paras = Paragraphs(DocumentXml(*doc));
        QCOMPARE(paras.size(), 1);
        QCOMPARE(paras[0].runs.size(), 3);
        QVERIFY(!paras[0].runs[0].contains(QStringLiteral("b")));
        QVERIFY(paras[0].runs[1].contains(QStringLiteral("b")));
        QVERIFY(!paras[0].runs[2].contains(QStringLiteral("b")));
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
        QVERIFY(xml.contains("<w:tab/>"));
        QVERIFY(xml.contains("<w:br/>")); // a line break inside the paragraph
        QVERIFY(xml.contains("<w:br w:type=\"page\"/>"));
        const auto paras = Paragraphs(xml);
        QCOMPARE(paras.size(), 2);
        // Control characters are left out, a lone surrogate becomes U+FFFD.
        QCOMPARE(paras[0].text, QStringLiteral("a<b>&\"c\" de") + QStringLiteral("x\uFFFDy😀^"));
    }

    void footerWithPageNumbers()
    {
        auto doc = std::make_shared<Document>();
        doc->setPageNumbers({true, Alignment::Center});
        const auto parts = Unzip(Save(*doc));
        QVERIFY(parts.contains(QStringLiteral("word/footer1.xml")));
        const QByteArray footer = parts.value(QStringLiteral("word/footer1.xml"));
        QVERIFY(WellFormed(footer));
        QVERIFY(footer.contains("<w:jc w:val=\"center\"/>"));
        QVERIFY(footer.contains("<w:instrText xml:space=\"preserve\"> PAGE </w:instrText>"));
        QVERIFY(footer.contains("w:fldCharType=\"begin\"") && footer.contains("w:fldCharType=\"end\""));
        QVERIFY(parts.value(QStringLiteral("word/document.xml")).contains("<w:footerReference w:type=\"default\" r:id=\"rIdFooter1\"/>"));
        QVERIFY(parts.value(QStringLiteral("word/_rels/document.xml.rels")).contains("Target=\"footer1.xml\""));
        QVERIFY(parts.value(QStringLiteral("[Content_Types].xml")).contains("/word/footer1.xml"));
    }

    void saveToPath()
    {
        QTemporaryDir dir;
        auto doc = std::make_shared<Document>();
        doc->range(0, 0)->insertAfter(QStringLiteral("内容"));
        QVERIFY(doc->isModified());
        const QString path = dir.filePath(QStringLiteral("out.docx"));
        SaveDocx(*doc, path);
        QVERIFY(!doc->isModified());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(Paragraphs(Unzip(file.readAll()).value(QStringLiteral("word/document.xml"))).value(0).text == QStringLiteral("内容"));

        // An unwritable place fails with an error and leaves the document unsaved.
        doc->range(0, 0)->insertAfter(QStringLiteral("x"));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, SaveDocx(*doc, dir.filePath(QStringLiteral("missing/out.docx"))));
        QVERIFY(doc->isModified());
    }

    void failingDeviceIsAnError()
    {
        Document doc;
        QBuffer readOnly;
        readOnly.open(QIODevice::ReadOnly);
        QTest::ignoreMessage(QtWarningMsg, "QIODevice::write (QBuffer): ReadOnly device");
        try {
            WriteDocx(doc, readOnly);
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 57);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocx)
#include "test_engine_docx.moc"
