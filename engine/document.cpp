#include "engine/document.h"

#include "engine/application.h"
#include "engine/failures.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace brevix::engine {

namespace {

// Remembers old → new format ids within one setting, so each distinct
// format is rebuilt once however many runs carry it.
template <class Make> class Memo {
public:
    explicit Memo(Make make) : make_(std::move(make)) {}
    int operator()(int old)
    {
        for (const auto& [from, to] : seen_)
            if (from == old)
                return to;
        const int id = make_(old);
        seen_.emplace_back(old, id);
        return id;
    }

private:
    Make make_;
    std::vector<std::pair<int, int>> seen_;
};

bool InRange(float value, float low, float high) { return std::isfinite(value) && value >= low && value <= high; }

constexpr float MaxMeasure = 1584.0f; // 22 inches, the largest length the word processor accepts

void CheckBorderStyle(int style)
{
    if (style < 0 || style > 8)
        throw ValueOutOfRange();
}

void CheckBorderWidth(int width)
{
    static constexpr int widths[] = {2, 4, 6, 8, 12, 18, 24, 36, 48};
    if (std::find(std::begin(widths), std::end(widths), width) == std::end(widths))
        throw ValueOutOfRange();
}

constexpr int DefaultBorderWidth = 4; // 0.5 pt

// Setting width or colour on an edge without a line turns a single line on.
void ShowBorder(Border& b)
{
    if (!b.visible()) {
        b.style = 1;
        if (b.width == 0)
            b.width = DefaultBorderWidth;
    }
}

} // namespace

// ---------------------------------------------------------------- Range

Range::Range(std::shared_ptr<Document> document, int start, int end)
    : doc_(std::move(document)), start_(start), end_(end)
{
    doc_->anchors_.push_back(this);
}

Range::Range(const Range& other) : doc_(other.doc_), start_(other.start_), end_(other.end_)
{
    doc_->anchors_.push_back(this);
}

Range& Range::operator=(const Range& other)
{
    if (this != &other) {
        if (doc_ != other.doc_) {
            std::erase(doc_->anchors_, this);
            doc_ = other.doc_;
            doc_->anchors_.push_back(this);
        }
        start_ = other.start_;
        end_ = other.end_;
    }
    return *this;
}

Range::~Range()
{
    auto& a = doc_->anchors_;
    auto it = std::find(a.rbegin(), a.rend(), this);
    if (it != a.rend())
        a.erase(std::next(it).base());
}

void Range::setStart(int position)
{
    doc_->checkOpen();
    doc_->checkPosition(position);
    start_ = position;
    end_ = std::max(end_, position);
}

void Range::setEnd(int position)
{
    doc_->checkOpen();
    doc_->checkPosition(position);
    end_ = position;
    start_ = std::min(start_, position);
}

void Range::collapse(bool toEnd)
{
    doc_->checkOpen();
    if (toEnd)
        start_ = end_;
    else
        end_ = start_;
}

void Range::insertAfter(QStringView text)
{
    const auto [at, count] = doc_->insertText(end_, text, this);
    if (count == 0)
        return;
    if (start_ > at) { // the range lay after the final mark
        start_ = at;
        end_ = at + count;
    } else {
        end_ = std::max(end_, at) + count; // a range over the final mark keeps covering it
    }
}

void Range::insertPageBreak()
{
    const char16_t brk = PageBreak;
    const auto [at, count] = doc_->insertText(end_, QStringView(&brk, 1), this);
    start_ = at;
    end_ = at + count;
}

void Range::select()
{
    doc_->select(start_, end_);
}

void Range::setFontName(const QString& name)
{
    if (name.trimmed().isEmpty())
        throw ValueOutOfRange();
    const bool eastAsian = IsEastAsianFontName(name);
    doc_->changeChars(start_, end_, [&](CharFormat& f) {
        f.latinFont = name;
        if (eastAsian)
            f.eastAsianFont = name;
    });
}

void Range::setLatinFontName(const QString& name)
{
    if (name.trimmed().isEmpty())
        throw ValueOutOfRange();
    doc_->changeChars(start_, end_, [&](CharFormat& f) { f.latinFont = name; });
}

void Range::setFontSize(float points)
{
    if (!InRange(points, 1.0f, 1638.0f))
        throw ValueOutOfRange();
    const int halfPoints = static_cast<int>(std::lround(points * 2.0f));
    doc_->changeChars(start_, end_, [&](CharFormat& f) { f.halfPoints = halfPoints; });
}

void Range::setBold(bool bold)
{
    doc_->changeChars(start_, end_, [&](CharFormat& f) { f.bold = bold; });
}

void Range::setColorIndex(int index)
{
    if (!IsValidColorIndex(index))
        throw ValueOutOfRange();
    doc_->changeChars(start_, end_, [&](CharFormat& f) { f.colorIndex = index; });
}

void Range::setUnderline(int underline)
{
    if (underline != 0 && underline != 1 && underline != 2 && underline != 3 && underline != 4 && underline != 6)
        throw ValueOutOfRange();
    doc_->changeChars(start_, end_, [&](CharFormat& f) { f.underline = underline; });
}

