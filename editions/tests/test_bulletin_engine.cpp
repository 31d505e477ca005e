// Both editions' bulletins as the built-in engine typesets them: every
// paragraph's text (where each category's articles appear, trimming), the
// formats, the contents entries' dashes, and the earlier edition's keystroke
// phase.

#include "editions/contacts.h"
#include "editions/edition.h"
#include "engine/application.h"
#include "engine/document.h"
#include "generator/builtin_backend.h"

#include <QtTest>

using namespace brevix;

namespace {

const OutputTexts Texts{"12", "345", "2003", "1", "13"};

// Only U+0020 is trimmed, and a title never.
Article Make(const QString& title, const QString& category, const QString& content = "  正文 \t ",
             const QString& source = " 某报  ")
{
    return {title, source, content, category};
}

// A character's format and its paragraph's in one line: East-Asian font
// ("/Latin font" when that differs), size, bold, colour, underline, text
// border (style.width.colour) | alignment, exact spacing, indents
// (first line/left), paragraph border.
QString Describe(const engine::CharFormat& c, const engine::ParaFormat& p)
{
    static const QMap<int, QString> colours{{2, "blue"}, {6, "red"}, {12, "violet"}};
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
    return s.join(' ');
}

// One edition's bulletin typeset by the built-in engine, and the document it left.
struct Typeset {
    Typeset(const QString& edition, const QVector<Article>& articles)
    {
        builtin::BuiltinBackend backend;
        try {
            (edition == "Brevix" ? BrevixEdition() : Brevix2003Edition()).outputIssueToWord(backend, articles, Texts, {});
        } catch (const RuntimeError& failure) {
            error = failure.description();
        }
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
    // Each paragraph's text and the format of its first character (its mark when empty).
    QStringList formats() const
    {
        QStringList list = paragraphs();
        for (int i = 0; i < list.size(); ++i)
            list[i] += " — " + Describe(doc->charFormatAt(doc->paragraph(i).start), doc->paraFormat(i));
        return list;
    }

    std::vector<std::shared_ptr<engine::Application>> apps;
    std::shared_ptr<engine::Document> doc;
    QString error; // the description of the error that ended the run
};

QString Entry(const QString& title) { return "    " + title + QString(std::max(0, 80 - 3 * int(title.size())), u'-'); }
const QStringList Masthead{"", "情 况 反 映", "第12期", "远帆联络办事处       总第345期     2003年1月13日",
                           "（内部资料  注意保管）", ""};
const QString Rule(28, u'─');

QStringList CurrentClosing()
{
    const ContactTexts& c = OfficeContacts();
    return {Rule, "联系电话：" + c.phone + "  传真：" + c.fax, "E-mail: " + c.email + "    资讯协调部", ""};
}

QStringList EarlierClosing()
{
    const ContactTexts& c = OfficeContacts();
    return {Rule, "欢迎您提宝贵意见  联系电话：" + c.phone + "  资讯协调部", "传真：" + c.fax, "E-mail: " + c.email, " "};
}

// Every category of both editions, and one no edition has.
QVector<Article> EveryCategory()
{
    return {Make("宏一", "宏观动向"), Make("企一", "企业纵横"), Make("市一", "市场动态"), Make("综一", "综合报道", "", ""),
            Make("采一", "综信采撷"), Make("热一", "热点关注"), Make("信一", "信息综览"), Make("内一", "国内行业", " 国内 "),
            Make("际一", "国际行业", " 国际 "), Make("尾空格", "宏观动向 "), Make(" 宏二 ", "宏观动向")};
}

// A body line: lead, content, gap and the trimmed source.
QString Body(int lead, const QString& content, int gap) { return QString(lead, u' ') + content + QString(gap, u' ') + "某报"; }
const QString Trimmed = "正文 \t";
const QString AsStored = "  正文 \t ";

} // namespace

class TestBulletinEngine : public QObject {
    Q_OBJECT
private slots:
    void paragraphs_data()
    {
        QTest::addColumn<QString>("edition");
        QTest::addColumn<QVector<Article>>("articles");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("Brevix2003, empty issue")
            << "Brevix2003" << QVector<Article>{}
            << Masthead
                + QStringList{"目     录", "宏观动向", "行业动向", Entry("企业纵横"), Entry("市场动态"), Entry("综合报道"),
                              "综信采撷", "\f", "宏观动向", "", "行业动向", "企  业  纵  横", "市  场  动  态",
                              "综  合  报  道", "", "综信采撷", ""}
                + CurrentClosing();
        // Titles in list order; the industry group lists its three names
        // only; its articles are "※" items without title. Content trimmed
        // except in 综信采撷; an empty content or source keeps the lead and
        // the gap.
        QTest::newRow("Brevix2003, every category")
            << "Brevix2003" << EveryCategory()
            << Masthead
                + QStringList{"目     录", "宏观动向", Entry("宏一"), Entry(" 宏二 "), "行业动向", Entry("企业纵横"),
                              Entry("市场动态"), Entry("综合报道"), "综信采撷", Entry("采一"), "\f", "宏观动向", "宏一",
                              Body(4, Trimmed, 5), " 宏二 ", Body(4, Trimmed, 5), "", "行业动向", "企  业  纵  横",
                              "※" + Body(1, Trimmed, 4), "市  场  动  态", "※" + Body(1, Trimmed, 5), "综  合  报  道",
                              "※    ", "", "综信采撷", "采一", Body(4, AsStored, 4), ""}
                + CurrentClosing();
        QTest::newRow("Brevix, empty issue")
            << "Brevix" << QVector<Article>{}
            << Masthead
                + QStringList{"目   录", "宏观动向", "热点关注", "信息综览", "企业纵横", "行业简讯", Entry("国 内"),
                              Entry("国 际"), "\f", "宏观动向", "", "热点关注", "", "信息综览", "", "企业纵横", "",
                              "行业简讯", "国 内", "国 际", ""}
                + EarlierClosing();
        // Trimmed in sections 1 and 5 only; the current edition's own categories nowhere.
        QTest::newRow("Brevix, every category")
            << "Brevix" << EveryCategory()
            << Masthead
                + QStringList{"目   录", "宏观动向", Entry("宏一"), Entry(" 宏二 "), "热点关注", Entry("热一"), "信息综览",
                              Entry("信一"), "企业纵横", Entry("企一"), "行业简讯", Entry("国 内"), Entry("国 际"), "\f",
                              "宏观动向", "宏一", Body(4, Trimmed, 14), " 宏二 ", Body(4, Trimmed, 14), "", "热点关注",
                              "热一", Body(0, AsStored, 14), "", "信息综览", "信一", Body(0, AsStored, 14), "", "企业纵横",
                              "企一", Body(0, AsStored, 14), "", "行业简讯", "国 内", "※" + Body(1, "国内", 14), "国 际",
                              "※" + Body(1, "国际", 14), ""}
                + EarlierClosing();
    }
    void paragraphs()
    {
        QFETCH(QString, edition);
        QFETCH(QVector<Article>, articles);
        QFETCH(QStringList, expected);
        const Typeset run(edition, articles);
        QCOMPARE(run.error, QString());
        QCOMPARE(run.paragraphs(), expected);
        QVERIFY(run.apps.back()->isVisible());
    }

