// The current edition's bulletin as the built-in engine typesets it: texts,
// fonts, paragraphs and where each category's articles appear.

#include "generator/bulletin.h"
#include "generator/tests/engine_document.h"

#include <QtTest>

using namespace brevix;
using brevix::engine::Alignment;
using brevix::test::EngineRun;

namespace {

const ContactTexts Contacts{"010-68392751", "010-68392753", "zixun@yflb.org.cn"};

Article Make(const QString& title, const QString& category, const QString& content = "内容",
             const QString& source = "来源")
{
    return {title, source, content, category};
}

std::unique_ptr<EngineRun> Typeset(const QVector<Article>& articles,
                                   const OutputTexts& texts = {"12", "345", "2003", "1", "13"})
{
    return std::make_unique<EngineRun>(
        [&](word::Backend& backend) { OutputIssueToWord(backend, articles, texts, Contacts, {}); });
}

QString Dashes(int n) { return QString(n, u'-'); }

} // namespace

class TestBulletinEngine : public QObject {
    Q_OBJECT
private slots:
    void emptyIssueIsTheWholeFrame();
    void masthead();
    void emptyInputs();
    void contentsEntries_data();
    void contentsEntries();
    void whichCategoriesAppearWhere();
    void sectionFormats();
    void bodyLinesAndTrimming_data();
    void bodyLinesAndTrimming();
    void contentWithLineBreaks();
    void closingBlock();
    void documentClosedWhileTypesetting();
};

void TestBulletinEngine::emptyIssueIsTheWholeFrame()
{
    const auto run = Typeset({});
    const QStringList expected{
        "", "情 况 反 映", "第12期", "远帆联络办事处       总第345期     2003年1月13日", "（内部资料  注意保管）", "",
        "目     录", "宏观动向", "行业动向", "    企业纵横" + Dashes(68), "    市场动态" + Dashes(68),
        "    综合报道" + Dashes(68), "综信采撷", "\f", "宏观动向", "", "行业动向", "企  业  纵  横",
        "市  场  动  态", "综  合  报  道", "", "综信采撷", "", QString(28, u'─'),
        "联系电话：010-68392751  传真：010-68392753", "E-mail: zixun@yflb.org.cn    资讯协调部", ""};
    QCOMPARE(run->paragraphs(), expected);
    QVERIFY(run->app().isVisible());
    // Handed over with the whole document selected.
    QCOMPARE(run->doc().selection().start, 0);
    QCOMPARE(run->doc().selection().end, run->doc().length());
}

void TestBulletinEngine::masthead()
{
    const auto run = Typeset({});
    for (int p = 0; p <= 6; ++p)
        QCOMPARE(run->para(p).alignment, Alignment::Center);

    // The empty paragraph above the title is as tall as the title.
    QCOMPARE(run->markOf(0).halfPoints, 84);
    const auto& title = run->charOf(1);
    QCOMPARE(title.eastAsianFont, "隶书");
    QCOMPARE(title.halfPoints, 84);
    QVERIFY(title.bold);
    QCOMPARE(title.colorIndex, int(word::wdRed));

    const auto& number = run->charOf(2);
    QCOMPARE(number.eastAsianFont, "楷体_GB2312");
    QCOMPARE(number.halfPoints, 32);
    QCOMPARE(number.colorIndex, int(word::wdRed));
    QCOMPARE(number.underline, 0);

    const auto& office = run->charOf(3);
    QCOMPARE(office.halfPoints, 32);
    QCOMPARE(office.underline, int(word::wdUnderlineDouble));
    QCOMPARE(office.colorIndex, int(word::wdRed));

    // The notice sets neither colour nor underline: it starts a new paragraph
    // and takes what that paragraph gives.
    const auto& notice = run->charOf(4);
    QCOMPARE(notice.eastAsianFont, "楷体_GB2312");
    QCOMPARE(notice.halfPoints, 28);
    QVERIFY(notice.bold);
    QCOMPARE(notice.colorIndex, 0);
    QCOMPARE(notice.underline, 0);

    // Exact 26 from the notice to the contents heading.
    for (int p = 4; p <= 6; ++p) {
        QCOMPARE(run->para(p).lineSpacingRule, engine::LineSpacingRule::Exactly);
        QCOMPARE(run->para(p).lineSpacingTwips, 520);
    }
    QCOMPARE(run->para(3).lineSpacingRule, engine::LineSpacingRule::Single);
    QCOMPARE(run->charOf(6).eastAsianFont, "黑体");
    QCOMPARE(run->charOf(6).halfPoints, 32);
}

void TestBulletinEngine::emptyInputs()
{
    const auto run = Typeset({}, {});
    QCOMPARE(run->paragraphs().mid(2, 2), QStringList({"第期", "远帆联络办事处       总第期     年月日"}));
}

