// The document model's rules: what inserting and formatting do to text,
// paragraphs and attributes.

#include "engine/document.h"
#include "engine/failures.h"
#include "golden.h"

#include <QRandomGenerator>
#include <QTest>


using namespace brevix;
using namespace brevix::engine;

namespace {

std::shared_ptr<Document> NewDoc() { return std::make_shared<Document>(); }

// A new document holding text, and the range over it.
std::pair<std::shared_ptr<Document>, std::shared_ptr<Range>> DocWith(const QString& text)
{
    auto doc = NewDoc();
    auto r = doc->range(0, 0);
    r->insertAfter(text);
    return {doc, r};
}

// Text with marks shown as '|' and page breaks as '^', for readable comparisons.
QString Shown(const Document& doc)
{
    QString s = doc.text();
    s.replace(u'\r', u'|');
    s.replace(u'\f', u'^');
    return s;
}

std::pair<int, int> Span(const Range& r) { return {r.start(), r.end()}; }

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
    void insertAfterNeverPassesTheFinalMark()
    {
        auto doc = NewDoc();
        auto r = doc->range(0, 0);
        r->insertAfter(QStringLiteral("ab"));
        QCOMPARE(Span(*r), std::make_pair(0, 2));
        // A range covering the final mark, or after it, still inserts before it.
        auto all = doc->content();
        all->insertAfter(QStringLiteral("c"));
        QCOMPARE(Span(*all), std::make_pair(0, 4));
        auto after = doc->range(doc->length(), doc->length());
        after->insertAfter(QStringLiteral("d"));
        QCOMPARE(Span(*after), std::make_pair(3, 4));
        auto nothing = doc->range(doc->length(), doc->length());
        nothing->insertAfter(QString());
        QCOMPARE(nothing->start(), doc->length()); // inserting nothing moves nothing
        QCOMPARE(Shown(*doc), QStringLiteral("abcd|"));
        QVERIFY(doc->isModified());
        // A page break is a character at the range's end, in the paragraph that holds it.
        r->insertPageBreak();
        QCOMPARE(Span(*r), std::make_pair(2, 3)); // the range covers the break
        QCOMPARE(Shown(*doc), QStringLiteral("ab^cd|"));
        QCOMPARE(doc->paragraphCount(), 1);
    }

    // Rows of data/line_ends.txt: text inserted → the document (marks as
    // '|'), where each paragraph's mark lies, and how much the range covers.
    void lineEndsFold()
    {
        BREVIX_COMPARE_TRANSCRIPT("line_ends.txt", [](const QString& inserted) {
            auto [doc, r] = DocWith(inserted);
            QString out = Shown(*doc) + QStringLiteral(", marks at");
            for (int i = 0; i < doc->paragraphCount(); ++i)
                out += u' ' + QString::number(doc->paragraph(i).markPosition);
            return out + QStringLiteral(", range %1 long").arg(r->end() - r->start());
        });
    }

