// The document model's rules: what inserting and formatting do to text,
// paragraphs and attributes.

#include "engine/document.h"
#include "engine/failures.h"

#include <QRandomGenerator>
#include <QTest>

using namespace brevix;
using namespace brevix::engine;

namespace {

std::shared_ptr<Document> NewDoc() { return std::make_shared<Document>(); }

// Text with marks shown as '|' and page breaks as '^', for readable comparisons.
QString Shown(const Document& doc)
{
    QString s = doc.text();
    s.replace(u'\r', u'|');
    s.replace(u'\f', u'^');
    return s;
}

// Appends like the generators: range at the end, InsertAfter, collapse.
void Append(Range& r, const QString& text)
{
    r.collapse(true);
    r.insertAfter(text);
}

} // namespace

class TestEngineDocument : public QObject {
    Q_OBJECT
private slots:
    void blankDocument()
    {
        auto doc = NewDoc();
        QCOMPARE(doc->length(), 1);
        QCOMPARE(doc->paragraphCount(), 1);
        const CharFormat& c = doc->charFormatAt(0);
        QCOMPARE(c.latinFont, QStringLiteral("Times New Roman"));
        QCOMPARE(c.eastAsianFont, QStringLiteral("宋体"));
        QCOMPARE(c.sizePoints(), 10.5f);
        QVERIFY(!c.bold);
        QCOMPARE(c.colorIndex, 0);
        QCOMPARE(c.underline, 0);
        QVERIFY(!c.border.visible());
        const ParaFormat& p = doc->paraFormat(0);
        QCOMPARE(p.alignment, Alignment::Justify);
        QCOMPARE(p.lineSpacingRule, LineSpacingRule::Single);
        QCOMPARE(p.firstLineIndentTwips, 0);
        QCOMPARE(p.leftIndentTwips, 0);
        QVERIFY(!p.border.visible());
        const PageSetup& page = doc->pageSetup();
        QCOMPARE(page.widthTwips, 11906); // A4 portrait
        QCOMPARE(page.heightTwips, 16838);
        QCOMPARE(page.topTwips, 1440);    // 2.54 cm
        QCOMPARE(page.bottomTwips, 1440);
        QCOMPARE(qRound(page.leftTwips / 1440.0 * 2.54 * 100), 318); // shown as 3.17 cm
        QCOMPARE(page.rightTwips, page.leftTwips);
        QVERIFY(!doc->isModified());
        QVERIFY(!doc->pageNumbers().on);
    }

