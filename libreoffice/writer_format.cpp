#include "libreoffice/writer_format.h"

#include "libreoffice/office.h"

#include <com/sun/star/awt/FontUnderline.hpp>
#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/style/BreakType.hpp>
#include <com/sun/star/style/LineSpacing.hpp>
#include <com/sun/star/style/LineSpacingMode.hpp>
#include <com/sun/star/style/ParagraphAdjust.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>

#include <algorithm>
#include <utility>
#include <vector>

namespace brevix::libreoffice {

using css::uno::Any;

namespace {

using Entries = std::vector<std::pair<rtl::OUString, Any>>;

} // namespace

PropertySet Sorted(Entries entries)
{
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    PropertySet set;
    set.names.realloc(static_cast<sal_Int32>(entries.size()));
    set.values.realloc(static_cast<sal_Int32>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        set.names.getArray()[i] = entries[i].first;
        set.values.getArray()[i] = entries[i].second;
    }
    return set;
}

namespace {

sal_Int32 ColorOf(int colorIndex)
{
    const int rgb = engine::PaletteRgb(colorIndex);
    return rgb < 0 ? -1 : rgb; // -1: automatic
}

css::table::BorderLine2 LineOf(const engine::Border& border)
{
    css::table::BorderLine2 line;
    if (!border.visible())
        return line; // all widths 0: no line
    const bool isDouble = border.style == 7;
    line.LineStyle = isDouble ? css::table::BorderLineStyle::DOUBLE : css::table::BorderLineStyle::SOLID;
    // Widths come in eighths of a point, for a double line the width of each
    // of its lines; Writer's width of a double line is the whole of it, the
    // two lines and the gap between them a third each.
    const int twips = std::max(1, border.width * 20 / 8) * (isDouble ? 3 : 1);
    line.LineWidth = static_cast<sal_uInt32>(TwipsToHmm(twips));
    line.Color = std::max(0, engine::PaletteRgb(border.colorIndex));
    return line;
}

sal_Int16 UnderlineOf(int underline)
{
    switch (underline) {
    case 1: case 2: return css::awt::FontUnderline::SINGLE; // 2: words only, with CharWordMode
    case 3: return css::awt::FontUnderline::DOUBLE;
    case 4: return css::awt::FontUnderline::DOTTED;
    case 6: return css::awt::FontUnderline::BOLD;
    default: return css::awt::FontUnderline::NONE;
    }
}

css::style::LineSpacing SpacingOf(const engine::ParaFormat& f)
{
    using Rule = engine::LineSpacingRule;
    css::style::LineSpacing spacing;
    switch (f.lineSpacingRule) {
    case Rule::Exactly:
        spacing.Mode = css::style::LineSpacingMode::FIX;
        spacing.Height = static_cast<sal_Int16>(TwipsToHmm(f.lineSpacingTwips));
        break;
    case Rule::AtLeast:
        spacing.Mode = css::style::LineSpacingMode::MINIMUM;
        spacing.Height = static_cast<sal_Int16>(TwipsToHmm(f.lineSpacingTwips));
        break;
    case Rule::Single: spacing.Height = 100; break;
    case Rule::OnePointFive: spacing.Height = 150; break;
    case Rule::Double: spacing.Height = 200; break;
    case Rule::Multiple: spacing.Height = static_cast<sal_Int16>(f.lineSpacingTwips * 100 / 240); break;
    }
    return spacing;
}

css::style::ParagraphAdjust AdjustOf(engine::Alignment alignment)
{
    switch (alignment) {
    case engine::Alignment::Center: return css::style::ParagraphAdjust_CENTER;
    case engine::Alignment::Right: return css::style::ParagraphAdjust_RIGHT;
    case engine::Alignment::Justify: return css::style::ParagraphAdjust_BLOCK;
    case engine::Alignment::Left: break;
    }
    return css::style::ParagraphAdjust_LEFT;
}

bool IsLowSurrogateOfPair(QStringView text, int i)
{
    return i > 0 && QChar::isLowSurrogate(text[i].unicode()) && QChar::isHighSurrogate(text[i - 1].unicode());
}

} // namespace

sal_Int32 TwipsToHmm(int twips)
{
    const double hmm = twips * 2540.0 / 1440.0;
    return static_cast<sal_Int32>(hmm < 0 ? hmm - 0.5 : hmm + 0.5);
}

int HmmToTwips(sal_Int32 hmm)
{
    const double twips = hmm * 1440.0 / 2540.0;
    return static_cast<int>(twips < 0 ? twips - 0.5 : twips + 0.5);
}

PropertySet CharProperties(const engine::CharFormat& f)
{
    const Any weight(f.bold ? css::awt::FontWeight::BOLD : css::awt::FontWeight::NORMAL);
    const Any height(f.sizePoints());
    const Any line(LineOf(f.border));
    // Sizes and weights hold for every script, as a word processor's do;
    // and no pair kerning, which Writer's new documents have and ours not.
    return Sorted({
        {"CharFontName", Any(ToOU(f.latinFont))},
        {"CharFontNameAsian", Any(ToOU(f.eastAsianFont))},
        {"CharHeight", height},
        {"CharHeightAsian", height},
        {"CharHeightComplex", height},
        {"CharWeight", weight},
        {"CharWeightAsian", weight},
        {"CharWeightComplex", weight},
        {"CharAutoKerning", Any(false)},
        {"CharColor", Any(ColorOf(f.colorIndex))},
        {"CharUnderline", Any(UnderlineOf(f.underline))},
        {"CharWordMode", Any(f.underline == 2)},
        {"CharTopBorder", line},
        {"CharBottomBorder", line},
        {"CharLeftBorder", line},
        {"CharRightBorder", line},
    });
}

PropertySet ParaProperties(const engine::ParaFormat& f, bool pageBreakBefore)
{
    const Any line(LineOf(f.border));
    return Sorted({
        {"ParaAdjust", Any(static_cast<sal_Int16>(AdjustOf(f.alignment)))},
        {"ParaLastLineAdjust", Any(static_cast<sal_Int16>(css::style::ParagraphAdjust_LEFT))},
        {"ParaLineSpacing", Any(SpacingOf(f))},
        {"ParaFirstLineIndent", Any(TwipsToHmm(f.firstLineIndentTwips))},
        {"ParaLeftMargin", Any(TwipsToHmm(f.leftIndentTwips))},
        {"TopBorder", line},
        {"BottomBorder", line},
        {"LeftBorder", line},
        {"RightBorder", line},
        {"BreakType", Any(pageBreakBefore ? css::style::BreakType_PAGE_BEFORE : css::style::BreakType_NONE)},
    });
}

bool IsParagraphStartBreak(QStringView text, int position)
{
    return text[position] == QChar(engine::PageBreak)
        && (position == 0 || text[position - 1] == QChar(engine::ParagraphMark));
}

int WriterLength(QStringView text, int from, int to)
{
    int length = 0;
    for (int i = from; i < to; ++i)
        if (!IsLowSurrogateOfPair(text, i) && !IsParagraphStartBreak(text, i))
            ++length;
    return length;
}

QString WriterText(QStringView text, int from, int to)
{
    QString out;
    out.reserve(to - from);
    for (int i = from; i < to; ++i) {
        const char16_t c = text[i].unicode();
        if (c == engine::PageBreak) {
            if (!IsParagraphStartBreak(text, i))
                out.append(QChar(engine::ParagraphMark));
        } else if (c == engine::LineBreak) {
            out.append(u'\n');
        } else if ((c < 0x20 && c != u'\t' && c != engine::ParagraphMark)
                   || (QChar::isSurrogate(c)
                       && !(QChar::isHighSurrogate(c) && i + 1 < to && QChar::isLowSurrogate(text[i + 1].unicode()))
                       && !IsLowSurrogateOfPair(text, i))) {
            out.append(QChar::ReplacementCharacter);
        } else {
            out.append(QChar(c));
        }
    }
    return out;
}

} // namespace brevix::libreoffice