void Range::setAlignment(Alignment alignment)
{
    if (static_cast<int>(alignment) < 0 || static_cast<int>(alignment) > 3)
        throw ValueOutOfRange();
    doc_->changeParas(start_, end_, [&](ParaFormat& f) { f.alignment = alignment; });
}

void Range::setLineSpacingRule(LineSpacingRule rule)
{
    const int r = static_cast<int>(rule);
    if (r < 0 || r > 5)
        throw ValueOutOfRange();
    doc_->changeParas(start_, end_, [&](ParaFormat& f) {
        f.lineSpacingRule = rule;
        switch (rule) {
        case LineSpacingRule::Single: f.lineSpacingTwips = 240; break;
        case LineSpacingRule::OnePointFive: f.lineSpacingTwips = 360; break;
        case LineSpacingRule::Double: f.lineSpacingTwips = 480; break;
        default: break; // the rest keep the height they had
        }
    });
}

void Range::setLineSpacing(float points)
{
    if (!InRange(points, 0.25f, MaxMeasure))
        throw ValueOutOfRange();
    const int twips = PointsToTwips(points);
    doc_->changeParas(start_, end_, [&](ParaFormat& f) {
        f.lineSpacingTwips = twips;
        // A height given to a line-counting rule makes it a multiple.
        if (f.lineSpacingRule == LineSpacingRule::Single || f.lineSpacingRule == LineSpacingRule::OnePointFive
            || f.lineSpacingRule == LineSpacingRule::Double)
            f.lineSpacingRule = LineSpacingRule::Multiple;
    });
}

void Range::setFirstLineIndent(float points)
{
    if (!InRange(points, -MaxMeasure, MaxMeasure))
        throw ValueOutOfRange();
    const int twips = PointsToTwips(points);
    doc_->changeParas(start_, end_, [&](ParaFormat& f) { f.firstLineIndentTwips = twips; });
}

void Range::setLeftIndent(float points)
{
    if (!InRange(points, -MaxMeasure, MaxMeasure))
        throw ValueOutOfRange();
    const int twips = PointsToTwips(points);
    doc_->changeParas(start_, end_, [&](ParaFormat& f) { f.leftIndentTwips = twips; });
}

void Range::setBorderStyle(int style)
{
    CheckBorderStyle(style);
    doc_->changeBorder(start_, end_, [&](Border& b) {
        if (style == 0) {
            b = Border{};
        } else {
            b.style = style;
            if (b.width == 0)
                b.width = DefaultBorderWidth;
        }
    });
}

void Range::setBorderWidth(int width)
{
    CheckBorderWidth(width);
    doc_->changeBorder(start_, end_, [&](Border& b) {
        ShowBorder(b);
        b.width = width;
    });
}

void Range::setBorderColorIndex(int index)
{
    if (!IsValidColorIndex(index))
        throw ValueOutOfRange();
    doc_->changeBorder(start_, end_, [&](Border& b) {
        ShowBorder(b);
        b.colorIndex = index;
    });
}

// ---------------------------------------------------------------- Document

Document::Document()
{
    text_ = QString(QChar(ParagraphMark));
    marks_ = {0};
    charRuns_.reset(1, internChar(CharFormat{}));
    paraRuns_.reset(1, internPara(ParaFormat{}));
}

Document::~Document() = default;

QString Document::text(int start, int end) const
{
    start = std::clamp(start, 0, length());
    end = std::clamp(end, start, length());
    return text_.mid(start, end - start);
}

ParagraphInfo Document::paragraph(int index) const
{
    const auto i = static_cast<std::size_t>(index);
    return ParagraphInfo{index, i == 0 ? 0 : marks_[i - 1] + 1, marks_[i],
                         paraFormats_[static_cast<std::size_t>(paraRuns_.valueAt(index))].get()};
}

int Document::paragraphIndexAt(int position) const
{
    auto it = std::lower_bound(marks_.begin(), marks_.end(), position);
    if (it == marks_.end())
        --it;
    return static_cast<int>(it - marks_.begin());
}

const CharFormat& Document::charFormatAt(int position) const
{
    position = std::clamp(position, 0, length() - 1);
    return *charFormats_[static_cast<std::size_t>(charRuns_.valueAt(position))];
}

const ParaFormat& Document::paraFormat(int paragraphIndex) const
{
    return *paraFormats_[static_cast<std::size_t>(paraRuns_.valueAt(paragraphIndex))];
}

QVector<CharRun> Document::charRuns(int start, int end) const
{
    QVector<CharRun> runs;
    forEachCharRun(start, end, [&](const CharRun& r) { runs.push_back(r); });
    return runs;
}

std::shared_ptr<Range> Document::range(int start, int end)
{
    checkOpen();
    if (start < 0 || end < start || end > length())
        throw RuntimeError::SubscriptOutOfRange();
    return std::make_shared<Range>(shared_from_this(), start, end);
}

void Document::select(int start, int end)
{
    checkOpen();
    if (start < 0 || end < start || end > length())
        throw RuntimeError::SubscriptOutOfRange();
    selection_ = {start, end};
    ++revision_;
    if (app_)
        app_->notifySelection(*this);
}