    void insertAfterNeverPassesTheFinalMark()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("ab"));
        QCOMPARE(Shown(*doc), QStringLiteral("ab|"));
        QCOMPARE(r->start(), 0);
        QCOMPARE(r->end(), 2);
        // A range covering the final mark still inserts before it.
        auto all = doc->content();
        all->insertAfter(QStringLiteral("c"));
        QCOMPARE(Shown(*doc), QStringLiteral("abc|"));
        QCOMPARE(all->start(), 0);
        QCOMPARE(all->end(), 4);
        auto after = doc->range(doc->length(), doc->length());
        after->insertAfter(QStringLiteral("d"));
        QCOMPARE(Shown(*doc), QStringLiteral("abcd|"));
        QCOMPARE(after->start(), 3);
        QCOMPARE(after->end(), 4);
        auto nothing = doc->range(doc->length(), doc->length());
        nothing->insertAfter(QString());
        QCOMPARE(nothing->start(), doc->length()); // inserting nothing moves nothing
        QCOMPARE(Shown(*doc), QStringLiteral("abcd|"));
        QVERIFY(doc->isModified());
    }

    void lineEndsFold_data()
    {
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<int>("paragraphs");
        QTest::newRow("CR") << QStringLiteral("a\rb") << QStringLiteral("a|b|") << 2;
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb") << QStringLiteral("a|b|") << 2;
        QTest::newRow("lone LF") << QStringLiteral("a\nb") << QStringLiteral("a|b|") << 2;
        QTest::newRow("LF CR") << QStringLiteral("a\n\rb") << QStringLiteral("a||b|") << 3;
        QTest::newRow("CR LF CR LF") << QStringLiteral("\r\n\r\n") << QStringLiteral("|||") << 3;
        QTest::newRow("trailing CR") << QStringLiteral("ab\r") << QStringLiteral("ab||") << 2;
        QTest::newRow("empty") << QString() << QStringLiteral("|") << 1;
    }
    void lineEndsFold()
    {
        QFETCH(QString, inserted);
        QFETCH(QString, shown);
        QFETCH(int, paragraphs);
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(inserted);
        QCOMPARE(Shown(*doc), shown);
        QCOMPARE(doc->paragraphCount(), paragraphs);
        QCOMPARE(r->end() - r->start(), doc->length() - 1); // the range counts what was inserted
        for (int i = 0; i < paragraphs; ++i)
            QCOMPARE(doc->text()[doc->paragraph(i).markPosition], QChar(u'\r'));
    }

    void splitParagraphsKeepAttributes()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("one two"));
        r->setAlignment(Alignment::Center);
        r->setLineSpacingRule(LineSpacingRule::Exactly);
        r->setLineSpacing(26);
        auto mid = doc->range(3, 3);
        mid->insertAfter(QStringLiteral("\r"));
        QCOMPARE(Shown(*doc), QStringLiteral("one| two|"));
        QCOMPARE(doc->paragraphCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(doc->paraFormat(i).alignment, Alignment::Center);
            QCOMPARE(doc->paraFormat(i).lineSpacingTwips, 520);
        }
        QCOMPARE(doc->paraRunCount(), 1);
    }

    // Text at the start of a paragraph takes the attributes of the character
    // after it (the mark of an empty paragraph); elsewhere those before it.
    void insertedTextInheritsAttributes()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("Head\r"));
        r->setFontSize(20);
        r->setBold(true);
        // The final mark was never covered: it keeps the blank attributes.
        QCOMPARE(doc->charFormatAt(doc->length() - 1), CharFormat{});
        Append(*r, QStringLiteral("body"));
        QCOMPARE(doc->charFormatAt(5), CharFormat{}); // new paragraph: from the final mark
        // In the middle of a paragraph: from the character before.
        auto inside = doc->range(2, 2);
        inside->insertAfter(QStringLiteral("x"));
        QCOMPARE(doc->charFormatAt(2).halfPoints, 40);
        QVERIFY(doc->charFormatAt(2).bold);
        // At a paragraph start before formatted text: from the character after.
        auto start = doc->range(0, 0);
        start->insertAfter(QStringLiteral("y"));
        QCOMPARE(doc->charFormatAt(0).halfPoints, 40);
        // After a page break (not a paragraph start): from the break.
        auto end = doc->range(doc->length() - 1, doc->length() - 1);
        end->setFontSize(12); // empty: changes nothing
        end->insertPageBreak();
        end->collapse(true);
        end->insertAfter(QStringLiteral("z"));
        QCOMPARE(doc->charFormatAt(doc->length() - 2), doc->charFormatAt(doc->length() - 3));
        QCOMPARE(Shown(*doc), QStringLiteral("yHexad|body^z|"));
    }

    void fontNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("latin");
        QTest::addColumn<QString>("eastAsian");
        QTest::newRow("CJK name sets both") << QStringLiteral("楷体_GB2312") << QStringLiteral("楷体_GB2312") << QStringLiteral("楷体_GB2312");
        QTest::newRow("Latin name sets Latin only") << QStringLiteral("Arial") << QStringLiteral("Arial") << QStringLiteral("黑体");
        QTest::newRow("East-Asian face with Latin name") << QStringLiteral("SimSun") << QStringLiteral("SimSun") << QStringLiteral("SimSun");
    }
    void fontNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, latin);
        QFETCH(QString, eastAsian);
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("标题 Title"));
        r->setFontName(QStringLiteral("黑体"));
        r->setFontName(name);
        for (int i = 0; i < r->end(); ++i) {
            QCOMPARE(doc->charFormatAt(i).latinFont, latin);
            QCOMPARE(doc->charFormatAt(i).eastAsianFont, eastAsian);
        }
        QCOMPARE(doc->charFormatAt(r->end()).latinFont, QStringLiteral("Times New Roman")); // the mark is outside
    }

    void emptyRangeChangesNoCharacter()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("abc"));
        const auto revision = doc->revision();
        auto empty = doc->range(1, 1);
        empty->setFontName(QStringLiteral("黑体"));
        empty->setFontSize(30);
        empty->setBold(true);
        empty->setColorIndex(6);
        empty->setUnderline(3);
        for (int i = 0; i < doc->length(); ++i)
            QCOMPARE(doc->charFormatAt(i), CharFormat{});
        QCOMPARE(doc->revision(), revision);
    }

    // Which paragraphs a paragraph setting reaches.
    void paragraphReach_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("end");
        QTest::addColumn<QString>("reached"); // one letter per paragraph: x reached
        // Text: "aa|bb|cc|" — marks at 2, 5, 8.
        QTest::newRow("inside one") << 3 << 4 << QStringLiteral(".x.");
        QTest::newRow("empty range") << 4 << 4 << QStringLiteral(".x.");
        QTest::newRow("empty at start of paragraph") << 3 << 3 << QStringLiteral(".x.");
        QTest::newRow("empty on a mark") << 2 << 2 << QStringLiteral("x..");
        QTest::newRow("ends just after a mark") << 0 << 3 << QStringLiteral("x..");
        QTest::newRow("ends one past the mark") << 0 << 4 << QStringLiteral("xx.");
        QTest::newRow("overlaps two") << 1 << 4 << QStringLiteral("xx.");
        QTest::newRow("only a mark") << 5 << 6 << QStringLiteral(".x.");
        QTest::newRow("whole document") << 0 << 9 << QStringLiteral("xxx");
        QTest::newRow("end of document") << 9 << 9 << QStringLiteral("..x");
    }
    void paragraphReach()
    {
        QFETCH(int, start);
        QFETCH(int, end);
        QFETCH(QString, reached);
        auto doc = NewDoc();
        doc->range(0, 0)->insertAfter(QStringLiteral("aa\rbb\rcc"));
        doc->range(start, end)->setAlignment(Alignment::Right);
        QString got;
        for (int i = 0; i < doc->paragraphCount(); ++i)
            got += doc->paraFormat(i).alignment == Alignment::Right ? u'x' : u'.';
        QCOMPARE(got, reached);
    }

    void bordersGoToTextOrParagraphs()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("宏观动向"));
        r->setBorderStyle(7);
        r->setBorderColorIndex(12);
        r->setBorderWidth(4);
        const Border boxed{7, 4, 12};
        QCOMPARE(doc->charFormatAt(0).border, boxed); // a text border: no mark in the range
        QVERIFY(!doc->paraFormat(0).border.visible());
        r->insertAfter(QStringLiteral("\r"));
        Append(*r, QStringLiteral("next"));
        QVERIFY(!doc->charFormatAt(5).border.visible()); // new paragraph: from the final mark, unboxed
        QVERIFY(!doc->paraFormat(1).border.visible());

        auto withMark = doc->range(0, 5);
        withMark->setBorderStyle(1);
        QCOMPARE(doc->paraFormat(0).border, (Border{1, 4, 0}));
        QVERIFY(!doc->paraFormat(1).border.visible());
        QCOMPARE(doc->charFormatAt(0).border, boxed); // the text border stays

        // Width or colour alone turns a single line on; style none removes it.
        auto other = doc->range(5, 7);
        other->setBorderColorIndex(6);
        QCOMPARE(doc->charFormatAt(5).border, (Border{1, 4, 6}));
        other->setBorderStyle(0);
        QVERIFY(!doc->charFormatAt(5).border.visible());
    }

    void pageBreakIsACharacterInItsParagraph()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("a\rb"));
        r->collapse(true);
        r->insertPageBreak();
        QCOMPARE(Shown(*doc), QStringLiteral("a|b^|"));
        QCOMPARE(doc->paragraphCount(), 2);
        QCOMPARE(r->start(), 3);
        QCOMPARE(r->end(), 4);
        r->insertAfter(QStringLiteral("\r"));
        QCOMPARE(Shown(*doc), QStringLiteral("a|b^||"));
    }

    void otherRangesFollowEdits()
    {
        auto doc = NewDoc();
        doc->range(0, 0)->insertAfter(QStringLiteral("abcdef"));
        auto before = doc->range(0, 2);
        auto around = doc->range(1, 5);
        auto after = doc->range(4, 6);
        auto emptyAt = doc->range(3, 3);
        auto endsAt = doc->range(1, 3);
        doc->select(3, 4);
        doc->range(3, 3)->insertAfter(QStringLiteral("XY"));
        QCOMPARE(Shown(*doc), QStringLiteral("abcXYdef|"));
        QCOMPARE(std::make_pair(before->start(), before->end()), std::make_pair(0, 2));
        QCOMPARE(std::make_pair(around->start(), around->end()), std::make_pair(1, 7));
        QCOMPARE(std::make_pair(after->start(), after->end()), std::make_pair(6, 8));
        QCOMPARE(std::make_pair(emptyAt->start(), emptyAt->end()), std::make_pair(5, 5));
        QCOMPARE(std::make_pair(endsAt->start(), endsAt->end()), std::make_pair(1, 3));
        QCOMPARE(doc->selection(), (Selection{5, 6}));
        // A copy is moved as well.
        Range copy(*around);
        doc->range(0, 0)->insertAfter(QStringLiteral("-"));
        QCOMPARE(copy.start(), 2);
        QCOMPARE(copy.end(), 8);
    }

    void startAndEndSetters()
    {
        auto doc = NewDoc();
        doc->range(0, 0)->insertAfter(QStringLiteral("abcdef"));
        auto r = doc->range(1, 3);
        r->setStart(5); // past the end: the end follows
        QCOMPARE(r->end(), 5);
        r->setEnd(2); // before the start: the start follows
        QCOMPARE(r->start(), 2);
        r->setStart(doc->length());
        QCOMPARE(r->end(), doc->length());
        QVERIFY_THROWS_EXCEPTION(RuntimeError, r->setStart(-1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, r->setStart(doc->length() + 1));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, doc->range(3, 2));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, doc->range(0, doc->length() + 1));
        try {
            doc->range(-1, 0);
            QFAIL("no error");
        } catch (const RuntimeError& e) {
            QCOMPARE(e.number(), 9);
        }
    }

    void refusedValues()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("abc"));
        const auto expectRefused = [](auto&& call) {
            try {
                call();
                return false;
            } catch (const RuntimeError& e) {
                return e.number() == 4608;
            }
        };
        QVERIFY(expectRefused([&] { r->setFontSize(0); }));
        QVERIFY(expectRefused([&] { r->setFontSize(-3); }));
        QVERIFY(expectRefused([&] { r->setFontSize(1639); }));
        QVERIFY(expectRefused([&] { r->setFontSize(std::numeric_limits<float>::quiet_NaN()); }));
        QVERIFY(expectRefused([&] { r->setFontName(QString()); }));
        QVERIFY(expectRefused([&] { r->setColorIndex(17); }));
        QVERIFY(expectRefused([&] { r->setUnderline(5); }));
        QVERIFY(expectRefused([&] { r->setLineSpacing(0); }));
        QVERIFY(expectRefused([&] { r->setLeftIndent(5000); }));
        QVERIFY(expectRefused([&] { r->setBorderStyle(9); }));
        QVERIFY(expectRefused([&] { r->setBorderWidth(5); }));
        QVERIFY(expectRefused([&] { r->setAlignment(static_cast<Alignment>(7)); }));
        for (int i = 0; i < doc->length(); ++i)
            QCOMPARE(doc->charFormatAt(i), CharFormat{});
        QCOMPARE(doc->paraFormat(0), ParaFormat{});
    }

    void lineSpacingAndIndents()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("x"));
        r->setLineSpacingRule(LineSpacingRule::Exactly);
        r->setLineSpacing(26);
        QCOMPARE(doc->paraFormat(0).lineSpacingRule, LineSpacingRule::Exactly);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 520);
        r->setFirstLineIndent(-0.3f * 72.0f);
        r->setLeftIndent(0.3f * 72.0f);
        QCOMPARE(doc->paraFormat(0).firstLineIndentTwips, -432);
        QCOMPARE(doc->paraFormat(0).leftIndentTwips, 432);
        // A height given to a single-spaced paragraph makes it a multiple.
        auto other = doc->range(0, 0);
        other->setLineSpacingRule(LineSpacingRule::Single);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 240);
        other->setLineSpacing(18);
        QCOMPARE(doc->paraFormat(0).lineSpacingRule, LineSpacingRule::Multiple);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 360);
    }

    // Settings over a growing range, as the contents page makes them, keep
    // the runs merged: the cost of a call does not grow with what it covers.
    void runsStayMergedOverGrowingRanges()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        for (int i = 0; i < 2000; ++i) {
            r->insertAfter(QStringLiteral("    标题") + QString::number(i));
            r->setFontName(QStringLiteral("楷体_GB2312"));
            r->setFontSize(14);
            r->setAlignment(Alignment::Left);
            r->insertAfter(QString(20, u'-'));
            r->insertAfter(QStringLiteral("\r"));
            r->setFontName(QStringLiteral("Times New Roman"));
            r->setFontSize(14);
            r->setLineSpacingRule(LineSpacingRule::Exactly);
            r->setLineSpacing(18);
        }
        QCOMPARE(doc->paragraphCount(), 2001);
        QCOMPARE(doc->charRunCount(), 2); // the entries, the untouched final mark
        QCOMPARE(doc->paraRunCount(), 2);
        const CharFormat& f = doc->charFormatAt(5);
        QCOMPARE(f.latinFont, QStringLiteral("Times New Roman"));
        QCOMPARE(f.eastAsianFont, QStringLiteral("楷体_GB2312"));
        QCOMPARE(f.halfPoints, 28);
    }

    void readApi()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("ab"));
        r->setBold(true);
        r->collapse(true);
        r->insertAfter(QStringLiteral("cd\ref"));
        QCOMPARE(doc->paragraphCount(), 2);
        const ParagraphInfo p0 = doc->paragraph(0), p1 = doc->paragraph(1);
        QCOMPARE(std::make_pair(p0.start, p0.markPosition), std::make_pair(0, 4));
        QCOMPARE(std::make_pair(p1.start, p1.markPosition), std::make_pair(5, 7));
        QCOMPARE(p1.end(), doc->length());
        QCOMPARE(doc->paragraphIndexAt(4), 0);
        QCOMPARE(doc->paragraphIndexAt(5), 1);
        QCOMPARE(doc->paragraphIndexAt(doc->length()), 1);
        const QVector<CharRun> runs = doc->charRuns(1, 8);
        QCOMPARE(runs.size(), 2);
        QCOMPARE(std::make_pair(runs[0].start, runs[0].end), std::make_pair(1, 7)); // "cd\ref" inherits bold from "b"
        QVERIFY(runs[0].format->bold);
        QCOMPARE(std::make_pair(runs[1].start, runs[1].end), std::make_pair(7, 8)); // the final mark
        QVERIFY(!runs[1].format->bold);
        QCOMPARE(doc->text(5, 7), QStringLiteral("ef"));
    }

    // The run map against a plain array, under random edits.
    void runMapMatchesAPlainArray()
    {
        QRandomGenerator rng(7);
        RunMap map;
        std::vector<int> plain(5, 0);
        map.reset(5, 0);
        for (int step = 0; step < 3000; ++step) {
            const int n = static_cast<int>(plain.size());
            if (rng.bounded(2) == 0) {
                const int at = static_cast<int>(rng.bounded(n + 1));
                const int count = static_cast<int>(rng.bounded(4));
                const int value = static_cast<int>(rng.bounded(3));
                map.insert(at, count, value);
                plain.insert(plain.begin() + at, static_cast<std::size_t>(count), value);
            } else {
                const int a = static_cast<int>(rng.bounded(n + 1));
                const int b = static_cast<int>(rng.bounded(n + 1));
                const int value = static_cast<int>(rng.bounded(3));
                map.transform(std::min(a, b), std::max(a, b), [&](int v) { return (v + value) % 3; });
                for (int i = std::min(a, b); i < std::max(a, b); ++i)
                    plain[static_cast<std::size_t>(i)] = (plain[static_cast<std::size_t>(i)] + value) % 3;
            }
            QCOMPARE(map.length(), static_cast<int>(plain.size()));
            for (int i = 0; i < map.runCount(); ++i) {
                const RunMap::Run run = map.run(i);
                QVERIFY(run.start < run.end);
                if (i > 0)
                    QVERIFY(map.run(i - 1).value != run.value); // merged
                for (int k = run.start; k < run.end; ++k)
                    QCOMPARE(run.value, plain[static_cast<std::size_t>(k)]);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocument)
#include "test_engine_document.moc"