void TestBulletinEngine::contentsEntries_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("dashes");
    QTest::newRow("0") << 0 << 80;
    QTest::newRow("10") << 10 << 50;
    QTest::newRow("26") << 26 << 2;
    QTest::newRow("27") << 27 << 0;
}

void TestBulletinEngine::contentsEntries()
{
    QFETCH(int, length);
    QFETCH(int, dashes);
    const QString title(length, u'标');
    const auto run = Typeset({Make(title, "宏观动向")});
    const int entry = run->find("    " + title + Dashes(dashes));
    QCOMPARE(entry, run->find("宏观动向") + 1);
    QCOMPARE(run->para(entry).alignment, Alignment::Left);
    QCOMPARE(run->para(entry).lineSpacingTwips, 360);
    // Chinese characters keep the entry's face; spaces and dashes are Times New Roman.
    const auto& text = run->charOf(entry, 4);
    if (length > 0) {
        QCOMPARE(text.eastAsianFont, "楷体_GB2312");
        QCOMPARE(text.latinFont, "Times New Roman");
        QCOMPARE(text.halfPoints, 28);
    }
    QCOMPARE(run->charOf(entry, 0).latinFont, "Times New Roman");

    const int heading = run->find("宏观动向");
    const auto& h = run->charOf(heading);
    QCOMPARE(h.eastAsianFont, "隶书");
    QCOMPARE(h.colorIndex, int(word::wdBlue));
    QVERIFY(h.bold);
    QCOMPARE(run->para(heading).alignment, Alignment::Left);
}

void TestBulletinEngine::whichCategoriesAppearWhere()
{
    const auto run = Typeset({Make("宏一", "宏观动向"), Make("企一", "企业纵横"), Make("市一", "市场动态"),
                              Make("综一", "综合报道"), Make("采一", "综信采撷"), Make("热一", "热点关注"),
                              Make("尾空格", "宏观动向 "), Make("宏二", "宏观动向"), Make("采二", "综信采撷")});
    const QStringList p = run->paragraphs();
    const int pageBreak = int(p.indexOf("\f"));
    const QStringList contents = p.mid(0, pageBreak);
    const QStringList sections = p.mid(pageBreak);

    auto entry = [](const QString& t) { return "    " + t + Dashes(80 - 3 * int(t.size())); };
    // Contents: titles in list order under their group; the industry group lists its three names only.
    const int macro = int(contents.indexOf("宏观动向"));
    QCOMPARE(contents.mid(macro, 4), QStringList({"宏观动向", entry("宏一"), entry("宏二"), "行业动向"}));
    const int digest = int(contents.indexOf("综信采撷"));
    QCOMPARE(contents.mid(digest), QStringList({"综信采撷", entry("采一"), entry("采二")}));
    for (const QString& t : QStringList{"企一", "市一", "综一", "热一", "尾空格"})
        QVERIFY2(!run->doc().text().contains(entry(t)), qPrintable(t));

    // Sections: titled entries for the first and last, "※" items without title in between.
    QCOMPARE(sections.mid(sections.indexOf("宏观动向"), 6),
             QStringList({"宏观动向", "宏一", "    内容     来源", "宏二", "    内容     来源", ""}));
    QCOMPARE(sections.mid(sections.indexOf("企  业  纵  横"), 6),
             QStringList({"企  业  纵  横", "※ 内容    来源", "市  场  动  态", "※ 内容     来源",
                          "综  合  报  道", "※ 内容   来源"}));
    QCOMPARE(sections.mid(sections.indexOf("综信采撷"), 5),
             QStringList({"综信采撷", "采一", "    内容    来源", "采二", "    内容    来源"}));
    for (const QString& t : QStringList{"企一", "市一", "综一", "热一", "尾空格"})
        QVERIFY2(!sections.contains(t), qPrintable(t));
    QVERIFY(!run->doc().text().contains("热一"));
    QVERIFY(!run->doc().text().contains("尾空格"));
}

