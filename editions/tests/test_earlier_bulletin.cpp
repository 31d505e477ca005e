// The earlier edition's bulletin as the built-in engine typesets it, the
// keystroke phase included.

#include "editions/contacts.h"
#include "editions/earlier_bulletin.h"
#include "generator/tests/engine_document.h"

#include <QtTest>

using namespace brevix;
using brevix::engine::Alignment;
using brevix::test::EngineRun;

namespace {

const OutputTexts Texts{"12", "345", "2003", "1", "13"};

Article Make(const QString& title, const QString& category, const QString& content = "内容",
             const QString& source = "来源")
{
    return {title, source, content, category};
}

std::unique_ptr<EngineRun> Typeset(const QVector<Article>& articles,
                                   const std::function<void(word::Backend&)>& after = {})
{
    return std::make_unique<EngineRun>([&](word::Backend& backend) {
        OutputEarlierIssueToWord(backend, articles, Texts, OfficeContacts(), {});
        if (after)
            after(backend);
    });
}

QString Dashes(int n) { return QString(n, u'-'); }
QString Entry(const QString& t) { return "    " + t + Dashes(std::max(0, 80 - 3 * int(t.size()))); }

} // namespace

class TestEarlierBulletin : public QObject {
    Q_OBJECT
private slots:
    void emptyIssueIsTheWholeFrame();
    void contentsDashes_data();
    void contentsDashes();
    void whichCategoriesAppearWhere();
    void trimmingPerSection_data();
    void trimmingPerSection();
    void overflowLeavesWhatWasTypeset();
    void keystrokePhaseSetsLatinFontAndPageNumbers();
    void foreignKeysChangeNothing();
};

void TestEarlierBulletin::emptyIssueIsTheWholeFrame()
{
    const auto run = Typeset({});
    const ContactTexts& c = OfficeContacts();
    const QStringList expected{
        "", "情 况 反 映", "第12期", "远帆联络办事处       总第345期     2003年1月13日", "（内部资料  注意保管）", "",
        "目   录", "宏观动向", "热点关注", "信息综览", "企业纵横", "行业简讯", "    国 内" + Dashes(71),
        "    国 际" + Dashes(71), "\f", "宏观动向", "", "热点关注", "", "信息综览", "", "企业纵横", "", "行业简讯",
        "国 内", "国 际", "", QString(28, u'─'), "欢迎您提宝贵意见  联系电话：" + c.phone + "  资讯协调部",
        "传真：" + c.fax, "E-mail: " + c.email, " "};
    QCOMPARE(run->paragraphs(), expected);
    QVERIFY(run->app().isVisible());

    // Closing block centred, bold, blue.
    const int rule = run->find(QString(28, u'─'));
    for (int p = rule; p <= rule + 3; ++p) {
        QCOMPARE(run->para(p).alignment, Alignment::Center);
        QCOMPARE(run->charOf(p).colorIndex, int(word::wdBlue));
        QVERIFY(run->charOf(p).bold);
        QCOMPARE(run->charOf(p).eastAsianFont, "楷体_GB2312");
    }
}

void TestEarlierBulletin::contentsDashes_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("dashes");
    QTest::newRow("10") << 10 << 50;
    QTest::newRow("26") << 26 << 2;
    QTest::newRow("27") << 27 << 0;
    QTest::newRow("10919") << 10919 << 0;
}

void TestEarlierBulletin::contentsDashes()
{
    QFETCH(int, length);
    QFETCH(int, dashes);
    const QString title(length, u'字');
    const auto run = Typeset({Make(title, "热点关注")});
    const int entry = run->find("    " + title + Dashes(dashes));
    QCOMPARE(entry, run->find("热点关注") + 1);
    QCOMPARE(run->para(entry).lineSpacingTwips, 360);
}

