// The main window's commands, driven through the window.

#include "composer_fixture.h"
#include "editions/edition.h"
#include "model/issuefile.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>

using namespace brevix;
using namespace brevix::testing;

namespace {

const QString kNoCategory = QStringLiteral("没有选择信息类别！");
const QString kNoBody = QStringLiteral("信息内容没有输入。请输入");
const QString kNoTitle = QStringLiteral("没有输入信息标题，是否继续？");
const QString kNoSource = QStringLiteral("没有输入信息来源，是否继续？");

QStringList Texts(const ScriptedDialogs& dialogs)
{
    QStringList texts;
    for (const auto& shown : dialogs.shown)
        texts << shown.text;
    return texts;
}

} // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private slots:
    void submitChecks_data();
    void submitChecks();
    void submitQuestionsCarryTitleAndIcon();
    void trailingLineBreak_data();
    void trailingLineBreak();
    void submitWithEmptyTitleYesInEarlierEdition();
    void replaceInPlaceDuringPendingEdit();
    void editTakesArticleAndKeepsUnknownCategory();
    void listCommandsDoNothingWithoutSelection();
    void listCommandsAtBoundaries();
    void moveDownThreeTimesFollowsSelection();
    void deleteOnlyLineAndSelectsNothing();
    void doubleClickOnLineEdits();
    void pendingEditFollowsItsArticle();
    void pendingEditEndsWhenItsArticleGoes();
    void pendingEditEndsOnEditWithoutSelection();
    void pageEstimate_data();
    void pageEstimate();
    void pageEstimateHalfToEven_data();
    void pageEstimateHalfToEven();
    void noPageEstimateInEarlierEdition();
    void loadTwiceAppendsAndOffersLastPath();
    void cancelledDialogsDoNothing();
    void saveAsksBeforeOverwriting();
    void saveWithEmptyName();
    void exitCancelAndOk();
    void filesPassBetweenTheEditions();
    void outputPassesTextsUnchanged();
    void outputDisablesIssueCommandsWhileRunning();
    void outputFailureShowsErrorAndReenables();
};

void TestForm1::submitChecks_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("category");
    QTest::addColumn<QList<int>>("answers"); // 1 Yes, 0 No
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("line"); // empty: nothing stored

    const QString t = QStringLiteral("新厂区开工"), s = QStringLiteral("本报讯"), b = QStringLiteral("正文");
    QTest::newRow("no category, no body: category first") << t << s << QString() << -1 << QList<int>{}
                                                          << QStringList{kNoCategory} << QString();
    QTest::newRow("no body") << t << s << QString() << 2 << QList<int>{} << QStringList{kNoBody} << QString();
    QTest::newRow("empty title, No") << QString() << s << b << 3 << QList<int>{0} << QStringList{kNoTitle}
                                     << QString();
    QTest::newRow("empty title Yes, empty source No")
        << QString() << QString() << b << 3 << QList<int>{1, 0} << QStringList{kNoTitle, kNoSource} << QString();
    QTest::newRow("empty title Yes: category is the title")
        << QString() << s << b << 3 << QList<int>{1} << QStringList{kNoTitle}
        << QStringLiteral("综合报道----综合报道");
    QTest::newRow("empty source Yes") << t << QString() << b << 2 << QList<int>{1} << QStringList{kNoSource}
                                      << QStringLiteral("新厂区开工----市场动态");
    QTest::newRow("spaces count as filled in") << QStringLiteral("  ") << QStringLiteral(" ") << b << 0
                                               << QList<int>{} << QStringList{}
                                               << QStringLiteral("  ----宏观动向");
    QTest::newRow("complete") << t << s << b << 4 << QList<int>{} << QStringList{}
                              << QStringLiteral("新厂区开工----综信采撷");
}

