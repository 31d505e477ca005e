#pragma once
// Two word processors for the bulletins' tests: one that only records the
// calls made on it (and fails the ones a test picks), and the built-in
// engine, whose document a test reads back paragraph by paragraph.

#include "engine/application.h"
#include "engine/document.h"
#include "generator/automation.h"
#include "builtin/builtin_backend.h"
#include "generator/output_texts.h"
#include "model/errors.h"
#include "model/issue.h"
#include "model/tests/files.h"

#include <QMap>
#include <QStringList>
#include <functional>
#include <memory>

namespace brevix::testing {

struct CallLog {
    QStringList calls;
    QString inserted; // every InsertAfter and page break that succeeded
    std::function<bool(const QString&)> fails;
    int failed = 0;
    QString missing; // the object ("Font", "Documents" …) every getter of it returns as nothing

    void record(const QString& call)
    {
        calls.append(call);
        if (fails && fails(call)) {
            ++failed;
            throw RuntimeError::Automation("failing: " + call);
        }
    }
};

// Every object of the word processor in one: a call is recorded as
// "Kind.Call", a setting as "Property=value"; the application, documents and
// ranges (the objects given a kind) record their release.
#define SET(Property, Type) \
    void put_##Property(Type value) override { set(#Property, value); }
struct Fake : word::Application, word::Documents, word::Document, word::Range, word::Font, word::Paragraphs,
              word::ParagraphFormat, word::Borders, word::Global {
    Fake(CallLog& calls, const QString& what = {}, const QString& which = {}) : log(calls), kind(what), name(which) {}
    ~Fake() override
    {
        if (!kind.isEmpty())
            log.calls.append(QStringList{"release", kind, name}.join(' ').trimmed());
    }
    void set(const QString& property, double value) { log.record(property + '=' + QString::number(value)); }
    void call(const QString& what) { log.record(kind + '.' + what); }
    std::shared_ptr<Fake> part(const QString& object) { return object == log.missing ? nullptr : std::make_shared<Fake>(log); }

    void put_Name(const QString& font) override { log.record("Name=" + font); }
    SET(Size, float) SET(Bold, int) SET(ColorIndex, int) SET(Underline, int) SET(Alignment, int)
    SET(LineSpacingRule, int) SET(LineSpacing, float) SET(FirstLineIndent, float) SET(LeftIndent, float)
    SET(OutsideLineStyle, int) SET(OutsideLineWidth, int) SET(OutsideColorIndex, int)

    long get_Start() override { call("Start"); return start; }
    void put_Start(long position) override { set("Range.Start", position); start = position; }
    long get_End() override { call("End"); return end; }
    void InsertAfter(const QString& text) override { log.record("InsertAfter(" + text + ")"); insert(text); }
    void Collapse(int direction) override { set("Range.Collapse", direction); start = end; }
    void InsertBreak(int type) override { set("Range.InsertBreak", type); insert("\f"); }
    void Select() override { call("Select"); }
    word::FontRef get_Font() override { return part("Font"); }
    word::ParagraphsRef get_Paragraphs() override { return part("Paragraphs"); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return part("ParagraphFormat"); }
    word::BordersRef get_Borders() override { return part("Borders"); }
    void insert(const QString& text) { log.inserted += text; end += long(text.size()); }

    word::RangeRef Range(long from, long to) override
    {
        log.record(QString("Document.Range(%1,%2)").arg(from).arg(to));
        return std::make_shared<Fake>(log, "Range");
    }
    void Activate() override { call("Activate"); }
    word::DocumentRef Add() override { log.record("Documents.Add"); return std::make_shared<Fake>(log, "Document"); }
    word::DocumentsRef get_Documents() override { log.record("Application.Documents " + name); return part("Documents"); }
    void put_Visible(bool visible) override { set("Visible", visible); }
    void ScreenRefresh() override { log.record("ScreenRefresh"); }
    float InchesToPoints(float inches) override { set("InchesToPoints", inches); return inches * 72.0f; }

    CallLog& log;
    QString kind, name;
    long start = 0;
    long end = 0;
};
#undef SET

// Attaching works only when `running`; creating only when `canCreate`.
struct FakeBackend : word::Backend, word::KeySender {
    word::ApplicationRef GetObject(const QString& className) override { return obtain("GetObject", className, running, "attached"); }
    word::ApplicationRef CreateObject(const QString& className) override { return obtain("CreateObject", className, canCreate, "created"); }
    word::ApplicationRef obtain(const QString& how, const QString& className, bool works, const QString& which)
    {
        log.record(how + "(" + className + ")");
        if (!works)
            throw RuntimeError::CannotCreateObject();
        return std::make_shared<Fake>(log, "Application", which);
    }
    word::GlobalRef CreateGlobal() override { log.record("CreateGlobal"); return std::make_shared<Fake>(log); }
    word::KeySender& Keys() override { return *this; }
    void BeginPhase() override { log.record("BeginPhase"); }
    void SendKeys(const QString& keys, bool wait) override { log.record("SendKeys(" + keys + (wait ? ",wait)" : ")")); }