void Document::setPageNumbers(const PageNumbers& numbers)
{
    checkOpen();
    if (numbers == pageNumbers_)
        return;
    pageNumbers_ = numbers;
    touch();
}

void Document::checkOpen() const
{
    if (closed_)
        throw ObjectDeleted();
}

void Document::checkPosition(int position) const
{
    if (position < 0 || position > length())
        throw RuntimeError::SubscriptOutOfRange();
}

void Document::touch()
{
    ++revision_;
    modified_ = true;
}

std::pair<int, int> Document::insertText(int position, QStringView text, const Range* inserter)
{
    checkOpen();
    checkPosition(position);
    const int at = std::min(position, length() - 1); // never past the final mark

    // CR LF and lone LF become one paragraph mark.
    QString folded;
    QStringView insert = text;
    if (text.contains(u'\n')) {
        folded.resize(text.size());
        QChar* out = folded.data();
        const QChar* in = text.data();
        for (qsizetype i = 0, n = text.size(); i < n; ++i) {
            if (in[i] != u'\n')
                *out++ = in[i];
            else if (i == 0 || in[i - 1] != u'\r')
                *out++ = QChar(ParagraphMark);
        }
        folded.truncate(out - folded.constData());
        insert = folded;
    }
    const int count = static_cast<int>(insert.size());
    if (count == 0)
        return {at, 0};
    if (static_cast<qint64>(length()) + count > std::numeric_limits<int>::max() / 2)
        throw RuntimeError::Overflow();

    // Inserted text takes the attributes of the character before it, or at
    // the start of a paragraph those of the character after it.
    const bool paragraphStart = at == 0 || text_[at - 1] == QChar(ParagraphMark);
    const int inherited = charRuns_.valueAt(paragraphStart ? at : at - 1);

    const int para = paragraphIndexAt(at);
    std::vector<int> newMarks;
    for (int i = 0; i < count; ++i)
        if (insert[i] == QChar(ParagraphMark))
            newMarks.push_back(at + i);

    text_.insert(at, insert);
    for (auto k = static_cast<std::size_t>(para); k < marks_.size(); ++k)
        marks_[k] += count;
    if (!newMarks.empty()) {
        marks_.insert(marks_.begin() + para, newMarks.begin(), newMarks.end());
        // Every part of a split paragraph keeps its attributes.
        paraRuns_.insert(para + 1, static_cast<int>(newMarks.size()), paraRuns_.valueAt(para));
    }
    charRuns_.insert(at, count, inherited);
    shiftAnchors(at, count, inserter);
    touch();
    return {at, count};
}

void Document::shiftAnchors(int position, int count, const Range* inserter)
{
    auto shift = [&](int& start, int& end) {
        const bool startMoves = start >= position;
        if (end > position || (end == position && startMoves))
            end += count;
        if (startMoves)
            start += count;
    };
    for (Range* r : anchors_)
        if (r != inserter)
            shift(r->start_, r->end_);
    shift(selection_.start, selection_.end);
}

template <class Change> void Document::changeChars(int start, int end, Change&& change)
{
    checkOpen();
    if (start >= end)
        return; // an empty range changes no character
    Memo memo([&](int old) {
        CharFormat f = *charFormats_[static_cast<std::size_t>(old)];
        change(f);
        return internChar(f);
    });
    if (charRuns_.transform(start, end, memo))
        touch();
}

template <class Change> void Document::changeParas(int start, int end, Change&& change)
{
    checkOpen();
    const int first = paragraphIndexAt(start);
    // A range ending just after a mark does not reach the next paragraph.
    const int last = end > start ? paragraphIndexAt(end - 1) : first;
    Memo memo([&](int old) {
        ParaFormat f = *paraFormats_[static_cast<std::size_t>(old)];
        change(f);
        return internPara(f);
    });
    if (paraRuns_.transform(first, last + 1, memo))
        touch();
}

template <class Change> void Document::changeBorder(int start, int end, Change&& change)
{
    if (start < end && !holdsParagraphMark(start, end))
        changeChars(start, end, [&](CharFormat& f) { change(f.border); });
    else
        changeParas(start, end, [&](ParaFormat& f) { change(f.border); });
}

bool Document::holdsParagraphMark(int start, int end) const
{
    auto it = std::lower_bound(marks_.begin(), marks_.end(), start);
    return it != marks_.end() && *it < end;
}

int Document::internChar(const CharFormat& f)
{
    auto it = charIndex_.find(f);
    if (it != charIndex_.end())
        return it->second;
    const int id = static_cast<int>(charFormats_.size());
    charFormats_.push_back(std::make_unique<CharFormat>(f));
    charIndex_.emplace(f, id);
    return id;
}

int Document::internPara(const ParaFormat& f)
{
    auto it = paraIndex_.find(f);
    if (it != paraIndex_.end())
        return it->second;
    const int id = static_cast<int>(paraFormats_.size());
    paraFormats_.push_back(std::make_unique<ParaFormat>(f));
    paraIndex_.emplace(f, id);
    return id;
}

} // namespace brevix::engine
