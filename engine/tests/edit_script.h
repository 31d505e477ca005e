#pragma once
// Documents made by edit scripts, and described in one line: the engine's
// rules in tables of rows, and documents of a given make for the tests above
// the engine. A script's text holds no "; ", which splits its operations.

#include "engine/document.h"
#include "model/errors.h"

#include <QStringList>
#include <functional>
#include <map>
#include <memory>

namespace brevix::testing {

// Text with marks shown as '|' and page breaks as '^', for readable comparisons.
inline QString Shown(const engine::Document& doc) { return QString(doc.text()).replace(u'\r', u'|').replace(u'\f', u'^'); }

// A document edited as a script says, operations split by "; ": "new NAME
// FROM TO" (positions; "end" is the document's length, "end-1" one less),
// "copy NAME FROM", "select FROM TO", "pagenumbers", "saved"; else the range NAME
// and what it does: "insert TEXT", "collapse", "pagebreak", "start P", "end
// P", or a setting and its value. The ranges by name, in the order made, and
// what failed.
struct Edited {
    explicit Edited(const QString& script)
    {
        const auto at = [this](const QString& p) { return p.startsWith(u'e') ? doc->length() - p.mid(4).toInt() : p.toInt(); };
        for (const QString& op : script.split(QStringLiteral("; "))) {
            const auto revision = doc->revision();
            const QStringList w = op.split(u' ');
            const QString value = op.section(u' ', 2);
            const float number = value.toFloat();
            try {
                if (w[0] == u"new" || w[0] == u"copy")
                    ranges << std::pair{w[1], w[0] == u"new" ? doc->range(at(w[2]), at(w[3])) : std::make_shared<engine::Range>(*named(w[2]))};
                else if (w[0] == u"select")
                    doc->select(at(w[1]), at(w[2]));
                else if (w[0] == u"pagenumbers")
                    doc->setPageNumbers({true, engine::Alignment::Center});
                else if (w[0] == u"saved")
                    doc->setSaved();
                else
                    apply(*named(w[0]), w[1], value, number, at);
            } catch (const RuntimeError& e) {
                errors << op + QStringLiteral(": error ") + QString::number(e.number());
            }
            trace += QString(doc->revision() > revision ? u'+' : u'=') + (doc->isModified() ? u'm' : u'-') + u' ';
        }
    }
    std::shared_ptr<engine::Range> named(const QString& name) const
    {
        return std::find_if(ranges.begin(), ranges.end(), [&](const auto& r) { return r.first == name; })->second;
    }
    template <class At> static void apply(engine::Range& r, const QString& verb, const QString& value, float number, const At& at)
    {
        static const QStringList alignments{QStringLiteral("left"), QStringLiteral("centre"), QStringLiteral("right"), QStringLiteral("justify")};
        static const QStringList rules{QStringLiteral("single"), QStringLiteral("1.5"), QStringLiteral("double"), QString(), QStringLiteral("exactly")};
        const std::map<QString, std::function<void()>> verbs{
            {QStringLiteral("insert"), [&] { r.insertAfter(value); }}, {QStringLiteral("collapse"), [&] { r.collapse(true); }},
            {QStringLiteral("pagebreak"), [&] { r.insertPageBreak(); }}, {QStringLiteral("start"), [&] { r.setStart(at(value)); }},
            {QStringLiteral("end"), [&] { r.setEnd(at(value)); }}, {QStringLiteral("font"), [&] { r.setFontName(value); }},
            {QStringLiteral("size"), [&] { r.setFontSize(number); }}, {QStringLiteral("bold"), [&] { r.setBold(number != 0); }},
            {QStringLiteral("colour"), [&] { r.setColorIndex(int(number)); }}, {QStringLiteral("underline"), [&] { r.setUnderline(int(number)); }},
            {QStringLiteral("align"), [&] { r.setAlignment(engine::Alignment(alignments.indexOf(value))); }},
            {QStringLiteral("spacing"), [&] { r.setLineSpacingRule(engine::LineSpacingRule(rules.indexOf(value))); }},
            {QStringLiteral("height"), [&] { r.setLineSpacing(number); }}, {QStringLiteral("firstindent"), [&] { r.setFirstLineIndent(number); }},
            {QStringLiteral("leftindent"), [&] { r.setLeftIndent(number); }}, {QStringLiteral("borderstyle"), [&] { r.setBorderStyle(int(number)); }},
            {QStringLiteral("borderwidth"), [&] { r.setBorderWidth(int(number)); }},
            {QStringLiteral("bordercolour"), [&] { r.setBorderColorIndex(int(number)); }}};
        verbs.at(verb)();
    }
    // The text; each run of characters (half-points, b for bold, a text
    // border as [style.width.colour]) and each paragraph (alignment, border)
    // as a letter; the ranges, the selection and the failures.
    QString described() const
    {
        const auto border = [](const engine::Border& b) { return b.visible() ? QStringLiteral("[%1.%2.%3]").arg(b.style).arg(b.width).arg(b.colorIndex) : QString(); };
        QStringList runs, paragraphs, spans;
        for (const engine::CharRun& run : doc->charRuns(0, doc->length()))
            runs << QString::number(run.format->halfPoints) + (run.format->bold ? QStringLiteral("b") : QString()) + border(run.format->border)
                    + QStringLiteral("×") + QString::number(run.end - run.start);
        for (int i = 0; i < doc->paragraphCount(); ++i)
            paragraphs << QStringLiteral("LCRJ")[int(doc->paraFormat(i).alignment)] + border(doc->paraFormat(i).border);
        for (const auto& [name, r] : ranges)
            spans << QStringLiteral("%1 %2-%3").arg(name).arg(r->start()).arg(r->end());
        return QStringLiteral("%1; runs %2; paragraphs %3; %4; selection %5-%6").arg(Shown(*doc), runs.join(u' '), paragraphs.join(u' '), spans.join(QStringLiteral(", ")))
            .arg(doc->selection().start).arg(doc->selection().end) + QStringLiteral("; changes ") + trace.trimmed() + (errors.isEmpty() ? QString() : QStringLiteral("; ") + errors.join(QStringLiteral("; ")));
    }

    std::shared_ptr<engine::Document> doc = std::make_shared<engine::Document>();
    QList<std::pair<QString, std::shared_ptr<engine::Range>>> ranges;
    QStringList errors;
    QString trace; // per operation: the revision went up (+) or not (=), modified (m) or not (-)
};

} // namespace brevix::testing