    CallLog log;
    bool running = false;
    bool canCreate = true;
};

// One edition's bulletin, as the output command runs it.
using BulletinFn = std::function<void(word::Backend&, const QVector<Article>&, const OutputTexts&, const YieldFn&)>;

const OutputTexts Texts{"12", "345", "2003", "1", "13"};
const QStringList Releases{"release Range", "release Document", "release Application created"};

// The number of the error that ended the run, 0 when it ended normally.
inline int Run(FakeBackend& backend, const BulletinFn& bulletin, const QVector<Article>& articles,
               const YieldFn& yield = {})
{
    return faults::ErrorOf([&] { bulletin(backend, articles, Texts, yield); }).first;
}

// The first call starting with `prefix` fails; with `gone`, every call from it on.
inline std::function<bool(const QString&)> FailFrom(const QString& prefix, bool gone)
{
    return [prefix, gone, reached = false](const QString& call) mutable {
        const bool first = !reached && call.startsWith(prefix);
        reached = reached || first;
        return first || (gone && reached);
    };
}

// A bulletin typeset by the built-in engine, and the document it left.
struct Typeset {
    Typeset(const BulletinFn& bulletin, const QVector<Article>& articles)
    {
        builtin::BuiltinBackend backend;
        error = faults::ErrorOf([&] { bulletin(backend, articles, Texts, {}); }).second;
        apps = backend.applications();
        doc = backend.lastDocument();
    }
    // Quit, so later runs do not attach to them.
    ~Typeset()
    {
        for (const auto& app : apps)
            if (!app->hasQuit())
                app->quit();
    }
    QStringList paragraphs() const
    {
        QStringList list;
        for (int i = 0; i < doc->paragraphCount(); ++i)
            list << doc->text(doc->paragraph(i).start, doc->paragraph(i).markPosition);
        return list;
    }

    // Each paragraph's text and the format of its first character (its mark
    // when empty): East-Asian font ("/Latin font" when that differs), size,
    // bold, colour, underline, text border (style.width.colour) | alignment,
    // exact spacing, indents (first line/left), paragraph border.
    QStringList formats() const
    {
        static const QMap<int, QString> colours{{2, "blue"}, {6, "red"}, {12, "violet"}};
        QStringList list = paragraphs();
        for (int i = 0; i < doc->paragraphCount(); ++i) {
            const engine::CharFormat c = doc->charFormatAt(doc->paragraph(i).start);
            const engine::ParaFormat p = doc->paraFormat(i);
            QStringList s{c.eastAsianFont + (c.latinFont == c.eastAsianFont ? "" : "/" + c.latinFont),
                          QString::number(c.sizePoints())};
            if (c.bold)
                s << "bold";
            if (c.colorIndex)
                s << colours.value(c.colorIndex, QString::number(c.colorIndex));
            if (c.underline)
                s << "u" + QString::number(c.underline);
            if (c.border.visible())
                s << QString("box%1.%2.%3").arg(c.border.style).arg(c.border.width).arg(c.border.colorIndex);
            s << "|" << QStringList{"left", "centre", "right", "justify"}.value(int(p.alignment));
            if (p.lineSpacingRule == engine::LineSpacingRule::Exactly)
                s << "exact" + QString::number(p.lineSpacingTwips / 20.0);
            if (p.firstLineIndentTwips || p.leftIndentTwips)
                s << QString("indent%1/%2").arg(p.firstLineIndentTwips / 20.0).arg(p.leftIndentTwips / 20.0);
            if (p.border.visible())
                s << "paragraph border";
            list[i] += " — " + s.join(' ');
        }
        return list;
    }

