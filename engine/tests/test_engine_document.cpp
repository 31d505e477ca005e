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

// A new document holding text, and the range over it.
std::pair<std::shared_ptr<Document>, std::shared_ptr<Range>> DocWith(const QString& text)
{
    auto doc = std::make_shared<Document>();
    auto r = doc->range(0, 0);
    r->insertAfter(text);
    return {doc, r};
}

// Text with marks shown as '|' and page breaks as '^', for readable comparisons.
QString Shown(const Document& doc) { return QString(doc.text()).replace(u'\r', u'|').replace(u'\f', u'^'); }

std::pair<int, int> Span(const Range& r) { return {r.start(), r.end()}; }

} // namespace

class TestEngineDocument : public QObject {
    Q_OBJECT
private slots:
    // Ranges follow the edits made through others: text inserted before one
    // moves it, inside it widens it, at an empty range's place moves it on.
    // Text never goes past the final mark, whatever the range covers.
    void rangesFollowEdits()
    {
        auto doc = DocWith(QStringLiteral("abcdef")).first;
        auto before = doc->range(0, 2), endsAt = doc->range(1, 3), emptyAt = doc->range(3, 3), after = doc->range(4, 6);
        Range around(*doc->range(1, 5)); // a copy follows as well
        auto all = doc->content(), past = doc->range(7, 7); // over the final mark, after it
        doc->select(3, 4);
        doc->range(3, 3)->insertAfter(QStringLiteral("XY"));
        all->insertAfter(QStringLiteral("g"));
        past->insertAfter(QStringLiteral("h"));
        auto nothing = doc->range(doc->length(), doc->length());
        nothing->insertAfter(QString()); // inserting nothing moves nothing
        before->insertPageBreak(); // at the range's end; the range then covers the break
        QCOMPARE(Shown(*doc), QStringLiteral("ab^cXYdefgh|"));
        QCOMPARE((QList{Span(*before), Span(*endsAt), Span(*emptyAt), Span(*after), Span(around), Span(*all), Span(*past), Span(*nothing)}),
                 (QList<std::pair<int, int>>{{2, 3}, {1, 4}, {6, 6}, {7, 9}, {1, 8}, {0, 12}, {10, 11}, {12, 12}}));
        QCOMPARE(doc->selection(), (Selection{6, 7}));

        // A start past the end moves the end, an end before the start the start.
        endsAt->setStart(doc->length());
        QCOMPARE(Span(*endsAt), std::make_pair(12, 12));
        endsAt->setEnd(2);
        QCOMPARE(Span(*endsAt), std::make_pair(2, 2));
        // (Positions outside the document: the backend tests check their error.)
        QVERIFY_THROWS_EXCEPTION(RuntimeError, doc->range(3, 2));
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

    // Text at the start of a paragraph takes the attributes of the character
    // after it (the mark of an empty paragraph); elsewhere those before it,
    // after a page break those of the break.
    void insertedTextInheritsAttributes()
    {
        auto [doc, r] = DocWith(QStringLiteral("Head\r"));
        r->setFontSize(20);
        r->collapse(true);
        r->insertAfter(QStringLiteral("body")); // from the final mark, which no setting covered
        r->setBold(true);
        doc->range(2, 2)->insertAfter(QStringLiteral("x"));
        doc->range(0, 0)->insertAfter(QStringLiteral("y"));
        auto end = doc->range(doc->length() - 1, doc->length() - 1);
        end->setFontSize(12); // empty: changes nothing
        end->insertPageBreak();
        end->collapse(true);
        end->insertAfter(QStringLiteral("z"));
        QCOMPARE(Shown(*doc), QStringLiteral("yHexad|body^z|"));
        QString runs; // half-points (b: bold) × characters
        for (const CharRun& run : doc->charRuns(0, doc->length()))
            runs += QString::number(run.format->halfPoints) + (run.format->bold ? QStringLiteral("b×") : QStringLiteral("×")) + QString::number(run.end - run.start) + u' ';
        QCOMPARE(runs, QStringLiteral("40×7 21b×6 21×1 "));
    }

    // A line-counting rule brings its own height; a height given to one
    // makes it a multiple.
    void lineSpacingRules()
    {
        auto [doc, r] = DocWith(QStringLiteral("one"));
        r->setLineSpacingRule(LineSpacingRule::Exactly);
        r->setLineSpacing(26);
        r->setLineSpacingRule(LineSpacingRule::Single);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 240);
        r->setLineSpacing(18);
        QCOMPARE(doc->paraFormat(0).lineSpacingRule, LineSpacingRule::Multiple);
        QCOMPARE(doc->paraFormat(0).lineSpacingTwips, 360);
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

    // A border goes to the text when the range holds no paragraph mark, else
    // to its paragraphs (an empty range: its paragraph). Width or colour
    // alone turn a single line on, a style keeps the width; style none
    // removes the border.
    void bordersGoToTextOrParagraphs()
    {
        auto doc = DocWith(QStringLiteral("宏观动向\rnext")).first;
        auto head = doc->range(0, 4), next = doc->range(5, 9);
        head->setBorderWidth(12);
        head->setBorderStyle(7);
        head->setBorderColorIndex(12);
        doc->range(0, 5)->setBorderStyle(1);
        doc->range(7, 7)->setBorderColorIndex(6);
        next->setBorderWidth(8);
        QCOMPARE((QList{doc->charFormatAt(0).border, doc->paraFormat(0).border, doc->paraFormat(1).border, doc->charFormatAt(5).border}),
                 (QList<Border>{{7, 12, 12}, {1, 4, 0}, {1, 4, 6}, {1, 8, 0}}));
        next->setBorderStyle(0);
        QVERIFY(!doc->charFormatAt(5).border.visible());
    }

    // Settings over a growing range, as the contents page makes them, keep
    // the runs merged: the cost of a call does not grow with what it covers.
    // A face named in East-Asian characters sets both fonts, a Latin one the
    // Latin font only.
    void runsStayMergedOverGrowingRanges()
    {
        auto [doc, r] = DocWith(QString());
        for (int i = 0; i < 2000; ++i) {
            r->insertAfter(QStringLiteral("    标题") + QString::number(i));
            r->setFontName(QStringLiteral("楷体_GB2312"));
            r->setAlignment(Alignment::Left);
            r->insertAfter(QStringLiteral("--\r"));
            r->setFontName(QStringLiteral("Times New Roman"));
            r->setFontSize(14);
            r->setLineSpacingRule(LineSpacingRule::Exactly);
            r->setLineSpacing(18);
        }
        QCOMPARE(doc->charRunCount(), 2); // the entries, the untouched final mark
        QCOMPARE(doc->paraRunCount(), 2);
        QCOMPARE(doc->charFormatAt(5), (CharFormat{QStringLiteral("Times New Roman"), QStringLiteral("楷体_GB2312"), 28, false, 0, 0, {}}));
        r->setFontName(QStringLiteral("SimSun")); // an East-Asian face with a Latin name
        QCOMPARE(doc->charFormatAt(5).eastAsianFont, QStringLiteral("SimSun"));
    }

    // The run map against a plain array, under random edits.
    void runMapMatchesAPlainArray()
    {
        QRandomGenerator rng(7);
        RunMap map;
        map.reset(5, 0);
        map.transform(5, 5, [](int v) { return v + 1; }); // an empty stretch at the end makes no run
        QList<int> plain(5, 0);
        for (int step = 0; step < 3000; ++step) {
            const int n = static_cast<int>(plain.size()), count = rng.bounded(4), value = rng.bounded(3);
            const auto [from, to] = std::minmax({rng.bounded(n + 1), rng.bounded(n + 1)});
            if (rng.bounded(2) == 0) {
                map.insert(from, count, value);
                plain.insert(from, count, value);
            } else {
                map.transform(from, to, [&](int v) { return (v + value) % 3; });
                for (int i = from; i < to; ++i)
                    plain[i] = (plain[i] + value) % 3;
            }
            // The runs follow each other, none empty, none equal to the one before.
            QList<int> expanded;
            for (int i = 0; i < map.runCount(); ++i) {
                const RunMap::Run run = map.run(i);
                QVERIFY(run.start == expanded.size() && run.start < run.end && (i == 0 || map.run(i - 1).value != run.value));
                expanded.insert(expanded.size(), run.end - run.start, run.value);
            }
            QCOMPARE(expanded, plain);
        }
    }
};

QTEST_GUILESS_MAIN(TestEngineDocument)
#include "test_engine_document.moc"