    // The formats come from step groups both editions share.
    void formats()
    {
        const Typeset run("Brevix2003", {Make("宏一", "宏观动向"), Make("企一", "企业纵横"), Make("采一", "综信采撷")});
        const QString kai = "楷体_GB2312";
        const QString fang = "仿宋_GB2312";
        const QStringList expected{
            // The empty paragraph above the title is as tall as the title.
            " — 隶书 42 bold red | centre",
            "情 况 反 映 — 隶书 42 bold red | centre",
            "第12期 — " + kai + " 16 bold red | centre",
            "远帆联络办事处       总第345期     2003年1月13日 — " + kai + " 16 bold red u3 | centre",
            // The notice sets neither colour nor underline: it takes what its new paragraph gives.
            "（内部资料  注意保管） — " + kai + " 14 bold | centre exact26",
            " — 黑体 16 bold | centre exact26",
            "目     录 — 黑体 16 bold | centre exact26",
            "宏观动向 — 隶书 14 bold blue | left",
            // Chinese characters keep the entry's face; Times New Roman for the rest.
            Entry("宏一") + " — " + kai + "/Times New Roman 14 | left exact18",
            "行业动向 — 隶书 14 bold blue | left",
            Entry("企业纵横") + " — " + kai + "/Times New Roman 14 | left exact18",
            Entry("市场动态") + " — " + kai + "/Times New Roman 14 | left exact18",
            Entry("综合报道") + " — " + kai + "/Times New Roman 14 | left exact18",
            "综信采撷 — 隶书 14 bold blue | left",
            Entry("采一") + " — " + kai + "/Times New Roman 14 | left exact18",
            // Paragraphs split from the final one keep the blank document's characters.
            "\f — 宋体/Times New Roman 10.5 | left exact26",
            // Section headings are boxed characters, not boxed paragraphs.
            "宏观动向 — 隶书 14 bold blue box7.4.12 | left exact26",
            "宏一 — 黑体 14 bold | centre exact26",
            Body(4, Trimmed, 5) + " — " + fang + " 14 | justify exact26",
            " — 宋体/Times New Roman 10.5 | left exact26",
            "行业动向 — 隶书 14 bold blue box7.4.12 | left exact26",
            "企  业  纵  横 — 黑体 14 bold | centre exact26",
            "※" + Body(1, Trimmed, 4) + " — " + fang + " 14 | justify exact26 indent-21.6/21.6",
            "市  场  动  态 — 黑体 14 bold | centre exact26",
            "综  合  报  道 — 黑体 14 bold | centre exact26",
            " — 宋体/Times New Roman 10.5 | left exact26",
            "综信采撷 — 隶书 14 bold blue box7.4.12 | left exact26",
            "采一 — 黑体 14 bold | centre exact26",
            Body(4, AsStored, 4) + " — " + fang + " 14 | justify exact26",
            " — " + kai + " 14 bold blue | centre exact18",
            Rule + " — " + kai + " 14 bold blue | centre exact18",
            CurrentClosing()[1] + " — " + kai + " 14 bold blue | centre exact18",
            CurrentClosing()[2] + " — " + kai + " 14 bold blue | centre exact18",
            " — 宋体/Times New Roman 10.5 | left exact18"};
        QCOMPARE(run.formats(), expected);
        // Handed over with the whole document selected.
        QCOMPARE(run.doc->selection(), (engine::Selection{0, run.doc->length()}));
    }