void TestForm1::submitChecks()
{
    QFETCH(QString, title);
    QFETCH(QString, source);
    QFETCH(QString, body);
    QFETCH(int, category);
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, messages);
    QFETCH(QString, line);

    Composer c(Brevix2003Edition());
    for (int a : answers)
        c.dialogs.answers << (a ? Answer::Yes : Answer::No);
    c.submit(title, source, body, category);

    QCOMPARE(Texts(c.dialogs), messages);
    for (const auto& shown : c.dialogs.shown) {
        QCOMPARE(shown.title, QStringLiteral("Brevix"));
        QCOMPARE(shown.icon, Icon::None);
    }
    if (line.isEmpty()) {
        QCOMPARE(c.form->issue().ArticleCount(), 0);
        // A refused submit leaves the entry area as it was.
        QCOMPARE(c.entry().txtTitle->text(), title);
        QCOMPARE(c.entry().txtSource->text(), source);
        QCOMPARE(c.entry().rtxtWord->body(), body);
        QCOMPARE(c.entry().famClass->selected(), category);
    } else {
        QCOMPARE(c.lines(), QStringList{line});
        const Article stored = c.form->issue().article(0);
        QCOMPARE(stored.source, source);
        QCOMPARE(stored.content, body);
        QCOMPARE(stored.category, Brevix2003Edition().categories[category].name);
        QVERIFY(c.entry().txtTitle->text().isEmpty());
        QVERIFY(c.entry().txtSource->text().isEmpty());
        QVERIFY(c.entry().rtxtWord->toPlainText().isEmpty());
        QCOMPARE(c.entry().famClass->selected(), -1);
        QCOMPARE(QApplication::focusWidget(), c.entry().txtTitle);
    }
}

void TestForm1::submitQuestionsCarryTitleAndIcon()
{
    Composer c(Brevix2003Edition());
    c.dialogs.answers = {Answer::Yes, Answer::Yes};
    c.submit(QString(), QString(), QStringLiteral("x"), 1);
    QCOMPARE(c.dialogs.shown.size(), 2);
    for (const auto& shown : c.dialogs.shown)
        QCOMPARE(shown.buttons, Buttons::YesNo);
    QCOMPARE(c.lines(), QStringList{QStringLiteral("企业纵横----企业纵横")});
}

void TestForm1::trailingLineBreak_data()
{
    QTest::addColumn<QString>("typed"); // \n = Return key
    QTest::addColumn<QString>("stored");
    QTest::newRow("one line") << QStringLiteral("甲") << QStringLiteral("甲");
    QTest::newRow("inner break kept as CR LF") << QStringLiteral("甲\n乙") << QStringLiteral("甲\r\n乙");
    QTest::newRow("one trailing break dropped") << QStringLiteral("甲\n") << QStringLiteral("甲");
    QTest::newRow("two trailing breaks keep one") << QStringLiteral("甲\n\n") << QStringLiteral("甲\r\n");
    QTest::newRow("only a break: empty body") << QStringLiteral("\n") << QString();
}

void TestForm1::trailingLineBreak()
{
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    Composer c(Brevix2003Edition());
    c.submit(QStringLiteral("标题"), QStringLiteral("出处"), typed, 0);
    QVERIFY(c.dialogs.shown.isEmpty());
    QCOMPARE(c.form->issue().Contents(), QStringList{stored});
}

void TestForm1::submitWithEmptyTitleYesInEarlierEdition()
{
    Composer c(BrevixEdition());
    c.submit(QString(), QString(), QStringLiteral("x"), -1);
    QCOMPARE(Texts(c.dialogs), QStringList{kNoCategory});
    c.dialogs.shown.clear();
    c.dialogs.answers = {Answer::Yes, Answer::Yes};
    c.submit(QString(), QStringLiteral("来源"), QStringLiteral("x"), 1);
    QCOMPARE(c.lines(), QStringList{QStringLiteral("热点关注----热点关注")});
}

