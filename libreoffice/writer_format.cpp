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

// What the engine's DOCX leaves out.
bool IsLeftOut(char16_t c)
{
    return (c < 0x20 && c != u'\t' && c != engine::PageBreak && c != engine::LineBreak) || c == 0xFFFE || c == 0xFFFF;
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

bool IsParagraphStartBreak(QStringView text, int position)
{
    return text[position] == QChar(engine::PageBreak)
        && (position == 0 || text[position - 1] == QChar(engine::ParagraphMark));
}

int WriterLength(QStringView text, int from, int to)
{
    int length = 0;
    for (int i = from; i < to; ++i) {
        const char16_t c = text[i].unicode();
        const bool lowOfPair = i > from && QChar::isLowSurrogate(c) && QChar::isHighSurrogate(text[i - 1].unicode());
        if (!lowOfPair && !IsLeftOut(c) && !IsParagraphStartBreak(text, i))
            ++length;
    }
    return length;
}

} // namespace brevix::libreoffice
