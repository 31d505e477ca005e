#pragma once
// A document described line by line, paragraph formats and then each run's
// character formats, in the engine's values: the same description for an
// engine document and for a Writer document read over UNO, so that the two
// compare line by line and the first difference names paragraph and property.

#include "engine/document.h"
#include "libreoffice/office.h"
#include "libreoffice/writer_format.h"

#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/style/LineSpacing.hpp>
#include <com/sun/star/style/LineSpacingMode.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/style/BreakType.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/table/BorderLineStyle.hpp>
#include <com/sun/star/awt/FontUnderline.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>

#include <QMap>
#include <QStringList>
#include <array>
#include <cmath>

namespace brevix::testing {

using css::uno::Any;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

inline QString Describe(const engine::Border& b)
{
    return b.visible() ? QStringLiteral("%1/%2/%3").arg(b.style).arg(b.width).arg(b.colorIndex) : QStringLiteral("-");
}

inline QString DescribeParagraph(int index, const engine::ParaFormat& f, bool pageBreak)
{
    return QStringLiteral("¶%1 align=%2 spacing=%3/%4 first=%5 left=%6 border=%7 break=%8")
        .arg(index).arg(static_cast<int>(f.alignment)).arg(static_cast<int>(f.lineSpacingRule)).arg(f.lineSpacingTwips)
        .arg(f.firstLineIndentTwips).arg(f.leftIndentTwips).arg(Describe(f.border)).arg(pageBreak);
}

// A paragraph's runs, adjacent runs of equal formats as one.
struct Runs {
    QStringList& lines;
    int index;
    QString text;
    engine::CharFormat format;