void TestForm1::replaceInPlaceDuringPendingEdit()
{
    Composer c(Brevix2003Edition());
    c.submit(QStringLiteral("一"), QStringLiteral("s"), QStringLiteral("b1"), 0);
    c.submit(QStringLiteral("二"), QStringLiteral("s"), QStringLiteral("b2"), 1);
    c.submit(QStringLiteral("三"), QStringLiteral("s"), QStringLiteral("b3"), 2);
    c.clickLine(1);
    c.click(QStringLiteral("cmdEdit"));
    QVERIFY(c.form->EditPending());
    // Clearing in between does not end the pending edit.
    c.click(QStringLiteral("cmdQC"));
    c.submit(QStringLiteral("二改"), QStringLiteral("新出处"), QStringLiteral("新正文"), 3);
    QCOMPARE(c.lines(), (QStringList{QStringLiteral("一----宏观动向"), QStringLiteral("二改----综合报道"),
                                     QStringLiteral("三----市场动态")}));
    QCOMPARE(c.form->issue().article(1), Art("二改", "新出处", "新正文", "综合报道"));
    QVERIFY(!c.form->EditPending());
    // The next submit appends again.
    c.submit(QStringLiteral("四"), QStringLiteral("s"), QStringLiteral("b4"), 0);
    QCOMPARE(c.form->issue().ArticleCount(), 4);
}

void TestForm1::editTakesArticleAndKeepsUnknownCategory()
{
    Composer c(Brevix2003Edition());
    c.form->issue().AddArticle(QStringLiteral("甲"), QStringLiteral("出处"), QStringLiteral("第一行\r\n第二行"),
                               QStringLiteral("热点关注"));
    // Whatever the entry area held is overwritten; the option stays as it was.
    c.type(QStringLiteral("未提交"), QString(), QStringLiteral("草稿"), 2);
    c.clickLine(0);
    c.click(QStringLiteral("cmdEdit"));
    QCOMPARE(c.entry().txtTitle->text(), QStringLiteral("甲"));
    QCOMPARE(c.entry().txtSource->text(), QStringLiteral("出处"));
    QCOMPARE(c.entry().rtxtWord->body(), QStringLiteral("第一行\r\n第二行"));
    QCOMPARE(c.entry().rtxtWord->toPlainText(), QStringLiteral("第一行\n第二行"));
    QCOMPARE(c.entry().famClass->selected(), 2);
    QVERIFY(c.form->EditPending());
    QCOMPARE(c.form->EditIndex(), 0);
    QVERIFY(c.dialogs.shown.isEmpty());
}

void TestForm1::listCommandsDoNothingWithoutSelection()
{
    for (int count : {0, 3}) {
        Composer c(Brevix2003Edition());
        for (int k = 0; k < count; ++k)
            c.form->issue().AddArticle(QString::number(k), QString(), QStringLiteral("b"), QStringLiteral("宏观动向"));
        const QStringList before = c.lines();
        for (const char* command : {"cmdEdit", "cmdDel", "cmdUp", "cmdDown"})
            c.click(QString::fromLatin1(command));
        QCOMPARE(c.lines(), before);
        QVERIFY(c.dialogs.shown.isEmpty());
        QCOMPARE(c.form->EditIndex(), -1);
        QVERIFY(!c.form->EditPending());
        QVERIFY(c.entry().txtTitle->text().isEmpty());
    }
}

void TestForm1::listCommandsAtBoundaries()
{
    struct Case {
        const char* command;
        int selected;
        QStringList lines;
        int selectedAfter;
    };
    const QList<Case> cases{
        {"cmdUp", 0, {"a", "b", "c"}, 0},
        {"cmdDown", 2, {"a", "b", "c"}, 2},
        {"cmdUp", 2, {"a", "c", "b"}, 1},
        {"cmdDown", 0, {"b", "a", "c"}, 1},
        {"cmdDel", 0, {"b", "c"}, -1},
        {"cmdDel", 2, {"a", "b"}, -1},
    };
    for (const Case& test : cases) {
        Composer c(Brevix2003Edition());
        for (const char* title : {"a", "b", "c"})
            c.form->issue().AddArticle(QString::fromLatin1(title), QStringLiteral("s"), QStringLiteral("x"),
                                       QStringLiteral("宏观动向"));
        c.clickLine(test.selected);
        c.click(QString::fromLatin1(test.command));
        QCOMPARE(c.form->issue().Titles(), test.lines);
        QStringList lines;
        for (const QString& title : test.lines)
            lines << title + QStringLiteral("----宏观动向");
        QCOMPARE(c.lines(), lines);
        QCOMPARE(c.selectedLine(), test.selectedAfter);
        QVERIFY(c.dialogs.shown.isEmpty());
    }
}

