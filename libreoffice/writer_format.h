#pragma once
// The engine's plain characters as Writer properties, and the engine's text
// as Writer has it once it has imported the engine's DOCX. Writer counts
// positions in characters (a surrogate pair is one) and holds a page break as
// a paragraph property.

#include "engine/format.h"
#include "libreoffice/uno_access.h"

#include <QStringView>
#include <utility>
#include <vector>

namespace brevix::libreoffice {

// Property names sorted, as XMultiPropertySet wants them, and their values.
struct PropertySet {
    css::uno::Sequence<rtl::OUString> names;
    css::uno::Sequence<css::uno::Any> values;
};
// Sorts name/value pairs into a set.
PropertySet Sorted(std::vector<std::pair<rtl::OUString, css::uno::Any>> entries);
// Characters in the fonts and size of format, and otherwise plain: no bold,
// colour, underline, border or pair kerning.
PropertySet PlainCharacters(const engine::CharFormat& format);

// 1/100 mm, Writer's unit, from twips.
sal_Int32 TwipsToHmm(int twips);

// Writer's character count of text[from, to), one run of the engine's DOCX,
// once Writer has imported it: a surrogate pair counts one (a lone surrogate
// is U+FFFD), and what XML cannot hold (other control characters, U+FFFE,
// U+FFFF) none. Consecutive page breaks count one, Writer's paragraph mark
// before the page, when there is text before and after them in their
// paragraph; otherwise none, the break being a property of that paragraph
// or of the next.
int WriterLength(QStringView text, int from, int to);

} // namespace brevix::libreoffice
