#pragma once
// One document of the built-in word processor: text with paragraph marks
// (U+000D), character attributes as runs over character positions and
// paragraph attributes as runs over paragraphs. A new document holds one
// empty paragraph whose mark is never passed: inserting at or after it puts
// the text before it.
//
// Positions are character offsets (UTF-16 units) like Range.Start/End; the
// document's length counts the final mark. Every change bumps revision(), so
// a view can skip repainting when nothing changed.
//
// Edits are cheap at the end of the document (where a generator appends):
// appending text is amortised O(1), a setting costs O(log n) plus the runs it
// changes. Editing in the middle also works; it moves the text and the runs
// after the edit point.

#include "engine/format.h"
#include "engine/runmap.h"

#include <QString>
#include <QStringView>
#include <QVector>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

namespace brevix::engine {

class Application;
class Document;

// A stretch of the document that follows edits like a word processor's range:
// text inserted before it moves it, text inserted inside it widens it.
// Setters throw brevix::RuntimeError for values the word processor refuses.
class Range {
public:
    Range(std::shared_ptr<Document> document, int start, int end);
    Range(const Range& other);
    Range& operator=(const Range& other);
    ~Range();

    Document& document() const { return *doc_; }
    int start() const { return start_; }
    int end() const { return end_; }
    bool isEmpty() const { return start_ == end_; }

    void setStart(int position); // past end: end follows
    void setEnd(int position);   // before start: start follows
    void collapse(bool toEnd);

    // Inserts after the range's end and widens the range over the new text.
    // CR LF and lone LF become one paragraph mark.
    void insertAfter(QStringView text);
    void insertPageBreak(); // at the range's end; the range covers the break
    void select();

    // Character settings on every character of the range (nothing when empty).
    void setFontName(const QString& name);
    void setLatinFontName(const QString& name); // the font dialog's Latin-font field
    void setFontSize(float points);
    void setBold(bool bold);
    void setColorIndex(int index);
    void setUnderline(int underline);

    // Paragraph settings on every paragraph the range overlaps.
    void setAlignment(Alignment alignment);
    void setLineSpacingRule(LineSpacingRule rule);
    void setLineSpacing(float points);
    void setFirstLineIndent(float points);
    void setLeftIndent(float points);

    // Outside border: of the characters when the range holds no paragraph
    // mark, of its paragraphs otherwise (an empty range: its paragraph).
    void setBorderStyle(int style);
    void setBorderWidth(int width);
    void setBorderColorIndex(int index);

private:
    friend class Document;
    std::shared_ptr<Document> doc_;
    int start_ = 0;
    int end_ = 0;
};

struct Selection {
    int start = 0;
    int end = 0;
    friend bool operator==(const Selection&, const Selection&) = default;
};

// A run of equal character attributes, [start, end).
struct CharRun {
    int start = 0;
    int end = 0;
    const CharFormat* format = nullptr;
};

// A paragraph: its text is [start, markPosition), the mark at markPosition.
struct ParagraphInfo {
    int index = 0;
    int start = 0;
    int markPosition = 0;
    const ParaFormat* format = nullptr;
    int end() const { return markPosition + 1; } // just after the mark
};

class Document : public std::enable_shared_from_this<Document> {
public:
    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // ---- reading ----
    int length() const { return static_cast<int>(text_.size()); }
    const QString& text() const { return text_; }
    QString text(int start, int end) const;

    int paragraphCount() const { return static_cast<int>(marks_.size()); }
    ParagraphInfo paragraph(int index) const;
    int paragraphIndexAt(int position) const; // the paragraph holding position (the last for length())

    const CharFormat& charFormatAt(int position) const;
    const ParaFormat& paraFormat(int paragraphIndex) const;
    // Runs of equal character attributes covering [start, end), clipped to it.
    QVector<CharRun> charRuns(int start, int end) const;
    // The same without allocating: f(CharRun) for each run, in order.
    template <class F> void forEachCharRun(int start, int end, F&& f) const;

    Selection selection() const { return selection_; }
    const PageSetup& pageSetup() const { return pageSetup_; }
    const PageNumbers& pageNumbers() const { return pageNumbers_; }

    // Bumped by every change to the text, the attributes, the selection or the page numbers.
    std::uint64_t revision() const { return revision_; }
    // Changed since created or last saved.
    bool isModified() const { return modified_; }
    void setSaved() { modified_ = false; }

    // Title the window shows ("文档1" …); set by the application.
    const QString& name() const { return name_; }
    void setName(const QString& name) { name_ = name; }

    Application* application() const { return app_; }
    bool isClosed() const { return closed_; }

    // ---- editing ----
    std::shared_ptr<Range> range(int start, int end); // throws 下标越界 outside [0, length()]
    std::shared_ptr<Range> content() { return range(0, length()); }
    void select(int start, int end);
    void selectAll() { select(0, length()); }
    void setPageNumbers(const PageNumbers& numbers);

    // Runs of the formats in use; for tests and diagnostics.
    int charRunCount() const { return charRuns_.runCount(); }
    int paraRunCount() const { return paraRuns_.runCount(); }

private:
    friend class Range;
    friend class Application;

    void checkOpen() const;
    void checkPosition(int position) const;
    // Inserts text at position (at most before the final mark); returns the
    // position and count of what was inserted after CR LF folding.
    std::pair<int, int> insertText(int position, QStringView text, const Range* inserter);
    void shiftAnchors(int position, int count, const Range* inserter);
    void touch();

    template <class Change> void changeChars(int start, int end, Change&& change);
    template <class Change> void changeParas(int start, int end, Change&& change);
    // Characters when the range holds text but no paragraph mark; paragraphs otherwise.
    template <class Change> void changeBorder(int start, int end, Change&& change);
    bool holdsParagraphMark(int start, int end) const;

    int internChar(const CharFormat& f);
    int internPara(const ParaFormat& f);

    QString text_;
    std::vector<int> marks_; // positions of the paragraph marks, ascending; last = final mark
    RunMap charRuns_;        // over characters: index into charFormats_
    RunMap paraRuns_;        // over paragraphs: index into paraFormats_

    struct CharHash { std::size_t operator()(const CharFormat& f) const { return HashOf(f); } };
    struct ParaHash { std::size_t operator()(const ParaFormat& f) const { return HashOf(f); } };
    std::vector<std::unique_ptr<CharFormat>> charFormats_;
    std::unordered_map<CharFormat, int, CharHash> charIndex_;
    std::vector<std::unique_ptr<ParaFormat>> paraFormats_;
    std::unordered_map<ParaFormat, int, ParaHash> paraIndex_;

    std::vector<Range*> anchors_; // live ranges, moved by edits
    Selection selection_;
    PageSetup pageSetup_;
    PageNumbers pageNumbers_;
    std::uint64_t revision_ = 0;
    bool modified_ = false;
    bool closed_ = false;
    QString name_;
    Application* app_ = nullptr;
};

template <class F> void Document::forEachCharRun(int start, int end, F&& f) const
{
    if (start >= end)
        return;
    for (int i = charRuns_.runIndexAt(start), n = charRuns_.runCount(); i < n; ++i) {
        const RunMap::Run r = charRuns_.run(i);
        if (r.start >= end)
            break;
        f(CharRun{std::max(r.start, start), std::min(r.end, end), charFormats_[static_cast<std::size_t>(r.value)].get()});
    }
}

} // namespace brevix::engine