void TestForm1::moveDownThreeTimesFollowsSelection()
{
    Composer c(Brevix2003Edition());
    for (const char* title : {"a", "b", "c", "d"})
        c.form->issue().AddArticle(QString::fromLatin1(title), QString(), QStringLiteral("x"), QStringLiteral("企业纵横"));
    c.clickLine(0);
    for (int k = 0; k < 3; ++k)
        c.click(QStringLiteral("cmdDown"));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"b", "c", "d", "a"}));
    QCOMPARE(c.selectedLine(), 3);
    for (int k = 0; k < 3; ++k)
        c.click(QStringLiteral("cmdUp"));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"a", "b", "c", "d"}));
    QCOMPARE(c.selectedLine(), 0);
}

void TestForm1::deleteOnlyLineAndSelectsNothing()
{
    Composer c(Brevix2003Edition());
    c.submit(QStringLiteral("唯一"), QStringLiteral("s"), QStringLiteral("x"), 0);
    c.clickLine(0);
    c.click(QStringLiteral("cmdDel"));
    QCOMPARE(c.form->issue().ArticleCount(), 0);
    QVERIFY(c.lines().isEmpty());
    QCOMPARE(c.selectedLine(), -1);
}

void TestForm1::doubleClickOnLineEdits()
{
    Composer c(Brevix2003Edition());
    c.form->issue().AddArticle(QStringLiteral("甲"), QStringLiteral("s1"), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.form->issue().AddArticle(QStringLiteral("乙"), QStringLiteral("s2"), QStringLiteral("y"), QStringLiteral("综合报道"));
    c.doubleClickLine(1);
    QCOMPARE(c.entry().txtTitle->text(), QStringLiteral("乙"));
    QCOMPARE(c.entry().famClass->selected(), 3);
    QVERIFY(c.form->EditPending());
    QCOMPARE(c.form->EditIndex(), 1);
}

void TestForm1::pendingEditFollowsItsArticle()
{
    Composer c(Brevix2003Edition());
    for (const char* title : {"a", "b", "c", "d"})
        c.form->issue().AddArticle(QString::fromLatin1(title), QString(), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.clickLine(1);
    c.click(QStringLiteral("cmdEdit")); // takes "b"
    c.click(QStringLiteral("cmdDown"));
    c.click(QStringLiteral("cmdDown"));
    QCOMPARE(c.form->EditIndex(), 3);
    // Moving a neighbour past it moves it too.
    c.clickLine(2);
    c.click(QStringLiteral("cmdDown"));
    QCOMPARE(c.form->EditIndex(), 2);
    // Deleting an article above it.
    c.clickLine(0);
    c.click(QStringLiteral("cmdDel"));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"c", "b", "d"}));
    QCOMPARE(c.form->EditIndex(), 1);
    c.dialogs.answers = {Answer::Yes};
    c.entry().txtTitle->setText(QStringLiteral("b2"));
    c.click(QStringLiteral("cmdTJ"));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"c", "b2", "d"}));
}

void TestForm1::pendingEditEndsWhenItsArticleGoes()
{
    Composer c(Brevix2003Edition());
    for (const char* title : {"a", "b", "c"})
        c.form->issue().AddArticle(QString::fromLatin1(title), QString(), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.clickLine(2);
    c.click(QStringLiteral("cmdEdit"));
    c.clickLine(2);
    c.click(QStringLiteral("cmdDel"));
    QVERIFY(!c.form->EditPending());
    c.dialogs.answers = {Answer::Yes};
    c.click(QStringLiteral("cmdTJ"));
    // Appended, not written past the end nor over another article.
    QCOMPARE(c.form->issue().Titles(), (QStringList{"a", "b", "c"}));
    QVERIFY(!Texts(c.dialogs).join(QString()).contains(QStringLiteral("发生错误")));
}

void TestForm1::pendingEditEndsOnEditWithoutSelection()
{
    Composer c(Brevix2003Edition());
    for (const char* title : {"a", "b"})
        c.form->issue().AddArticle(QString::fromLatin1(title), QString(), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.clickLine(0);
    c.click(QStringLiteral("cmdEdit"));
    c.list()->selectionModel()->clear();
    c.click(QStringLiteral("cmdEdit"));
    QVERIFY(!c.form->EditPending());
    QCOMPARE(c.form->EditIndex(), -1);
    c.entry().txtTitle->setText(QStringLiteral("新"));
    c.dialogs.answers = {Answer::Yes};
    c.click(QStringLiteral("cmdTJ"));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"a", "b", QStringLiteral("新")}));
}

