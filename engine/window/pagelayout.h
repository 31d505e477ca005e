#pragma once
// The page layout of an engine document: paragraphs broken into lines and
// lines stacked onto A4 pages, as a word processor sets them. Shared by the
// document window and the PDF export; it needs QtGui only, no widgets.
//
// Coordinates are points on the page, the origin at its top-left corner.
// Layout is incremental: each paragraph keeps its lines while its text and
// attributes are unchanged, and pages are re-stacked only from the first
// paragraph that changed, so a document that grows at the end costs only
// its new paragraphs.

#include "engine/document.h"

#include <QColor>
#include <QGlyphRun>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QVector>
#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

namespace brevix::docwindow {

class GlyphCache;

// One line on a page.
struct LineBox {
    int paragraph = 0;
    int line = 0;  // index of the line in its paragraph
    int start = 0; // document positions [start, end): text, trailing spaces and break characters
    int end = 0;
    QRectF rect;   // the line's content (without trailing spaces) × its height
    qreal baseline = 0;
    bool pageBreak = false; // ends with a page break character
};

// A stretch of a line set in one face and one set of character attributes.
struct Fragment {
    int start = 0; // document positions [start, end)
    int end = 0;
    QString text;
    QString family;      // the face name as the document gives it
    bool eastAsian = false; // set with the run's East-Asian font
    qreal size = 0;      // points
    bool bold = false;
    QColor color;
    int underline = 0;
    engine::Border border;
    qreal x = 0;         // left edge and width on the page
    qreal width = 0;
    qreal baseline = 0;
    qreal ascent = 0;    // of the face
    qreal descent = 0;
    QList<QGlyphRun> glyphs; // positioned on the page (several when fallback faces are used)
    QList<int> glyphFaces;   // per glyph run: 0 the face itself, 1... a fallback face
};

class PageLayout {
public:
    explicit PageLayout(const engine::Document& document);
    ~PageLayout();
    PageLayout(const PageLayout&) = delete;
    PageLayout& operator=(const PageLayout&) = delete;

    // Brings the layout up to the document's current state. Paragraphs
    // before firstParagraph are known unchanged; from it on each paragraph
    // is checked and laid out again only if its content changed.
    void update(int firstParagraph = 0);
    // The document revision the layout reflects.
    std::uint64_t revision() const { return revision_; }

    int pageCount() const { return static_cast<int>(pages_.size()); }
    QSizeF pageSize() const;
    QRectF textArea() const; // the page inside the margins

    QVector<LineBox> lines(int page) const;
    QVector<Fragment> fragments(const LineBox& line) const;
    int pageOfPosition(int position) const;
    // The page number text in the footer of a page, empty when numbers are off.
    QString pageNumberText(int page) const;

    // Paints one page (white paper, text, borders, footer) with the
    // painter's coordinates in points and the page's top-left at the origin.
    void paintPage(QPainter& painter, int page) const;

    // Counters for tests: paragraphs laid out, and pages re-stacked.
    std::uint64_t paragraphsLaidOut() const { return paragraphsLaidOut_; }

private:
    struct Line {
        int start = 0; // paragraph-relative [start, end)
        int end = 0;
        int contentEnd = 0; // without trailing spaces and break characters
        float x = 0;        // content start, relative to the text column
        float width = 0;    // content width as shown
        float gap = 0;      // justification added at each expandable gap
        float ascent = 0;   // baseline below the line's top
        float height = 0;
        float y = 0;        // top on its page, relative to the text area
        int page = 0;
        bool pageBreak = false;
    };
    struct Para {
        std::size_t hash = 0;
        std::vector<Line> lines;
        int startPage = 0;
        float startY = 0;
    };
    struct PageStart {
        int paragraph;
        int line;
    };
    struct CharInfo; // per character of the paragraph being laid out

    std::size_t hashParagraph(const engine::ParagraphInfo& info) const;
    void layoutParagraph(const engine::ParagraphInfo& info, Para& para);
    // Measures the paragraph's characters [from, to) (paragraph-relative;
    // the mark is at markPosition - start) into chars_[from, to).
    void measure(const engine::ParagraphInfo& info, int from, int to) const;
    void paginateFrom(int paragraph);
    LineBox box(int paragraph, int line) const;

    const engine::Document& doc_;
    std::unique_ptr<GlyphCache> glyphs_;
    mutable std::vector<CharInfo> chars_;
    engine::PageSetup setup_;
    std::vector<Para> paras_;
    std::vector<PageStart> pages_;
    std::uint64_t revision_ = 0;
    bool laidOut_ = false;
    std::uint64_t paragraphsLaidOut_ = 0;
};

} // namespace brevix::docwindow