void TestBulletinEngine::sectionFormats()
{
    const auto run = Typeset({Make("宏一", "宏观动向"), Make("企一", "企业纵横")});
    const int pageBreak = run->find("\f");
    QCOMPARE(run->para(pageBreak).lineSpacingTwips, 520);

    // Section heading: boxed characters, not a boxed paragraph.
    const int heading = run->find("宏观动向", pageBreak);
    const auto& h = run->charOf(heading);
    QCOMPARE(h.eastAsianFont, "隶书");
    QCOMPARE(h.colorIndex, int(word::wdBlue));
    QCOMPARE(h.border.style, int(word::wdLineStyleDouble));
    QCOMPARE(h.border.colorIndex, int(word::wdViolet));
    QCOMPARE(h.border.width, int(word::wdLineWidth050pt));
    QVERIFY(!run->para(heading).border.visible());
    QCOMPARE(run->para(heading).alignment, Alignment::Left);
    QVERIFY(!run->charOf(heading + 1).border.visible());

    // Titled entry: centred bold title, justified body.
    QCOMPARE(run->para(heading + 1).alignment, Alignment::Center);
    QCOMPARE(run->charOf(heading + 1).eastAsianFont, "黑体");
    QVERIFY(run->charOf(heading + 1).bold);
    QCOMPARE(run->para(heading + 2).alignment, Alignment::Justify);
    QCOMPARE(run->charOf(heading + 2, 4).eastAsianFont, "仿宋_GB2312");
    QCOMPARE(run->charOf(heading + 2, 4).halfPoints, 28);
    for (int p = heading; p <= heading + 3; ++p)
        QCOMPARE(run->para(p).lineSpacingTwips, 520);

    // Bulleted entry: hanging indent of 0.3 inch.
    const int item = run->find("※ 内容    来源");
    QCOMPARE(run->para(item).firstLineIndentTwips, -432);
    QCOMPARE(run->para(item).leftIndentTwips, 432);
    QCOMPARE(run->para(item).alignment, Alignment::Justify);
    QCOMPARE(run->para(item).lineSpacingTwips, 520);
    QCOMPARE(run->charOf(item).eastAsianFont, "仿宋_GB2312");
    const int sub = run->find("企  业  纵  横");
    QCOMPARE(run->para(sub).alignment, Alignment::Center);
    QCOMPARE(run->charOf(sub).eastAsianFont, "黑体");
    QCOMPARE(run->para(sub).firstLineIndentTwips, 0);
}

void TestBulletinEngine::bodyLinesAndTrimming_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("body");
    // Content "  正文 \t " and source " 某报  ": only U+0020 is trimmed.
    QTest::newRow("宏观动向") << "宏观动向" << "    正文 \t     某报";
    QTest::newRow("企业纵横") << "企业纵横" << "※ 正文 \t    某报";
    QTest::newRow("市场动态") << "市场动态" << "※ 正文 \t     某报";
    QTest::newRow("综合报道") << "综合报道" << "※ 正文 \t   某报";
    QTest::newRow("综信采撷: content as stored") << "综信采撷" << "      正文 \t     某报";
}

void TestBulletinEngine::bodyLinesAndTrimming()
{
    QFETCH(QString, category);
    QFETCH(QString, body);
    const auto run = Typeset({Make(" 标题 ", category, "  正文 \t ", " 某报  ")});
    QVERIFY2(run->find(body) > 0, qPrintable(run->paragraphs().join('|')));
    // A title is never trimmed.
    if (category == "宏观动向" || category == "综信采撷")
        QCOMPARE(run->find(" 标题 ") + 1, run->find(body));

    // An empty source keeps its separator; an empty content keeps the lead.
    const auto empty = Typeset({Make("题", "企业纵横", "", "")});
    QVERIFY(empty->find("※ " + QString(4, u' ')) > 0);
}

void TestBulletinEngine::contentWithLineBreaks()
{
    const auto run = Typeset({Make("题", "综信采撷", "第一段\r\n第二段", "报")});
    const int first = run->find("    第一段");
    QVERIFY(first > 0);
    QCOMPARE(run->paragraphs().value(first + 1), "第二段    报");
    QCOMPARE(run->para(first + 1).alignment, Alignment::Justify);
    QCOMPARE(run->charOf(first + 1).eastAsianFont, "仿宋_GB2312");
}

void TestBulletinEngine::closingBlock()
{
    const auto run = Typeset({});
    const int rule = run->find(QString(28, u'─'));
    for (int p = rule - 1; p <= rule + 2; ++p) {
        QCOMPARE(run->para(p).alignment, Alignment::Center);
        QCOMPARE(run->markOf(p).eastAsianFont, "楷体_GB2312");
        QCOMPARE(run->markOf(p).colorIndex, int(word::wdBlue));
        QVERIFY(run->markOf(p).bold);
        QCOMPARE(run->markOf(p).halfPoints, 28);
    }
    QCOMPARE(run->charOf(rule + 1, 0).colorIndex, int(word::wdBlue));
}

// The editor closes the document window while the generator yields: the run
// ends with one error instead of pretending the bulletin was typeset.
void TestBulletinEngine::documentClosedWhileTypesetting()
{
    int yields = 0;
    int errors = 0;
    try {
        EngineRun run([&](word::Backend& backend) {
            auto& builtinBackend = static_cast<builtin::BuiltinBackend&>(backend);
            OutputIssueToWord(backend, {Make("宏一", "宏观动向"), Make("宏二", "宏观动向")}, {}, Contacts, [&] {
                if (yields++ == 0) {
                    auto document = builtinBackend.lastDocument();
                    document->application()->closeDocument(*document);
                }
            });
        });
    } catch (const RuntimeError&) {
        ++errors;
    }
    QCOMPARE(errors, 1);
    QCOMPARE(yields, 1);
}

QTEST_GUILESS_MAIN(TestBulletinEngine)
#include "test_bulletin_engine.moc"