    void splitParagraphsKeepAttributes()
    {
        auto [doc, r] = DocWith(QStringLiteral("one two"));
        r->setAlignment(Alignment::Center);
        r->setLineSpacingRule(LineSpacingRule::Exactly);
        r->setLineSpacing(26);
        r->setFirstLineIndent(-0.3f * 72.0f);
        r->setLeftIndent(0.3f * 72.0f);
        doc->range(3, 3)->insertAfter(QStringLiteral("\r"));
        QCOMPARE(Shown(*doc), QStringLiteral("one| two|"));
        const ParaFormat set{Alignment::Center, LineSpacingRule::Exactly, 520, -432, 432, {}};
        QCOMPARE(doc->paraFormat(0), set);
        QCOMPARE(doc->paraFormat(1), set);
        QCOMPARE(doc->paraRunCount(), 1);
        // Back to single spacing; a height given then makes it a multiple.
        r->setLineSpacingRule(LineSpacingRule::Single);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 240);
        r->setLineSpacing(18);
        QCOMPARE(doc->paraFormat(0).lineSpacingRule, LineSpacingRule::Multiple);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 360);
    }

    // Text at the start of a paragraph takes the attributes of the character
    // after it (the mark of an empty paragraph); elsewhere those before it.
    void insertedTextInheritsAttributes()
    {
        auto [doc, r] = DocWith(QStringLiteral("Head\r"));
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

    // An East-Asian name sets both fonts, a Latin one the Latin font only.
    void fontNames()
    {
        const QString latin[] = {QStringLiteral("楷体_GB2312"), QStringLiteral("Arial"), QStringLiteral("SimSun")};
        const QString eastAsian[] = {QStringLiteral("楷体_GB2312"), QStringLiteral("黑体"), QStringLiteral("SimSun")}; // SimSun: an East-Asian face
        for (int k = 0; k < 3; ++k) {
            auto [doc, r] = DocWith(QStringLiteral("标题 Title"));
            r->setFontName(QStringLiteral("黑体"));
            r->setFontName(latin[k]);
            QCOMPARE(doc->charRunCount(), 2); // the mark is outside
            QCOMPARE(doc->charFormatAt(0).latinFont, latin[k]);
            QCOMPARE(doc->charFormatAt(0).eastAsianFont, eastAsian[k]);
        }
    }

    // Which paragraphs of "aa|bb|cc|" (marks at 2, 5 and 8) a paragraph
    // setting reaches, as rows of data/paragraph_reach.txt: the range's start
    // and end → one letter a paragraph, x where it was reached. Empty ranges
    // inside a paragraph, at its start, on a mark and at the document's end;
    // ranges ending just after a mark or one past it, over two, over a mark
    // only, over the whole document.
    void paragraphReach()
    {
        BREVIX_COMPARE_TRANSCRIPT("paragraph_reach.txt", [](const QString& row) {
            auto doc = DocWith(QStringLiteral("aa\rbb\rcc")).first;
            doc->range(row.section(u' ', 0, 0).toInt(), row.section(u' ', 1, 1).toInt())->setAlignment(Alignment::Right);
            QString reached;
            for (int i = 0; i < doc->paragraphCount(); ++i)
                reached += doc->paraFormat(i).alignment == Alignment::Right ? u'x' : u'.';
            return reached;
        });
    }

    void bordersGoToTextOrParagraphs()
    {
        auto [doc, r] = DocWith(QStringLiteral("宏观动向"));
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

    void rangesFollowEditsAndEachOther()
    {
        auto doc = DocWith(QStringLiteral("abcdef")).first;
        auto before = doc->range(0, 2);
        auto around = doc->range(1, 5);
        auto after = doc->range(4, 6);
        auto emptyAt = doc->range(3, 3);
        auto endsAt = doc->range(1, 3);
        doc->select(3, 4);
        doc->range(3, 3)->insertAfter(QStringLiteral("XY"));
        QCOMPARE(Shown(*doc), QStringLiteral("abcXYdef|"));
        QCOMPARE((QList<std::pair<int, int>>{Span(*before), Span(*around), Span(*after), Span(*emptyAt), Span(*endsAt)}),
                 (QList<std::pair<int, int>>{{0, 2}, {1, 7}, {6, 8}, {5, 5}, {1, 3}}));
        QCOMPARE(doc->selection(), (Selection{5, 6}));
        // A copy is moved as well.
        Range copy(*around);
        doc->range(0, 0)->insertAfter(QStringLiteral("-"));
        QCOMPARE(Span(copy), std::make_pair(2, 8));

        // A start past the end (up to the document's length) moves the end,
        // an end before the start the start.
        auto r = doc->range(1, 3);
        r->setStart(doc->length());
        QCOMPARE(Span(*r), std::make_pair(doc->length(), doc->length()));
        r->setEnd(2);
        QCOMPARE(Span(*r), std::make_pair(2, 2));
        // (Positions outside the document: the backend tests check their error.)
        QVERIFY_THROWS_EXCEPTION(RuntimeError, doc->range(3, 2));
    }

    // Character settings on an empty range change nothing (refused values
    // are tested through the automation interface).
    void emptyRangesChangeNothing()
    {
        auto doc = DocWith(QStringLiteral("abc")).first;
        const auto revision = doc->revision();
        auto empty = doc->range(1, 1);
        empty->setFontName(QStringLiteral("黑体"));
        empty->setFontSize(30);
        empty->setBold(true);
        empty->setColorIndex(6);
        empty->setUnderline(3);
        QCOMPARE(doc->charRunCount(), 1);
        QCOMPARE(doc->charFormatAt(0), CharFormat{});
        QCOMPARE(doc->revision(), revision);
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
        QCOMPARE(doc->charFormatAt(5), (CharFormat{QStringLiteral("Times New Roman"), QStringLiteral("楷体_GB2312"), 28, false, 0, 0, {}}));
    }

    // The run map against a plain array, under random edits.
    void runMapMatchesAPlainArray()
    {
        QRandomGenerator rng(7);
        RunMap map;
        map.reset(5, 0);
        QList<int> plain(5, 0);
        for (int step = 0; step < 3000; ++step) {
            const int n = static_cast<int>(plain.size());
            const int a = rng.bounded(n + 1), b = rng.bounded(n + 1), value = rng.bounded(3);
            if (rng.bounded(2) == 0) {
                const int count = rng.bounded(4);
                map.insert(a, count, value);
                plain.insert(a, count, value);
            } else {
                map.transform(std::min(a, b), std::max(a, b), [&](int v) { return (v + value) % 3; });
                for (int i = std::min(a, b); i < std::max(a, b); ++i)
                    plain[i] = (plain[i] + value) % 3;
            }
            // The runs follow each other, none empty, none equal to the one before.
            QList<int> expanded;
            for (int i = 0; i < map.runCount(); ++i) {
                const RunMap::Run run = map.run(i);
                QCOMPARE(run.start, static_cast<int>(expanded.size()));
                QVERIFY(run.start < run.end && (i == 0 || map.run(i - 1).value != run.value));
                expanded.insert(expanded.size(), run.end - run.start, run.value);
            }
            QCOMPARE(expanded, plain);
            QCOMPARE(map.length(), static_cast<int>(plain.size()));
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocument)
#include "test_engine_document.moc"