    std::vector<std::shared_ptr<engine::Application>> apps;
    std::shared_ptr<engine::Document> doc;
    QString error; // the description of the error that ended the run
};

// Only U+0020 is trimmed, and a title never.
inline Article Make(const QString& title, const QString& category, const QString& content = "  正文 \t ",
                    const QString& source = " 某报  ")
{
    return {title, source, content, category};
}

// Every category of both editions, and one no edition has.
inline QVector<Article> EveryCategory()
{
    return {Make("宏一", "宏观动向"), Make("企一", "企业纵横"), Make("市一", "市场动态"), Make("综一", "综合报道", "", ""),
            Make("采一", "综信采撷"), Make("热一", "热点关注"), Make("信一", "信息综览"), Make("内一", "国内行业", " 国内 "),
            Make("际一", "国际行业", " 国际 "), Make("尾空格", "宏观动向 "), Make(" 宏二 ", "宏观动向")};
}

// A row of an obtaining transcript: whether a word processor is running
// and whether one can be created → the run's error number and its calls up
// to the first setting.
inline std::function<QString(const QString&)> ObtainingRow(const BulletinFn& bulletin)
{
    return [bulletin](const QString& row) {
        FakeBackend backend;
        backend.running = !row.contains("not running");
        backend.canCreate = !row.contains("not creatable");
        const int error = Run(backend, bulletin, EveryCategory());
        const qsizetype first = backend.log.calls.indexOf("Alignment=1");
        return QString::number(error) + ": " + backend.log.calls.mid(0, first < 0 ? -1 : first + 1).join(", ");
    };
}

// A row of a contents transcript: a title's length → the run's error and
// the contents entry under 宏观动向 (whether the run ended with it).
inline std::function<QString(const QString&)> ContentsEntryRow(const BulletinFn& bulletin)
{
    return [bulletin](const QString& length) {
        const QString title(length.toInt(), u'标');
        const Typeset run(bulletin, {Make(title, "宏观动向")});
        const QStringList p = run.paragraphs();
        const qsizetype at = p.indexOf("宏观动向") + 1;
        const QString entry = p.value(at), rest = entry.mid(4 + title.size());
        const QString shown = !entry.startsWith("    " + title) ? "«" + entry.left(10) + "»"
            : rest == QString(rest.size(), u'-') ? QString("the title and %1 dashes").arg(rest.size()) : "other";
        return (run.error.isEmpty() ? "no error" : run.error) + ", " + shown + (at == p.size() - 1 ? ", the last paragraph" : "");
    };
}

// A run on every category while the window deletes the first article and
// adds two at each yield, beside a run on the issue left alone.
struct ChangingIssueRun {
    int error = 0;
    int yields = 0;
    int refreshesBeforeFirstYield = -1;
    QString inserted, insertedUnchanged;
};
inline ChangingIssueRun RunWhileTheIssueChanges(FakeBackend& backend, const BulletinFn& bulletin,
                                                const QString& addedCategory)
{
    ChangingIssueRun result;
    FakeBackend reference;
    Run(reference, bulletin, EveryCategory());
    result.insertedUnchanged = reference.log.inserted;
    QVector<Article> issue = EveryCategory();
    result.error = Run(backend, bulletin, issue, [&] {
        if (result.yields++ == 0)
            result.refreshesBeforeFirstYield = int(backend.log.calls.count("ScreenRefresh"));
        issue.removeFirst();
        issue.append({Make("新增", "宏观动向"), Make("新增", addedCategory)});
    });
    result.inserted = backend.log.inserted;
    return result;
}

// A row of a failures transcript, "fails|missing|gone|refuses CALL" (see
// the current bulletin's test) → the run's error number, the calls that
// failed, the text left out of a run that ends normally, the last five calls.
inline std::function<QString(const QString&)> FailureRow(const BulletinFn& bulletin)
{
    FakeBackend reference;
    Run(reference, bulletin, EveryCategory());
    return [bulletin, all = reference.log.inserted](const QString& row) {
        const QString how = row.section(u' ', 0, 0), what = row.section(u' ', 1);
        FakeBackend backend;
        backend.log.missing = how == "missing" ? what : QString();
        backend.log.fails = [gone = FailFrom(what, how != "fails"), how](const QString& call) mutable {
            return how != "missing" && gone(call) && !(how == "refuses" && call == "Range.End");
        };
        const int error = Run(backend, bulletin, EveryCategory());
        const QString& got = backend.log.inserted;
        qsizetype same = 0; // what is left out lies between the start and the end both texts share
        while (same < got.size() && same < all.size() && got[same] == all[same])
            ++same;
        const QString left = all.mid(same, all.size() - got.size());
        const QString text = error ? "text cut" : all.mid(same + left.size()) == got.mid(same) ? "without «" + left + "»" : "other text";
        const QStringList& calls = backend.log.calls;
        return QString("%1, %2 failed, %3: %4").arg(error).arg(backend.log.failed).arg(text, calls.mid(calls.size() - 5).join(", "));
    };
}

} // namespace brevix::testing