void TestEarlierBulletin::whichCategoriesAppearWhere()
{
    const auto run = Typeset({Make("宏", "宏观动向"), Make("热", "热点关注"), Make("信", "信息综览"),
                              Make("企", "企业纵横"), Make("内题", "国内行业", "国内事"),
                              Make("际题", "国际行业", "国际事"), Make("市", "市场动态"), Make("综", "综合报道"),
                              Make("采", "综信采撷")});
    const QStringList p = run->paragraphs();
    const int pageBreak = int(p.indexOf("\f"));
    QCOMPARE(p.mid(7, 14 - 7),
             QStringList({"宏观动向", Entry("宏"), "热点关注", Entry("热"), "信息综览", Entry("信"), "企业纵横"}));
    QCOMPARE(p.mid(14, 4), QStringList({Entry("企"), "行业简讯", Entry("国 内"), Entry("国 际")}));
    QCOMPARE(pageBreak, 18);

    const QString gap(14, u' ');
    QCOMPARE(p.mid(pageBreak + 1, 12),
             QStringList({"宏观动向", "宏", "    内容" + gap + "来源", "", "热点关注", "热", "内容" + gap + "来源", "",
                          "信息综览", "信", "内容" + gap + "来源", ""}));
    QCOMPARE(p.mid(p.indexOf("行业简讯", pageBreak), 5),
             QStringList({"行业简讯", "国 内", "※ 国内事" + gap + "来源", "国 际", "※ 国际事" + gap + "来源"}));
    // Industry articles only as "※" items; the current edition's own categories nowhere.
    for (const QString& t : QStringList{"内题", "际题", "市", "综", "采"})
        QVERIFY2(!p.contains(t) && !p.contains(Entry(t)), qPrintable(t));

    const int item = run->find("※ 国内事" + gap + "来源");
    QCOMPARE(run->charOf(item).eastAsianFont, "楷体_GB2312");
    QCOMPARE(run->para(item).firstLineIndentTwips, -432);
    QCOMPARE(run->para(item).leftIndentTwips, 432);
    const int body = run->find("内容" + gap + "来源");
    QCOMPARE(run->charOf(body).eastAsianFont, "楷体_GB2312");
    QCOMPARE(run->para(body).alignment, Alignment::Justify);
    const int heading = run->find("宏观动向", pageBreak);
    QCOMPARE(run->charOf(heading).border.style, int(word::wdLineStyleDouble));
}

void TestEarlierBulletin::trimmingPerSection_data()
{
    QTest::addColumn<QString>("category");
    QTest::addColumn<QString>("body");
    const QString gap(14, u' ');
    QTest::newRow("1 trims") << "宏观动向" << "    正文" + gap + "某报";
    QTest::newRow("2 keeps") << "热点关注" << "  正文 " + gap + "某报";
    QTest::newRow("3 keeps") << "信息综览" << "  正文 " + gap + "某报";
    QTest::newRow("4 keeps") << "企业纵横" << "  正文 " + gap + "某报";
    QTest::newRow("5 trims") << "国际行业" << "※ 正文" + gap + "某报";
}

void TestEarlierBulletin::trimmingPerSection()
{
    QFETCH(QString, category);
    QFETCH(QString, body);
    const auto run = Typeset({Make("题", category, "  正文 ", "  某报 ")});
    QVERIFY2(run->find(body) > 0, qPrintable(run->paragraphs().join('|')));
}

void TestEarlierBulletin::overflowLeavesWhatWasTypeset()
{
    const QString title(10920, u'长');
    std::unique_ptr<EngineRun> run;
    std::shared_ptr<engine::Document> document;
    try {
        EngineRun failing([&](word::Backend& backend) {
            try {
                OutputEarlierIssueToWord(backend, {Make("先", "宏观动向"), Make(title, "宏观动向")}, Texts,
                                         OfficeContacts(), {});
            } catch (...) {
                document = static_cast<builtin::BuiltinBackend&>(backend).lastDocument();
                throw;
            }
        });
        QFAIL("no overflow");
    } catch (const RuntimeError& error) {
        QCOMPARE(error.description(), "溢出");
    }
    QVERIFY(document);
    const QString text = document->text();
    QVERIFY(text.contains(Entry("先")));
    // The long title was appended before the fill overflowed; nothing followed.
    QVERIFY(text.endsWith("    " + title + "\r"));
    QVERIFY(!text.contains(u'\f'));
}

void TestEarlierBulletin::keystrokePhaseSetsLatinFontAndPageNumbers()
{
    const auto run = Typeset({Make("宏", "宏观动向", "Text 内容")});
    QVERIFY(run->doc().pageNumbers().on);
    QCOMPARE(run->doc().pageNumbers().alignment, Alignment::Center);
    // The Latin font of the whole document, the East-Asian faces untouched.
    const int body = run->find("    Text 内容" + QString(14, u' ') + "来源");
    QCOMPARE(run->charOf(body, 4).latinFont, "Times New Roman");
    QCOMPARE(run->charOf(body, 9).eastAsianFont, "楷体_GB2312");
    const int title = run->find("情 况 反 映");
    QCOMPARE(run->charOf(title).latinFont, "Times New Roman");
    QCOMPARE(run->charOf(title).eastAsianFont, "隶书");
    // The space appended after the phase is the last character.
    QVERIFY(run->doc().text().endsWith(" \r"));
}

void TestEarlierBulletin::foreignKeysChangeNothing()
{
    std::uint64_t before = 0;
    const auto run = Typeset({Make("宏", "宏观动向")}, [&](word::Backend& backend) {
        auto document = static_cast<builtin::BuiltinBackend&>(backend).lastDocument();
        before = document->revision();
        for (const QString& keys : QStringList{"%x", "zz", "%i", "q", "{ENTER}", "%oz{up}", "hello{ENTER}"})
            backend.Keys().SendKeys(keys, true);
    });
    QCOMPARE(run->doc().revision(), before);
    QCOMPARE(run->doc().pageNumbers().alignment, Alignment::Center);
}

QTEST_GUILESS_MAIN(TestEarlierBulletin)
#include "test_earlier_bulletin.moc"
