#pragma once
// The engine's character and paragraph formats as Writer properties, and the
// engine's text as Writer takes it. Writer counts positions in characters
// (a surrogate pair is one) and holds a page break as a paragraph property.

#include "engine/format.h"
#include "libreoffice/uno_access.h"

#include <QStringView>
#include <utility>
#include <vector>

namespace brevix::libreoffice {

// Property names sorted, as XMultiPropertySet wants them, and the values for one format.
struct PropertySet {
    css::uno::Sequence<rtl::OUString> names;
    css::uno::Sequence<css::uno::Any> values;
};
// Sorts name/value pairs into a set.
PropertySet Sorted(std::vector<std::pair<rtl::OUString, css::uno::Any>> entries);
PropertySet CharProperties(const engine::CharFormat& format);
PropertySet ParaProperties(const engine::ParaFormat& format, bool pageBreakBefore);

// 1/100 mm, Writer's unit, from twips and back.
sal_Int32 TwipsToHmm(int twips);
int HmmToTwips(sal_Int32 hmm);

// Writer's character count of text[from, to): a surrogate pair counts one,
// a page break at a paragraph's start none (it is that paragraph's property).
int WriterLength(QStringView text, int from, int to);
bool IsParagraphStartBreak(QStringView text, int position);

// text[from, to) as Writer is given it, one unit for each of ours: a line
// break becomes Writer's, a page break inside a paragraph a paragraph mark
// (its page break is set on the paragraph after), one that starts a
// paragraph is left out. Characters Writer refuses (other control
// characters, lone surrogates) become U+FFFD.
QString WriterText(QStringView text, int from, int to);

} // namespace brevix::libreoffice