    void add(const QString& more, const engine::CharFormat& f)
    {
        if (!text.isEmpty() && format == f) {
            text += more;
            return;
        }
        flush();
        text = more;
        format = f;
    }
    void flush()
    {
        if (!text.isEmpty())
            lines << QStringLiteral("¶%1 「%2」 font=%3/%4 size=%5 bold=%6 colour=%7 underline=%8 border=%9")
                         .arg(index).arg(QString(text).replace(u'\v', u'\n'), format.latinFont, format.eastAsianFont)
                         .arg(format.sizePoints()).arg(format.bold).arg(format.colorIndex).arg(format.underline)
                         .arg(Describe(format.border));
    }
};

inline QStringList DescribeEngine(const engine::Document& d)
{
    QStringList lines;
    for (int i = 0; i < d.paragraphCount(); ++i) {
        const engine::ParagraphInfo p = d.paragraph(i);
        const bool pageBreak = p.markPosition > p.start && libreoffice::IsParagraphStartBreak(d.text(), p.start);
        lines << DescribeParagraph(i, *p.format, pageBreak);
        Runs runs{lines, i, {}, {}};
        d.forEachCharRun(p.start + (pageBreak ? 1 : 0), p.markPosition,
                         [&](const engine::CharRun& r) { runs.add(d.text(r.start, r.end), *r.format); });
        runs.flush();
    }
    const engine::PageNumbers numbers = d.pageNumbers();
    lines << QStringLiteral("page numbers=%1 align=%2").arg(numbers.on).arg(numbers.on ? static_cast<int>(numbers.alignment) : 0);
    return lines;
}

template <typename T> T Get(const Reference<css::beans::XPropertySet>& p, const char* name)
{
    T value{};
    p->getPropertyValue(rtl::OUString::createFromAscii(name)) >>= value;
    return value;
}

inline int PaletteIndexOf(sal_Int32 rgb)
{
    for (int i = 1; i <= 16; ++i)
        if (engine::PaletteRgb(i) == rgb)
            return i;
    return rgb == -1 ? 0 : -rgb;
}

inline engine::Border BorderOf(const css::table::BorderLine2& line)
{
    engine::Border b;
    if (line.LineWidth == 0 && line.OuterLineWidth == 0)
        return b;
    b.style = line.LineStyle == css::table::BorderLineStyle::DOUBLE ? 7 : 1;
    b.width = static_cast<int>(std::lround(line.LineWidth * 8 * 72 / 2540.0));
    b.colorIndex = line.Color == 0 ? 1 : PaletteIndexOf(line.Color);
    return b;
}

// ParaAdjust: LEFT, RIGHT, BLOCK, CENTER.
inline engine::Alignment AlignmentOf(sal_Int16 adjust)
{
    using A = engine::Alignment;
    return adjust >= 0 && adjust < 4 ? std::array{A::Left, A::Right, A::Justify, A::Center}[adjust] : A::Left;
}

inline engine::ParaFormat ParaFormatOf(const Reference<css::beans::XPropertySet>& p)
{
    engine::ParaFormat f;
    f.alignment = AlignmentOf(Get<sal_Int16>(p, "ParaAdjust"));
    const auto spacing = Get<css::style::LineSpacing>(p, "ParaLineSpacing");
    using Rule = engine::LineSpacingRule;
    if (spacing.Mode == css::style::LineSpacingMode::FIX || spacing.Mode == css::style::LineSpacingMode::MINIMUM) {
        f.lineSpacingRule = spacing.Mode == css::style::LineSpacingMode::FIX ? Rule::Exactly : Rule::AtLeast;
        f.lineSpacingTwips = libreoffice::HmmToTwips(spacing.Height);
    } else {
        f.lineSpacingRule = spacing.Height == 100 ? Rule::Single : spacing.Height == 150 ? Rule::OnePointFive
                          : spacing.Height == 200 ? Rule::Double : Rule::Multiple;
        f.lineSpacingTwips = spacing.Height * 240 / 100;
    }
    f.firstLineIndentTwips = libreoffice::HmmToTwips(Get<sal_Int32>(p, "ParaFirstLineIndent"));
    f.leftIndentTwips = libreoffice::HmmToTwips(Get<sal_Int32>(p, "ParaLeftMargin"));
    f.border = BorderOf(Get<css::table::BorderLine2>(p, "TopBorder"));
    return f;
}

inline engine::CharFormat CharFormatOf(const Reference<css::beans::XPropertySet>& p)
{
    engine::CharFormat f;
    f.latinFont = libreoffice::FromOU(Get<rtl::OUString>(p, "CharFontName"));
    f.eastAsianFont = libreoffice::FromOU(Get<rtl::OUString>(p, "CharFontNameAsian"));
    f.halfPoints = static_cast<int>(std::lround(Get<float>(p, "CharHeight") * 2));
    f.bold = Get<float>(p, "CharWeight") > 100;
    f.colorIndex = PaletteIndexOf(Get<sal_Int32>(p, "CharColor"));
    namespace U = css::awt::FontUnderline;
    static const QMap<sal_Int16, int> underlines{{U::NONE, 0}, {U::SINGLE, 1}, {U::DOUBLE, 3}, {U::DOTTED, 4}, {U::BOLD, 6}};
    f.underline = underlines.value(Get<sal_Int16>(p, "CharUnderline"), -1);
    if (f.underline == 1 && Get<bool>(p, "CharWordMode"))
        f.underline = 2; // words only
    f.border = BorderOf(Get<css::table::BorderLine2>(p, "CharTopBorder"));
    return f;
}

inline QStringList DescribeWriter(const Reference<css::text::XTextDocument>& doc)
{
    QStringList lines;
    const Reference<css::container::XEnumerationAccess> body(doc->getText(), UNO_QUERY_THROW);
    const auto paragraphs = body->createEnumeration();
    for (int i = 0; paragraphs->hasMoreElements(); ++i) {
        const Reference<css::beans::XPropertySet> paragraph(paragraphs->nextElement(), UNO_QUERY_THROW);
        const bool pageBreak = Get<css::style::BreakType>(paragraph, "BreakType") == css::style::BreakType_PAGE_BEFORE;
        lines << DescribeParagraph(i, ParaFormatOf(paragraph), pageBreak);
        Runs runs{lines, i, {}, {}};
        const auto portions = Reference<css::container::XEnumerationAccess>(paragraph, UNO_QUERY_THROW)->createEnumeration();
        while (portions->hasMoreElements()) {
            const Reference<css::text::XTextRange> portion(portions->nextElement(), UNO_QUERY_THROW);
            const QString portionText = libreoffice::FromOU(portion->getString());
            if (!portionText.isEmpty())
                runs.add(portionText, CharFormatOf(Reference<css::beans::XPropertySet>(portion, UNO_QUERY_THROW)));
        }
        runs.flush();
    }
    // Page numbers: the first page style's footer, holding the number alone.
    const Reference<css::style::XStyleFamiliesSupplier> families(doc, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> styles(families->getStyleFamilies()->getByName("PageStyles"), UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> style(styles->getByName("Standard"), UNO_QUERY_THROW);
    const bool on = Get<bool>(style, "FooterIsOn");
    int align = 0;
    if (on) {
        const Reference<css::text::XText> footer(style->getPropertyValue("FooterText"), UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> cursor(footer->createTextCursor(), UNO_QUERY_THROW);
        align = static_cast<int>(AlignmentOf(Get<sal_Int16>(cursor, "ParaAdjust")));
        // The footer holds the page number field alone.
        const auto footerParagraphs = Reference<css::container::XEnumerationAccess>(footer, UNO_QUERY_THROW)->createEnumeration();
        const auto portions = Reference<css::container::XEnumerationAccess>(footerParagraphs->nextElement(), UNO_QUERY_THROW)
                                  ->createEnumeration();
        const Reference<css::beans::XPropertySet> portion(portions->nextElement(), UNO_QUERY_THROW);
        const Reference<css::lang::XServiceInfo> field(portion->getPropertyValue("TextField"), css::uno::UNO_QUERY);
        if (footerParagraphs->hasMoreElements() || portions->hasMoreElements() || !field.is()
            || !field->supportsService("com.sun.star.text.TextField.PageNumber"))
            align = -1;
    }
    lines << QStringLiteral("page numbers=%1 align=%2").arg(on).arg(align);
    return lines;
}

} // namespace brevix::testing