void TestForm1::pageEstimate_data()
{
    QTest::addColumn<int>("articles");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("caption");
    QTest::newRow("empty issue") << 0 << 0 << QStringLiteral("预计输入WORD后共  1  页");
    QTest::newRow("one of 290") << 1 << 290 << QStringLiteral("预计输入WORD后共  1  页");
    QTest::newRow("ten of 754") << 10 << 754 << QStringLiteral("预计输入WORD后共  11  页");
    // Far past a 16-bit sum: (2000 * 100 / 29 + 2000) / 26 + 1 = 343.2.
    QTest::newRow("bodies beyond 32767 characters") << 2000 << 100 << QStringLiteral("预计输入WORD后共  343  页");
}

void TestForm1::pageEstimate()
{
    QFETCH(int, articles);
    QFETCH(int, length);
    QFETCH(QString, caption);
    Composer c(Brevix2003Edition());
    auto* label = c.get<QLabel>(QStringLiteral("Label13"));
    QCOMPARE(label->text(), QStringLiteral("预计输入WORD后共      页"));
    QVector<Article> batch;
    for (int k = 0; k < articles; ++k)
        batch.append({QStringLiteral("t"), QString(), QString(length, QChar(0x5B57)), QStringLiteral("宏观动向")});
    c.form->issue().AppendArticles(batch);
    // Adding does not update it by itself.
    QCOMPARE(label->text(), QStringLiteral("预计输入WORD后共      页"));
    c.list()->setFocus(Qt::TabFocusReason);
    QCOMPARE(label->text(), caption);
    label->clear();
    c.entry().txtTitle->setFocus(Qt::TabFocusReason);
    QCOMPARE(label->text(), caption);
    // The label grows with its caption.
    QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(caption));
}

void TestForm1::pageEstimateHalfToEven_data()
{
    QTest::addColumn<qint64>("characters");
    QTest::addColumn<qint64>("articles");
    QTest::addColumn<qint64>("pages");
    QTest::newRow("1.5 -> 2") << qint64(0) << qint64(13) << qint64(2);
    QTest::newRow("2.5 -> 2") << qint64(0) << qint64(39) << qint64(2);
    QTest::newRow("3.5 -> 4") << qint64(0) << qint64(65) << qint64(4);
    QTest::newRow("4.5 -> 4") << qint64(0) << qint64(91) << qint64(4);
    QTest::newRow("2.5 from characters -> 2") << qint64(29 * 39) << qint64(0) << qint64(2);
    QTest::newRow("just above a half") << qint64(1) << qint64(39) << qint64(3);
}

void TestForm1::pageEstimateHalfToEven()
{
    QFETCH(qint64, characters);
    QFETCH(qint64, articles);
    QFETCH(qint64, pages);
    QCOMPARE(EstimatePages(characters, articles), pages);
}

void TestForm1::noPageEstimateInEarlierEdition()
{
    Composer c(BrevixEdition());
    QVERIFY(!c.get(QStringLiteral("Label13")));
    c.form->issue().AddArticle(QStringLiteral("t"), QString(), QStringLiteral("x"), QStringLiteral("热点关注"));
    const auto labelsBefore = c.form->findChildren<QLabel*>();
    QStringList before;
    for (QLabel* label : labelsBefore)
        before << label->text();
    c.list()->setFocus(Qt::TabFocusReason);
    c.entry().txtTitle->setFocus(Qt::TabFocusReason);
    QStringList after;
    for (QLabel* label : c.form->findChildren<QLabel*>())
        after << label->text();
    QCOMPARE(after, before);
}