    // 80 - 3L dashes in 16-bit arithmetic: the current edition skips an
    // overflowing fill; the earlier one ends the run there, keeping what it
    // typeset (the title, unless already its length overflows).
    void contentsEntries()
    {
        // Dashes for a title of that length; -1: the overflow error.
        for (const auto& [edition, length, dashes] : QList<std::tuple<QString, int, int>>{
                 {"Brevix2003", 0, 80}, {"Brevix2003", 10, 50}, {"Brevix2003", 26, 2}, {"Brevix2003", 27, 0},
                 {"Brevix2003", 10920, 0}, {"Brevix2003", 40000, 0}, {"Brevix", 10, 50}, {"Brevix", 27, 0},
                 {"Brevix", 10919, 0}, {"Brevix", 10920, -1}, {"Brevix", 32768, -1}}) {
            const QString title(length, u'标');
            const Typeset run(edition, {Make(title, "宏观动向")});
            const QStringList p = run.paragraphs();
            const qsizetype entry = p.indexOf("宏观动向") + 1;
            QCOMPARE(run.error, dashes < 0 ? "溢出" : QString());
            if (dashes >= 0)
                QCOMPARE(p.value(entry), "    " + title + QString(dashes, u'-'));
            else // nothing after what was typeset
                QCOMPARE(p.mid(entry), QStringList{length < 32768 ? "    " + title : ""});
        }
    }

    // The Latin font of the whole document, East-Asian faces untouched, and
    // centred page numbers; keys outside the dialogs' grammar change nothing.
    void keystrokePhase()
    {
        const Typeset run("Brevix", {Make("宏", "宏观动向", "Text 内容")});
        QCOMPARE(run.doc->pageNumbers(), (engine::PageNumbers{true, engine::Alignment::Center}));
        const QStringList f = run.formats();
        QCOMPARE(f.value(1), "情 况 反 映 — 隶书/Times New Roman 42 bold red | centre");
        QVERIFY(f.contains(Body(4, "Text 内容", 14) + " — 楷体_GB2312/Times New Roman 14 | justify exact26"));

        const auto before = run.doc->revision();
        builtin::BuiltinBackend foreign;
        for (const char* keys : {"%x", "zz", "%i", "q", "{ENTER}", "%oz{up}", "hello{ENTER}"})
            foreign.Keys().SendKeys(keys, true);
        QCOMPARE(run.doc->revision(), before);
    }
};

QTEST_GUILESS_MAIN(TestBulletinEngine)
#include "test_bulletin_engine.moc"
