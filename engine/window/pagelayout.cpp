#include "engine/window/pagelayout.h"

#include "engine/format.h"
#include "engine/window/glyphcache.h"

#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <bitset>
#include <cmath>
#include <string_view>

namespace brevix::docwindow {

namespace {

using engine::Alignment;
using engine::LineSpacingRule;

inline qreal Pt(int twips) { return twips / 20.0; }

enum CharFlag : quint8 {
    Space = 1,       // U+0020 or a tab: may hang past the line end, expands when justified
    BreakAfter = 2,  // a line may end after this character
    Control = 4,     // drawn as nothing (marks, breaks, other controls)
    Trail = 8,       // the second unit of a surrogate pair
    Hangs = 64,      // full stop or comma: may hang past the right margin
    PageBreakChar = 16,
    LineBreakChar = 32,
};

// Chinese line-breaking rules: characters that may not start a line, and
// characters that may not end one.
struct Kinsoku {
    std::bitset<65536> noStart;
    std::bitset<65536> noEnd;
    Kinsoku()
    {
        for (char16_t c : std::u16string_view(u"!%),.:;?]}¢°·†‡›℃∶、。〃〆〕〗〞﹚﹜！＂％＇），．：；？！］｝～"
                                               u"〉》」』】〙〛‐–—―…‥’”‰′″ー゛゜ヽヾゝゞ々ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ"
                                               u"﹐﹑﹒﹔﹕﹖﹗・｡｣､･ｰ"))
            noStart.set(c);
        for (char16_t c : std::u16string_view(u"$(£¥·〈《「『【〔〖〝﹙﹛＄（［｛￡￥〘〚‘“｢"))
            noEnd.set(c);
    }
};

const Kinsoku& Rules()
{
    static const Kinsoku rules;
    return rules;
}

// Ideographs, kana and hangul: letters of Asian text, between which and
// Latin letters or digits a word processor adds a little space.
bool IsAsianLetter(char32_t c)
{
    return (c >= 0x3040 && c <= 0x30FF) || (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF)
        || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x20000 && c <= 0x3FFFF);
}

bool IsLatinLetterOrDigit(char32_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z')
        || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

QColor ColorOf(int colorIndex)
{
    const int rgb = engine::PaletteRgb(colorIndex);
    return rgb < 0 ? QColor(Qt::black) : QColor::fromRgb(static_cast<QRgb>(rgb));
}

} // namespace

struct PageLayout::CharInfo {
    float advance = 0;
    Face* face = nullptr;
    const engine::CharFormat* format = nullptr;
    quint8 flags = 0;
};

PageLayout::PageLayout(const engine::Document& document)
    : doc_(document), glyphs_(std::make_unique<GlyphCache>())
{
}

PageLayout::~PageLayout() = default;

QSizeF PageLayout::pageSize() const
{
    return {Pt(setup_.widthTwips), Pt(setup_.heightTwips)};
}

QRectF PageLayout::textArea() const
{
    return QRectF(Pt(setup_.leftTwips), Pt(setup_.topTwips),
                  Pt(setup_.widthTwips - setup_.leftTwips - setup_.rightTwips),
                  Pt(setup_.heightTwips - setup_.topTwips - setup_.bottomTwips));
}

std::size_t PageLayout::hashParagraph(const engine::ParagraphInfo& info) const
{
    const QStringView text = QStringView(doc_.text()).mid(info.start, info.end() - info.start);
    std::size_t h = qHash(text, 0x9e3779b9u);
    h = qHashMulti(h, reinterpret_cast<quintptr>(info.format));
    // Formats are interned by the document: equal formats share one address.
    doc_.forEachCharRun(info.start, info.end(), [&](const engine::CharRun& r) {
        h = qHashMulti(h, r.start - info.start, reinterpret_cast<quintptr>(r.format));
    });
    return h;
}

void PageLayout::measure(const engine::ParagraphInfo& info, int from, int to) const
{
    const Kinsoku& rules = Rules();
    const QString& text = doc_.text();
    const int textLength = info.markPosition - info.start; // the mark is at textLength
    if (static_cast<int>(chars_.size()) < to)
        chars_.resize(static_cast<std::size_t>(to));

    doc_.forEachCharRun(info.start + from, info.start + to, [&](const engine::CharRun& r) {
        const engine::CharFormat& f = *r.format;
        Face& latin = glyphs_->face(f.latinFont, f.halfPoints, f.bold, false);
        Face& eastAsian = glyphs_->face(f.eastAsianFont, f.halfPoints, f.bold, true);
        for (int pos = r.start; pos < r.end; ++pos) {
            CharInfo& c = chars_[static_cast<std::size_t>(pos - info.start)];
            c.format = &f;
            c.flags = 0;
            c.advance = 0;
            const char16_t u = text[pos].unicode();
            if (QChar::isLowSurrogate(u) && pos > info.start && QChar::isHighSurrogate(text[pos - 1].unicode())) {
                c.flags = Trail;
                c.face = chars_[static_cast<std::size_t>(pos - 1 - info.start)].face;
                continue;
            }
            char32_t ucs = u;
            if (QChar::isHighSurrogate(u) && pos + 1 < info.markPosition && QChar::isLowSurrogate(text[pos + 1].unicode()))
                ucs = QChar::surrogateToUcs4(u, text[pos + 1].unicode());
            Face& face = engine::IsEastAsianChar(ucs) ? eastAsian : latin;
            c.face = &face;
            if (u == u' ' || u == u'\t') {
                c.flags = Space;
                c.advance = u == u' ' ? face.glyph(ucs).advance : static_cast<float>(face.size() * 2);
            } else if (u < 0x20) {
                c.flags = Control;
                if (u == engine::PageBreak)
                    c.flags |= PageBreakChar;
                else if (u == engine::LineBreak)
                    c.flags |= LineBreakChar;
            } else {
                c.advance = face.glyph(ucs).advance;
                if (u == u'，' || u == u'。' || u == u'、' || u == u'．' || u == u',' || u == u'.')
                    c.flags = Hangs;
            }
        }
    });

    // Break opportunities and the space between Asian and Latin text, from
    // each character and the one after it.
    for (int i = from; i < to && i < textLength; ++i) {
        CharInfo& c = chars_[static_cast<std::size_t>(i)];
        if (c.flags & (Control | Trail))
            continue;
        int next = i + 1;
        if (next < textLength && QChar::isLowSurrogate(text[info.start + next].unicode()) && QChar::isHighSurrogate(text[info.start + i].unicode()))
            ++next;
        if (next >= textLength)
            continue;
        const char16_t a = text[info.start + i].unicode();
        const char16_t b = text[info.start + next].unicode();
        {
            const char32_t ua = QChar::isHighSurrogate(a) && next > i + 1 ? QChar::surrogateToUcs4(a, text[info.start + i + 1].unicode()) : a;
            const char32_t ub = QChar::isHighSurrogate(b) && next + 1 < textLength ? QChar::surrogateToUcs4(b, text[info.start + next + 1].unicode()) : b;
            const bool asianThenLatin = IsAsianLetter(ua) && IsLatinLetterOrDigit(ub);
            if (asianThenLatin || (IsLatinLetterOrDigit(ua) && IsAsianLetter(ub))) {
                // A quarter of the Asian character's size.
                const int halfPoints = asianThenLatin ? c.format->halfPoints
                                                      : doc_.charFormatAt(info.start + next).halfPoints;
                c.advance += static_cast<float>(halfPoints / 8.0);
            }
        }
        if (b == u' ' || b == u'\t' || b < 0x20)
            continue; // spaces and breaks stay with the text before them
        bool allowed;
        if (c.flags & Space)
            allowed = true;
        else if (rules.noStart[b] || rules.noEnd[a])
            allowed = false;
        else {
            char32_t ua = a, ub = b;
            if (QChar::isHighSurrogate(a) && next > i + 1)
                ua = QChar::surrogateToUcs4(a, text[info.start + i + 1].unicode());
            if (QChar::isHighSurrogate(b) && next + 1 < textLength)
                ub = QChar::surrogateToUcs4(b, text[info.start + next + 1].unicode());
            // Between ideographs, and between an ideograph and Latin text;
            // Latin words break only at spaces.
            allowed = engine::IsEastAsianChar(ua) || engine::IsEastAsianChar(ub) || (a == u'-' && QChar::isLetterOrNumber(b));
        }
        if (allowed)
            c.flags |= BreakAfter;
    }
}

void PageLayout::layoutParagraph(const engine::ParagraphInfo& info, Para& para)
{
    ++paragraphsLaidOut_;
    const int n = info.markPosition - info.start;
    measure(info, 0, n + 1);
    const engine::ParaFormat& pf = *info.format;
    const engine::CharFormat& mark = *chars_[static_cast<std::size_t>(n)].format;

    const qreal column = Pt(setup_.widthTwips - setup_.leftTwips - setup_.rightTwips);
    const qreal left = Pt(pf.leftIndentTwips);
    const qreal first = Pt(pf.firstLineIndentTwips);

    para.lines.clear();
    int start = 0;
    bool firstLine = true;
    for (;;) {
        const qreal indent = left + (firstLine ? first : 0);
        const qreal avail = std::max<qreal>(column - indent, 1);

        // Find where the line ends.
        int end = n;
        bool forced = false;
        qreal hanging = 0; // width of a punctuation mark hanging past the margin
        qreal x = 0;
        int lastBreak = -1;
        for (int j = start; j < n; ++j) {
            const CharInfo& c = chars_[static_cast<std::size_t>(j)];
            if (c.flags & Control) {
                if (c.flags & (PageBreakChar | LineBreakChar)) {
                    end = j + 1;
                    forced = true;
                    break;
                }
                continue;
            }
            if (c.flags & Space) {
                x += c.advance; // spaces may run past the margin
                if (c.flags & BreakAfter)
                    lastBreak = j + 1;
                continue;
            }
            if (x + c.advance > avail + 1e-3 && j > start) {
                if ((c.flags & Hangs) && x <= avail + 1e-3) {
                    // Rather than open the next line, a comma or full stop
                    // hangs in the margin (as Chinese word processors do).
                    hanging = c.advance;
                    end = j + 1;
                    break;
                }
                end = lastBreak > start ? lastBreak : j;
                // A pair is never split.
                if (end < n && (chars_[static_cast<std::size_t>(end)].flags & Trail))
                    --end;
                break;
            }
            x += c.advance;
            if (c.flags & BreakAfter)
                lastBreak = j + 1;
        }
        // Spaces after the break stay on this line.
        while (end < n && !forced && (chars_[static_cast<std::size_t>(end)].flags & Space))
            ++end;

        Line line;
        line.start = start;
        line.end = end;
        line.pageBreak = forced && (chars_[static_cast<std::size_t>(end - 1)].flags & PageBreakChar);
        int contentEnd = end;
        while (contentEnd > start && (chars_[static_cast<std::size_t>(contentEnd - 1)].flags & (Space | Control)))
            --contentEnd;
        line.contentEnd = contentEnd;

        qreal width = 0, ascent = 0, descent = 0;
        int gaps = 0;
        auto takeMetrics = [&](const Face& f) {
            ascent = std::max(ascent, f.ascent());
            descent = std::max(descent, f.descent() + f.leading());
        };
        const Face* lastFace = nullptr;
        for (int j = start; j < end; ++j) {
            const CharInfo& c = chars_[static_cast<std::size_t>(j)];
            if (c.face && c.face != lastFace && !(c.flags & Control)) {
                takeMetrics(*c.face);
                lastFace = c.face;
            }
            if (j < contentEnd) {
                width += c.advance;
                if (j < contentEnd - 1 && (c.flags & (Space | BreakAfter)))
                    ++gaps;
            }
        }
        const bool last = end >= n;
        if (last || start == end || contentEnd == start) {
            // The paragraph mark sets the height of the last line and of an empty one.
            takeMetrics(glyphs_->face(mark.latinFont, mark.halfPoints, mark.bold, false));
            takeMetrics(glyphs_->face(mark.eastAsianFont, mark.halfPoints, mark.bold, true));
        }
        const qreal natural = ascent + descent;
        qreal height = natural, base = ascent;
        const qreal value = Pt(pf.lineSpacingTwips);
        switch (pf.lineSpacingRule) {
        case LineSpacingRule::Single:
            break;
        case LineSpacingRule::OnePointFive:
            height = natural * 1.5;
            break;
        case LineSpacingRule::Double:
            height = natural * 2;
            break;
        case LineSpacingRule::Multiple:
            height = natural * pf.lineSpacingTwips / 240.0;
            break;
        case LineSpacingRule::AtLeast:
            if (value > natural) {
                height = value;
                base = ascent + (value - natural);
            }
            break;
        case LineSpacingRule::Exactly:
            // A fixed height, the baseline at four fifths of it.
            height = value;
            base = value * 0.8;
            break;
        }

        qreal offset = 0, gap = 0;
        switch (pf.alignment) {
        case Alignment::Left:
            break;
        case Alignment::Center:
            offset = (avail - (width - hanging)) / 2;
            break;
        case Alignment::Right:
            offset = avail - (width - hanging);
            break;
        case Alignment::Justify:
            if (!last && !forced && gaps > 0 && width - hanging < avail)
                gap = (avail - (width - hanging)) / gaps;
            break;
        }
        line.x = static_cast<float>(indent + std::max<qreal>(offset, 0));
        line.width = static_cast<float>(width + gap * gaps); // as shown, justification included
        line.gap = static_cast<float>(gap);
        line.ascent = static_cast<float>(base);
        line.height = static_cast<float>(height);
        para.lines.push_back(line);

        firstLine = false;
        // A page break followed only by the paragraph mark keeps the mark on
        // its line; the next paragraph starts the new page.
        if (last)
            break;
        start = end;
    }
}

void PageLayout::paginateFrom(int k)
{
    const int count = static_cast<int>(paras_.size());
    int page = 0;
    float y = 0;
    if (k <= 0 || pages_.empty()) {
        k = 0;
        pages_.assign(1, PageStart{0, 0});
    } else {
        page = paras_[static_cast<std::size_t>(k)].startPage;
        y = paras_[static_cast<std::size_t>(k)].startY;
        pages_.resize(static_cast<std::size_t>(page) + 1);
    }
    const float body = static_cast<float>(Pt(setup_.heightTwips - setup_.topTwips - setup_.bottomTwips));
    for (int i = k; i < count; ++i) {
        Para& p = paras_[static_cast<std::size_t>(i)];
        p.startPage = page;
        p.startY = y;
        for (std::size_t li = 0; li < p.lines.size(); ++li) {
            Line& line = p.lines[li];
            if (y > 0 && y + line.height > body + 0.01f) {
                ++page;
                y = 0;
                pages_.push_back({i, static_cast<int>(li)});
            }
            line.page = page;
            line.y = y;
            y += line.height;
            if (line.pageBreak) {
                if (li + 1 < p.lines.size())
                    pages_.push_back({i, static_cast<int>(li + 1)});
                else if (i + 1 < count)
                    pages_.push_back({i + 1, 0});
                else
                    continue; // a break at the very end opens no empty page
                ++page;
                y = 0;
            }
        }
    }
}

void PageLayout::update(int firstParagraph)
{
    if (!laidOut_ || !(doc_.pageSetup() == setup_)) {
        setup_ = doc_.pageSetup();
        paras_.clear();
        pages_.clear();
        firstParagraph = 0;
    }
    const int count = doc_.paragraphCount();
    const int old = static_cast<int>(paras_.size());
    firstParagraph = std::clamp(firstParagraph, 0, std::min(old, count));
    paras_.resize(static_cast<std::size_t>(count));
    int changed = count < old ? count - 1 : count;
    for (int i = firstParagraph; i < count; ++i) {
        const engine::ParagraphInfo info = doc_.paragraph(i);
        const std::size_t h = hashParagraph(info);
        Para& p = paras_[static_cast<std::size_t>(i)];
        if (i < old && p.hash == h && !p.lines.empty())
            continue;
        p.hash = h;
        layoutParagraph(info, p);
        changed = std::min(changed, i);
    }
    if (changed < count)
        paginateFrom(changed);
    revision_ = doc_.revision();
    laidOut_ = true;
}

LineBox PageLayout::box(int paragraph, int lineIndex) const
{
    const engine::ParagraphInfo info = doc_.paragraph(paragraph);
    const Line& line = paras_[static_cast<std::size_t>(paragraph)].lines[static_cast<std::size_t>(lineIndex)];
    const QRectF area = textArea();
    LineBox b;
    b.paragraph = paragraph;
    b.line = lineIndex;
    b.start = info.start + line.start;
    b.end = info.start + line.end;
    b.rect = QRectF(area.left() + line.x, area.top() + line.y, line.width, line.height);
    b.baseline = area.top() + line.y + line.ascent;
    b.pageBreak = line.pageBreak;
    return b;
}

QVector<LineBox> PageLayout::lines(int page) const
{
    QVector<LineBox> out;
    if (page < 0 || page >= pageCount())
        return out;
    PageStart s = pages_[static_cast<std::size_t>(page)];
    for (int i = s.paragraph, li = s.line; i < static_cast<int>(paras_.size()); ++i, li = 0) {
        const Para& p = paras_[static_cast<std::size_t>(i)];
        for (; li < static_cast<int>(p.lines.size()); ++li) {
            if (p.lines[static_cast<std::size_t>(li)].page != page)
                return out;
            out.append(box(i, li));
        }
    }
    return out;
}

int PageLayout::pageOfPosition(int position) const
{
    if (paras_.empty())
        return 0;
    position = std::clamp(position, 0, doc_.length());
    const int index = std::min(doc_.paragraphIndexAt(position), static_cast<int>(paras_.size()) - 1);
    const engine::ParagraphInfo info = doc_.paragraph(index);
    const Para& p = paras_[static_cast<std::size_t>(index)];
    const int rel = position - info.start;
    for (const Line& line : p.lines) {
        if (rel < line.end)
            return line.page;
    }
    return p.lines.empty() ? p.startPage : p.lines.back().page;
}

QString PageLayout::pageNumberText(int page) const
{
    return doc_.pageNumbers().on ? QString::number(page + 1) : QString();
}

QVector<Fragment> PageLayout::fragments(const LineBox& box) const
{
    QVector<Fragment> out;
    if (box.paragraph < 0 || box.paragraph >= static_cast<int>(paras_.size()))
        return out;
    const Para& p = paras_[static_cast<std::size_t>(box.paragraph)];
    if (box.line < 0 || box.line >= static_cast<int>(p.lines.size()))
        return out;
    const Line& line = p.lines[static_cast<std::size_t>(box.line)];
    const engine::ParagraphInfo info = doc_.paragraph(box.paragraph);
    if (line.contentEnd <= line.start)
        return out;
    measure(info, line.start, line.contentEnd);

    const QString& text = doc_.text();
    const QRectF area = textArea();
    qreal x = area.left() + line.x;
    const qreal baseline = area.top() + line.y + line.ascent;

    int fi = -1; // the fragment being filled
    QVector<quint32> glyphs;
    QList<QPointF> positions;
    int glyphFace = -1;
    auto flushGlyphs = [&] {
        if (fi >= 0 && !glyphs.isEmpty()) {
            Fragment& f = out[fi];
            QGlyphRun run;
            run.setRawFont(chars_[static_cast<std::size_t>(f.start - info.start)].face->rawFont(glyphFace));
            run.setGlyphIndexes(glyphs);
            run.setPositions(positions);
            f.glyphs.append(run);
            f.glyphFaces.append(glyphFace);
        }
        glyphs.clear();
        positions.clear();
    };
    auto finish = [&] {
        flushGlyphs();
        if (fi >= 0) {
            Fragment& f = out[fi];
            f.text = text.mid(f.start, f.end - f.start);
            f.width = x - f.x;
        }
    };

    for (int j = line.start; j < line.contentEnd; ++j) {
        const CharInfo& c = chars_[static_cast<std::size_t>(j)];
        if (c.flags & Trail) {
            if (fi >= 0)
                out[fi].end = info.start + j + 1;
            continue;
        }
        const CharInfo* head = fi >= 0 ? &chars_[static_cast<std::size_t>(out[fi].start - info.start)] : nullptr;
        if (!head || c.format != head->format || c.face != head->face) {
            finish();
            Fragment f;
            f.start = info.start + j;
            f.end = f.start;
            f.family = c.face->family();
            f.eastAsian = c.face->eastAsian();
            f.size = c.face->size();
            f.bold = c.format->bold;
            f.color = ColorOf(c.format->colorIndex);
            f.underline = c.format->underline;
            f.border = c.format->border;
            f.x = x;
            f.baseline = baseline;
            f.ascent = c.face->ascent();
            f.descent = c.face->descent();
            out.append(f);
            fi = static_cast<int>(out.size()) - 1;
            glyphFace = -1;
        }
        if (!(c.flags & (Control | Space))) {
            char32_t ucs = text[info.start + j].unicode();
            if (QChar::isHighSurrogate(ucs) && j + 1 < line.contentEnd)
                ucs = QChar::surrogateToUcs4(text[info.start + j], text[info.start + j + 1]);
            const GlyphInfo& g = c.face->glyph(ucs);
            if (g.glyph != 0) {
                if (g.face != glyphFace) {
                    flushGlyphs();
                    glyphFace = g.face;
                }
                glyphs.append(g.glyph);
                positions.append(QPointF(x, baseline));
            }
        }
        x += c.advance;
        if (j < line.contentEnd - 1 && (c.flags & (Space | BreakAfter)))
            x += line.gap;
        out[fi].end = info.start + j + 1;
    }
    finish();
    return out;
}

namespace {

// A border of `width` eighths of a point around rect, single or double.
void DrawBox(QPainter& painter, const QRectF& rect, const engine::Border& border, bool top, bool bottom)
{
    const qreal w = std::max(border.width / 8.0, 0.25);
    QPen pen(ColorOf(border.colorIndex == 0 ? 1 : border.colorIndex), w);
    pen.setCapStyle(Qt::FlatCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const int strokes = border.style == 7 ? 2 : 1; // wdLineStyleDouble
    for (int s = 0; s < strokes; ++s) {
        const QRectF r = rect.adjusted(s * 2 * w, s * 2 * w, -s * 2 * w, -s * 2 * w);
        painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.drawLine(r.topRight(), r.bottomRight());
        if (top)
            painter.drawLine(r.topLeft(), r.topRight());
        if (bottom)
            painter.drawLine(r.bottomLeft(), r.bottomRight());
    }
}

} // namespace

void PageLayout::paintPage(QPainter& painter, int page) const
{
    const QSizeF size = pageSize();
    painter.save();
    painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QVector<LineBox> boxes = lines(page);
    const QRectF area = textArea();

    // On raster devices glyphs are drawn from fonts at the device size:
    // scaled outlines would lose hinting and the synthetic bold of faces
    // without a bold weight. Vector devices take the glyphs as they are.
    const QTransform toDevice = painter.worldTransform();
    qreal deviceScale = 0;
    if (painter.paintEngine() && painter.paintEngine()->type() != QPaintEngine::Pdf
        && toDevice.type() <= QTransform::TxScale && qFuzzyCompare(toDevice.m11(), toDevice.m22()))
        deviceScale = toDevice.m11();

    // Paragraph borders: one box around each run of bordered paragraphs.
    for (int i = 0; i < boxes.size();) {
        const engine::Border border = doc_.paraFormat(boxes[i].paragraph).border;
        if (!border.visible()) {
            ++i;
            continue;
        }
        int j = i + 1;
        while (j < boxes.size() && doc_.paraFormat(boxes[j].paragraph).border == border)
            ++j;
        const qreal top = boxes[i].rect.top();
        const qreal bottom = boxes[j - 1].rect.bottom();
        const qreal left = area.left() + Pt(doc_.paraFormat(boxes[i].paragraph).leftIndentTwips);
        DrawBox(painter, QRectF(QPointF(left - 4, top - 1), QPointF(area.right() + 4, bottom + 1)), border, true, true);
        i = j;
    }

    for (const LineBox& box : boxes) {
        const QVector<Fragment> frags = fragments(box);
        for (const Fragment& f : frags) {
            painter.setPen(f.color);
            if (deviceScale > 0) {
                Face& face = glyphs_->face(f.family, qRound(f.size * 2), f.bold, f.eastAsian);
                painter.save();
                painter.resetTransform();
                for (int r = 0; r < f.glyphs.size(); ++r) {
                    QGlyphRun run = f.glyphs[r];
                    QList<QPointF> positions = run.positions();
                    for (QPointF& p : positions)
                        p = toDevice.map(p);
                    run.setPositions(positions);
                    run.setRawFont(face.scaledFont(f.glyphFaces[r], deviceScale));
                    painter.drawGlyphRun(QPointF(0, 0), run);
                }
                painter.restore();
            } else {
                for (const QGlyphRun& run : f.glyphs)
                    painter.drawGlyphRun(QPointF(0, 0), run);
            }
            if (f.underline != 0 && f.width > 0) {
                const qreal t = std::max<qreal>(f.size / 32, 0.4);
                QPen pen(f.color, t);
                pen.setCapStyle(Qt::FlatCap);
                painter.setPen(pen);
                const qreal y = f.baseline + std::max<qreal>(f.descent * 0.4, t * 1.5);
                painter.drawLine(QPointF(f.x, y), QPointF(f.x + f.width, y));
                if (f.underline == 3) // double
                    painter.drawLine(QPointF(f.x, y + 2.5 * t), QPointF(f.x + f.width, y + 2.5 * t));
            }
        }
        // Text borders around runs of equally bordered characters.
        for (int i = 0; i < frags.size();) {
            if (!frags[i].border.visible()) {
                ++i;
                continue;
            }
            int j = i + 1;
            qreal ascent = frags[i].ascent, descent = frags[i].descent;
            while (j < frags.size() && frags[j].border == frags[i].border) {
                ascent = std::max(ascent, frags[j].ascent);
                descent = std::max(descent, frags[j].descent);
                ++j;
            }
            const QRectF r(QPointF(frags[i].x - 1.5, frags[i].baseline - ascent - 1),
                           QPointF(frags[j - 1].x + frags[j - 1].width + 1.5, frags[i].baseline + descent + 1));
            DrawBox(painter, r, frags[i].border, true, true);
            i = j;
        }
    }

    const QString number = pageNumberText(page);
    if (!number.isEmpty()) {
        // The footer: the number in the document's default face.
        const engine::CharFormat standard;
        Face& face = glyphs_->face(standard.latinFont, standard.halfPoints, false, false);
        qreal width = 0;
        QVector<quint32> glyphs;
        QList<QPointF> positions;
        for (QChar ch : number) {
            const GlyphInfo& g = face.glyph(ch.unicode());
            glyphs.append(g.glyph);
            positions.append(QPointF(width, 0));
            width += g.advance;
        }
        qreal x = area.left();
        const engine::Alignment align = doc_.pageNumbers().alignment;
        if (align == Alignment::Center)
            x += (area.width() - width) / 2;
        else if (align == Alignment::Right)
            x += area.width() - width;
        const qreal baseline = size.height() - Pt(setup_.footerTwips) - face.descent();
        for (QPointF& p : positions)
            p += QPointF(x, baseline);
        QGlyphRun run;
        run.setRawFont(face.rawFont(0));
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter.setPen(Qt::black);
        painter.drawGlyphRun(QPointF(0, 0), run);
    }
    painter.restore();
}

} // namespace brevix::docwindow