void TestForm1::loadTwiceAppendsAndOffersLastPath()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("issue.owd"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        WriteIssue({Art("甲", "", "一\r\n二", "综合报道"), Art("乙", "s", "b", "热点关注")}, file);
    }
    Composer c(Brevix2003Edition());
    c.submit(QStringLiteral("先有"), QStringLiteral("s"), QStringLiteral("b"), 0);
    c.clickLine(0);
    c.click(QStringLiteral("cmdEdit"));
    c.dialogs.fileNames = {path, path};
    c.click(QStringLiteral("cmdInFile"));
    c.click(QStringLiteral("cmdInFile"));
    QCOMPARE(c.lines(), (QStringList{QStringLiteral("先有----宏观动向"), QStringLiteral("甲----综合报道"),
                                     QStringLiteral("乙----热点关注"), QStringLiteral("甲----综合报道"),
                                     QStringLiteral("乙----热点关注")}));
    QCOMPARE(c.form->issue().article(3).content, QStringLiteral("一\r\n二"));
    QCOMPARE(c.dialogs.fileRequests.size(), 2);
    QCOMPARE(c.dialogs.fileRequests[0].filter, QStringLiteral("*.owd"));
    QVERIFY(!c.dialogs.fileRequests[0].save);
    QCOMPARE(c.dialogs.fileRequests[1].initialPath, path);
    // Loading leaves the pending edit where it was.
    QVERIFY(c.form->EditPending());
    QCOMPARE(c.form->EditIndex(), 0);
    QVERIFY(c.dialogs.shown.isEmpty());
}

