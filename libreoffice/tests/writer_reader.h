#pragma once
// A Writer document described line by line in Writer's own terms, the UNO
// properties as Writer holds them: each paragraph, then its runs of equal
// character properties, then the page. Two Writer documents (what the
// backend typeset, and what Writer makes of the engine's DOCX) compare line
// by line, and the first difference names paragraph and property.
//
// Left out, as the two ways into Writer hold the same thing differently:
// characters set over whole paragraphs (the backend's are paragraph
// attributes, the import's automatic styles; what the portions report is
// compared), style and automatic-style names, "as the page" against an
// explicit left-to-right writing mode, the document's default font (nothing
// shows in it), and the import's Word compatibility settings, whose effect
// shows in where the pages start.

#include "engine/document.h"
#include "libreoffice/office.h"
#include "libreoffice/writer_format.h"

#include <com/sun/star/awt/FontSlant.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/style/BreakType.hpp>
#include <com/sun/star/style/LineSpacing.hpp>
#include <com/sun/star/style/XStyleFamiliesSupplier.hpp>
#include <com/sun/star/table/BorderLine2.hpp>
#include <com/sun/star/text/XPageCursor.hpp>
#include <com/sun/star/text/XTextViewCursorSupplier.hpp>

#include <QStringList>

namespace brevix::testing {

using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

// An engine document's paragraphs and runs of equal formats, a line each,
// then its page: as many lines as DescribeWriter gives for Writer's copy.
inline QStringList DescribeEngine(const engine::Document& d)
{
    QStringList lines;
    for (int i = 0; i < d.paragraphCount(); ++i) {
        lines << QStringLiteral("¶%1").arg(i);
        const engine::CharFormat* last = nullptr;
        d.forEachCharRun(d.paragraph(i).start, d.paragraph(i).markPosition, [&](const engine::CharRun& r) {
            if (libreoffice::WriterLength(d.text(), r.start, r.end) == 0)
                return;
            const QString text = d.text(r.start, r.end);
            if (last && *last == *r.format)
                lines.last() += text;
            else
                lines << QStringLiteral("¶%1 「%2」").arg(i).arg(text);
            last = r.format;
        });
    }
    return lines << QStringLiteral("page");
}

template <typename T> T Get(const Reference<css::beans::XPropertySet>& p, const char* name)
{
    T value{};
    p->getPropertyValue(rtl::OUString::createFromAscii(name)) >>= value;
    return value;
}

// A border line as Writer holds it: style, outer line + gap + inner line =
// width, colour; "-" for none.
inline QString DescribeLine(const css::table::BorderLine2& l)
{
    if (l.LineWidth == 0 && l.OuterLineWidth == 0 && l.InnerLineWidth == 0)
        return QStringLiteral("-");
    return QStringLiteral("%1:%2+%3+%4=%5#%6").arg(l.LineStyle).arg(l.OuterLineWidth).arg(l.LineDistance)
        .arg(l.InnerLineWidth).arg(l.LineWidth).arg(l.Color, 6, 16, QChar(u'0'));
}

// Four edges (prefix "Char" for a text border) and their distances from the text, one when all alike.
inline QString DescribeBorders(const Reference<css::beans::XPropertySet>& p, const QString& prefix)
{
    QStringList edges;
    for (const char* edge : {"Top", "Bottom", "Left", "Right"}) {
        const QByteArray name = (prefix + edge).toLatin1();
        edges << DescribeLine(Get<css::table::BorderLine2>(p, (name + "Border").constData())) + QStringLiteral("@")
                + QString::number(Get<sal_Int32>(p, (name + "BorderDistance").constData()));
    }
    edges.removeDuplicates();
    return edges.join(u'|');
}

inline QString DescribeWriterChars(const Reference<css::beans::XPropertySet>& p)
{
    return QStringLiteral("font=%1/%2 size=%3/%4/%5 weight=%6/%7/%8 slant=%9 colour=%10 underline=%11 words=%12 "
                          "kerning=%13 border=%14")
        .arg(libreoffice::FromOU(Get<rtl::OUString>(p, "CharFontName")),
             libreoffice::FromOU(Get<rtl::OUString>(p, "CharFontNameAsian")))
        .arg(Get<float>(p, "CharHeight")).arg(Get<float>(p, "CharHeightAsian")).arg(Get<float>(p, "CharHeightComplex"))
        .arg(Get<float>(p, "CharWeight")).arg(Get<float>(p, "CharWeightAsian")).arg(Get<float>(p, "CharWeightComplex"))
        .arg(static_cast<int>(Get<css::awt::FontSlant>(p, "CharPosture"))).arg(Get<sal_Int32>(p, "CharColor"))
        .arg(Get<sal_Int16>(p, "CharUnderline")).arg(Get<bool>(p, "CharWordMode")).arg(Get<bool>(p, "CharAutoKerning"))
        .arg(DescribeBorders(p, QStringLiteral("Char")));
}

// A paragraph, then its runs: its portions' texts (a field by its kind) with
// their character properties, neighbours alike as one. Writer's DOCX import
// splits runs the engine keeps whole (where a hint for the East-Asian font
// starts) and leaves an empty portion at a paragraph's end: neither is seen.
// An empty paragraph's characters, which set its height, go with the paragraph.
inline void DescribeWriterParagraph(QStringList& lines, int index, const Reference<css::beans::XPropertySet>& p)
{
    const auto spacing = Get<css::style::LineSpacing>(p, "ParaLineSpacing");
    lines << QStringLiteral("¶%1 adjust=%2/%3 spacing=%4:%5 indent=%6/%7/%8 space=%9/%10 border=%11 break=%12")
                 .arg(index).arg(Get<sal_Int16>(p, "ParaAdjust")).arg(Get<sal_Int16>(p, "ParaLastLineAdjust"))
                 .arg(spacing.Mode).arg(spacing.Height).arg(Get<sal_Int32>(p, "ParaFirstLineIndent"))
                 .arg(Get<sal_Int32>(p, "ParaLeftMargin")).arg(Get<sal_Int32>(p, "ParaRightMargin"))
                 .arg(Get<sal_Int32>(p, "ParaTopMargin")).arg(Get<sal_Int32>(p, "ParaBottomMargin"))
                 .arg(DescribeBorders(p, QString()))
                 .arg(static_cast<int>(Get<css::style::BreakType>(p, "BreakType")));
    const qsizetype paragraphLine = lines.size() - 1;
    QString text, format, empty;
    const auto flush = [&] {
        if (!text.isEmpty())
            lines << QStringLiteral("¶%1 「%2」 %3").arg(index).arg(text, format);
        text.clear();
    };
    const auto portions = Reference<css::container::XEnumerationAccess>(p, UNO_QUERY_THROW)->createEnumeration();
    while (portions->hasMoreElements()) {
        const Reference<css::text::XTextRange> portion(portions->nextElement(), UNO_QUERY_THROW);
        const Reference<css::beans::XPropertySet> properties(portion, UNO_QUERY_THROW);
        QString more = libreoffice::FromOU(portion->getString());
        if (Get<rtl::OUString>(properties, "TextPortionType") == "TextField") {
            const Reference<css::lang::XServiceInfo> field(properties->getPropertyValue("TextField"), UNO_QUERY_THROW);
            more = QStringLiteral("{%1}").arg(libreoffice::FromOU(field->getSupportedServiceNames()[0]));
        }
        const QString f = DescribeWriterChars(properties);
        if (more.isEmpty()) {
            if (empty.isEmpty())
                empty = f;
            continue;
        }
        if (f != format)
            flush();
        text += more;
        format = f;
    }
    flush();
    if (lines.size() == paragraphLine + 1 && !empty.isEmpty())
        lines[paragraphLine] += QStringLiteral(" empty: ") + empty;
}

// Where each page starts, in characters from the document's start, as
// Writer lays the document out (one typeset without a window is laid out
// only when asked to, as for an export).
inline QString PageStarts(const Reference<css::text::XTextDocument>& doc)
{
    const Reference<css::frame::XModel> model(doc, UNO_QUERY_THROW);
    while (model->hasControllersLocked())
        model->unlockControllers();
    const Reference<css::text::XTextViewCursorSupplier> view(model->getCurrentController(), UNO_QUERY_THROW);
    const Reference<css::text::XTextViewCursor> cursor = view->getViewCursor();
    const Reference<css::text::XPageCursor> pages(cursor, UNO_QUERY_THROW);
    pages->jumpToLastPage();
    QStringList starts;
    for (sal_Int16 page = 1, last = pages->getPage(); page <= last; ++page) {
        pages->jumpToPage(page);
        pages->jumpToStartOfPage();
        const Reference<css::text::XTextCursor> before = doc->getText()->createTextCursor();
        before->gotoRange(cursor->getStart(), true);
        starts << QString::number(before->getString().getLength());
    }
    return starts.join(u',');
}

// Each paragraph of a text (the body, a footer) and its runs.
inline void DescribeWriterText(QStringList& lines, const Reference<css::text::XText>& text)
{
    const auto paragraphs = Reference<css::container::XEnumerationAccess>(text, UNO_QUERY_THROW)->createEnumeration();
    for (int i = 0; paragraphs->hasMoreElements(); ++i)
        DescribeWriterParagraph(lines, i, Reference<css::beans::XPropertySet>(paragraphs->nextElement(), UNO_QUERY_THROW));
}

// The page in one line: its size, the body's box (what the text flows in),
// the footer's place and what it holds, and where the pages start. Writer's
// DOCX import makes Word's footer, a least height whose gap to the body gives
// way to its text; the backend's is fixed, of that height with no gap. Both
// are described by what they make of the page: distance from the edge,
// height, and the room their text has before the body's box would change.
inline QString DescribeWriterPage(const Reference<css::text::XTextDocument>& doc)
{
    const Reference<css::style::XStyleFamiliesSupplier> families(doc, UNO_QUERY_THROW);
    const Reference<css::container::XNameAccess> styles(families->getStyleFamilies()->getByName("PageStyles"),
                                                        UNO_QUERY_THROW);
    const Reference<css::beans::XPropertySet> style(styles->getByName("Standard"), UNO_QUERY_THROW);
    const bool footer = Get<bool>(style, "FooterIsOn");
    const sal_Int32 width = Get<sal_Int32>(style, "Width"), height = Get<sal_Int32>(style, "Height");
    const sal_Int32 left = Get<sal_Int32>(style, "LeftMargin"), top = Get<sal_Int32>(style, "TopMargin");
    const sal_Int32 bottom = Get<sal_Int32>(style, "BottomMargin");
    const sal_Int32 footerHeight = footer ? Get<sal_Int32>(style, "FooterHeight") : 0;
    QString page = QStringLiteral("page %1x%2 body %3x%4 at %5,%6 header=%7")
                       .arg(width).arg(height).arg(width - left - Get<sal_Int32>(style, "RightMargin"))
                       .arg(height - top - bottom - footerHeight).arg(left).arg(top).arg(Get<bool>(style, "HeaderIsOn"));
    if (footer) {
        const sal_Int32 gap = Get<bool>(style, "FooterDynamicSpacing") ? 0 : Get<sal_Int32>(style, "FooterBodyDistance");
        page += QStringLiteral(" footer %1 high, %2 from the edge, room %3: ")
                    .arg(footerHeight).arg(bottom).arg(footerHeight - gap);
        QStringList lines;
        DescribeWriterText(lines, Reference<css::text::XText>(style->getPropertyValue("FooterText"), UNO_QUERY_THROW));
        page += lines.join(u' ');
    }
    return page + QStringLiteral("; pages start at ") + PageStarts(doc);
}

inline QStringList DescribeWriter(const Reference<css::text::XTextDocument>& doc)
{
    QStringList lines;
    DescribeWriterText(lines, doc->getText());
    return lines << DescribeWriterPage(doc);
}

} // namespace brevix::testing
