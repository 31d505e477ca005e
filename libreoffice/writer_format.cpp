#include "libreoffice/writer_format.h"

#include "libreoffice/office.h"

#include <com/sun/star/awt/FontUnderline.hpp>
#include <com/sun/star/awt/FontWeight.hpp>
#include <com/sun/star/table/BorderLine2.hpp>

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

// What the engine's DOCX leaves out: control characters but its tab and
// breaks, and what XML cannot hold.
bool IsLeftOut(QChar c)
{
    const char16_t u = c.unicode();
    return (u < 0x20 && u != u'\t' && u != engine::PageBreak && u != engine::LineBreak && u != engine::ParagraphMark)
        || u == 0xFFFE || u == 0xFFFF;
}

// Whether the page break at position is the first of consecutive ones that
// Writer's import makes a paragraph mark of: those with text before and after
// them in their paragraph. Others become a property of their paragraph or
// of the next, and consecutive breaks count as one.
bool SplitsParagraph(QStringView text, int position)
{
    const auto isBreak = [&](int i) { return text[i] == QChar(engine::PageBreak); };
    int before = position - 1;
    while (before >= 0 && IsLeftOut(text[before]))
        --before;
    if (before < 0 || isBreak(before) || text[before] == QChar(engine::ParagraphMark))
        return false;
    int after = position + 1;
    while (after < text.size() && (isBreak(after) || IsLeftOut(text[after])))
        ++after;
    return after < text.size() && text[after] != QChar(engine::ParagraphMark);
}

} // namespace

sal_Int32 TwipsToHmm(int twips)
{
    const double hmm = twips * 2540.0 / 1440.0;
    return static_cast<sal_Int32>(hmm < 0 ? hmm - 0.5 : hmm + 0.5);
}

PropertySet PlainCharacters(const engine::CharFormat& f)
{
    const Any weight(css::awt::FontWeight::NORMAL);
    const Any height(f.sizePoints());
    const Any noLine{css::table::BorderLine2()};
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
        {"CharColor", Any(sal_Int32(-1))},
        {"CharUnderline", Any(css::awt::FontUnderline::NONE)},
        {"CharWordMode", Any(false)},
        {"CharTopBorder", noLine},
        {"CharBottomBorder", noLine},
        {"CharLeftBorder", noLine},
        {"CharRightBorder", noLine},
    });
}

int WriterLength(QStringView text, int from, int to)
{
    int length = 0;
    for (int i = from; i < to; ++i) {
        const QChar c = text[i];
        if (c == QChar(engine::PageBreak))
            length += SplitsParagraph(text, i) ? 1 : 0;
        else if (!IsLeftOut(c) && !(i > from && c.isLowSurrogate() && text[i - 1].isHighSurrogate()))
            ++length;
    }
    return length;
}

} // namespace brevix::libreoffice