void TestForm1::cancelledDialogsDoNothing()
{
    Composer c(Brevix2003Edition());
    c.form->issue().AddArticle(QStringLiteral("t"), QString(), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.click(QStringLiteral("cmdInFile"));
    c.click(QStringLiteral("cmdSave"));
    QCOMPARE(c.dialogs.fileRequests.size(), 2);
    QVERIFY(c.dialogs.fileRequests[1].save);
    QVERIFY(c.dialogs.shown.isEmpty());
    QCOMPARE(c.form->issue().ArticleCount(), 1);
}

void TestForm1::saveAsksBeforeOverwriting()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("issue.owd"));
    Composer c(Brevix2003Edition());
    c.submit(QStringLiteral("甲"), QStringLiteral("s"), QStringLiteral("一\n二"), 1);
    c.dialogs.fileNames = {path};
    c.click(QStringLiteral("cmdSave"));
    QVERIFY(c.dialogs.shown.isEmpty()); // a new file is written without a question
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    QBuffer buffer;
    buffer.setData(written);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QCOMPARE(ReadIssue(buffer), QVector<Article>{Art("甲", "s", "一\r\n二", "企业纵横")});

    c.submit(QStringLiteral("乙"), QStringLiteral("s"), QStringLiteral("x"), 2);
    c.dialogs.fileNames = {path};
    c.dialogs.answers = {Answer::No};
    c.click(QStringLiteral("cmdSave"));
    QCOMPARE(c.dialogs.shown.size(), 1);
    QCOMPARE(c.dialogs.shown[0].text, QStringLiteral("是否覆盖") + path + QStringLiteral("文件？"));
    QCOMPARE(c.dialogs.shown[0].title, QStringLiteral("保存"));
    QCOMPARE(c.dialogs.shown[0].icon, Icon::Warning);
    QCOMPARE(c.dialogs.fileRequests.last().initialPath, path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
    file.close();

    c.dialogs.fileNames = {path};
    c.dialogs.answers = {Answer::Yes};
    c.click(QStringLiteral("cmdSave"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(ReadIssue(file), (QVector<Article>{Art("甲", "s", "一\r\n二", "企业纵横"), Art("乙", "s", "x", "市场动态")}));
}

void TestForm1::saveWithEmptyName()
{
    Composer c(Brevix2003Edition());
    c.dialogs.fileNames = {QString()};
    c.click(QStringLiteral("cmdSave"));
    QCOMPARE(Texts(c.dialogs), QStringList{QStringLiteral("没有输入文件名")});
}

void TestForm1::exitCancelAndOk()
{
    Composer c(Brevix2003Edition());
    c.form->issue().AddArticle(QStringLiteral("未保存"), QString(), QStringLiteral("x"), QStringLiteral("宏观动向"));
    c.dialogs.answers = {Answer::Cancel};
    c.click(QStringLiteral("cmdEXIT"));
    QCOMPARE(c.dialogs.shown.size(), 1);
    QCOMPARE(c.dialogs.shown[0].text, QStringLiteral("是否要退出本程序？"));
    QCOMPARE(c.dialogs.shown[0].buttons, Buttons::OkCancel);
    QCOMPARE(c.dialogs.shown[0].icon, Icon::Information);
    QVERIFY(c.form->isVisible());
    QCOMPARE(c.form->issue().ArticleCount(), 1);

    c.dialogs.answers = {Answer::Ok};
    c.click(QStringLiteral("cmdEXIT"));
    QCOMPARE(c.dialogs.shown.size(), 2); // no question about the unsaved issue
    QVERIFY(!c.form->isVisible());
}

void TestForm1::filesPassBetweenTheEditions()
{
    QTemporaryDir dir;
    const QString fromCurrent = dir.filePath(QStringLiteral("current.owd"));
    const QString fromEarlier = dir.filePath(QStringLiteral("earlier.owd"));
    Composer current(Brevix2003Edition());
    current.submit(QStringLiteral("甲"), QStringLiteral("s"), QStringLiteral("一"), 2);
    current.submit(QStringLiteral("乙"), QStringLiteral("s"), QStringLiteral("二"), 0);
    current.dialogs.fileNames = {fromCurrent};
    current.click(QStringLiteral("cmdSave"));

    Composer earlier(BrevixEdition());
    earlier.dialogs.fileNames = {fromCurrent};
    earlier.click(QStringLiteral("cmdInFile"));
    QCOMPARE(earlier.lines(), current.lines());
    // An article of a category this edition lacks: no option is selected, and
    // a submit without one is refused.
    earlier.clickLine(0);
    earlier.click(QStringLiteral("cmdEdit"));
    QCOMPARE(earlier.entry().famClass->selected(), -1);
    earlier.click(QStringLiteral("cmdTJ"));
    QCOMPARE(Texts(earlier.dialogs), QStringList{kNoCategory});
    QTest::mouseClick(earlier.entry().famClass->option(5), Qt::LeftButton);
    earlier.click(QStringLiteral("cmdTJ"));
    QCOMPARE(earlier.lines(), (QStringList{QStringLiteral("甲----国际行业"), QStringLiteral("乙----宏观动向")}));
    earlier.dialogs.fileNames = {fromEarlier};
    earlier.click(QStringLiteral("cmdSave"));

    Composer again(Brevix2003Edition());
    again.dialogs.fileNames = {fromEarlier};
    again.click(QStringLiteral("cmdInFile"));
    QCOMPARE(again.form->issue().snapshot(), earlier.form->issue().snapshot());
    QVERIFY(again.dialogs.shown.isEmpty());
}

void TestForm1::outputPassesTextsUnchanged()
{
    Edition edition = Brevix2003Edition();
    QList<OutputTexts> calls;
    QVector<Article> typeset;
    edition.outputIssueToWord = [&](word::Backend&, const QVector<Article>& articles, const OutputTexts& texts,
                                    const YieldFn&) {
        calls.append(texts);
        typeset = articles;
    };
    Composer c(edition);
    c.submit(QStringLiteral("甲"), QStringLiteral("s"), QStringLiteral("b"), 0);
    c.click(QStringLiteral("cmdOutWord"));
    QCOMPARE(calls.size(), 1);
    QVERIFY(calls[0].number.isEmpty() && calls[0].total.isEmpty() && calls[0].year.isEmpty() &&
            calls[0].month.isEmpty() && calls[0].day.isEmpty());

    TypeText(c.get<QLineEdit>(QStringLiteral("txtNoHZ")), QStringLiteral(" 12"));
    TypeText(c.get<QLineEdit>(QStringLiteral("txtNoSum")), QStringLiteral("345 "));
    TypeText(c.get<QComboBox>(QStringLiteral("cboYear")), QStringLiteral("2010"));
    c.get<QComboBox>(QStringLiteral("cboMonth"))->setCurrentIndex(0);
    c.get<QComboBox>(QStringLiteral("cboDay"))->setCurrentIndex(12);
    c.click(QStringLiteral("cmdOutWord"));
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[1].number, QStringLiteral(" 12"));
    QCOMPARE(calls[1].total, QStringLiteral("345 "));
    QCOMPARE(calls[1].year, QStringLiteral("2010"));
    QCOMPARE(calls[1].month, QStringLiteral("1"));
    QCOMPARE(calls[1].day, QStringLiteral("13"));
    QCOMPARE(typeset, c.form->issue().snapshot());
    QCOMPARE(c.get<QComboBox>(QStringLiteral("cboYear"))->count(), 6); // a typed year is not added
    QVERIFY(c.dialogs.shown.isEmpty());
}

void TestForm1::outputDisablesIssueCommandsWhileRunning()
{
    Edition edition = Brevix2003Edition();
    Composer* composer = nullptr;
    int runs = 0;
    QStringList disabledDuring;
    edition.outputIssueToWord = [&](word::Backend&, const QVector<Article>&, const OutputTexts&, const YieldFn& yield) {
        ++runs;
        yield();
        for (QPushButton* button : composer->form->findChildren<QPushButton*>())
            if (!button->isEnabled())
                disabledDuring << button->objectName();
        // The editor tries to change the issue and to start a second run.
        composer->clickLine(0);
        for (const char* name : {"cmdOutWord", "cmdDel", "cmdTJ", "cmdInFile", "cmdUp", "cmdDown"})
            composer->click(QString::fromLatin1(name));
        yield();
    };
    Composer c(edition);
    composer = &c;
    c.submit(QStringLiteral("a"), QStringLiteral("s"), QStringLiteral("b"), 0);
    c.submit(QStringLiteral("b"), QStringLiteral("s"), QStringLiteral("b"), 0);
    c.type(QStringLiteral("c"), QStringLiteral("s"), QStringLiteral("b"), 0);
    c.dialogs.fileNames = {QStringLiteral("/nonexistent.owd")};
    c.click(QStringLiteral("cmdOutWord"));
    QCOMPARE(runs, 1);
    disabledDuring.sort();
    QCOMPARE(disabledDuring, (QStringList{"cmdDel", "cmdDown", "cmdInFile", "cmdOutWord", "cmdTJ", "cmdUp"}));
    QCOMPARE(c.form->issue().Titles(), (QStringList{"a", "b"}));
    QVERIFY(c.dialogs.fileRequests.isEmpty());
    QVERIFY(!c.form->outputRunning());
    for (QPushButton* button : c.form->findChildren<QPushButton*>())
        QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
}

void TestForm1::outputFailureShowsErrorAndReenables()
{
    Edition edition = Brevix2003Edition();
    edition.outputIssueToWord = [](word::Backend&, const QVector<Article>&, const OutputTexts&, const YieldFn& yield) {
        yield();
        throw RuntimeError::CannotCreateObject();
    };
    Composer c(edition);
    c.click(QStringLiteral("cmdOutWord"));
    QCOMPARE(Texts(c.dialogs), QStringList{QStringLiteral("发生错误！\r\nActiveX 部件不能创建对象")});
    QCOMPARE(c.dialogs.shown[0].buttons, Buttons::Ok);
    QVERIFY(c.button(QStringLiteral("cmdOutWord"))->isEnabled());
    QVERIFY(c.button(QStringLiteral("cmdTJ"))->isEnabled());
}

QTEST_MAIN(TestForm1)
#include "test_ui_form1.moc"
