// The commands of the main window and the edit dialog, driven as an editor would.

#include "composer_fixture.h"
#include "model/issuefile.h"
#include "model/tests/failing_writes.h"
#include "ui/composer.h"

#include <QFile>
#include <QTemporaryDir>

using namespace brevix;
using namespace brevix::testing;

using faults::FileBytes;

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    void submitChecks()
    {
        const QString noCategory = "没有选择信息类别！", noBody = "信息内容没有输入。请输入",
                      noTitle = "没有输入信息标题，是否继续？", noSource = "没有输入信息来源，是否继续？";
        const QString t = "新厂区开工", s = "本报讯", b = "正文";
        struct Case {
            QString title, source, body;
            int category;
            QList<Answer> answers;
            QStringList shown;
            QString storedTitle; // empty: refused
            bool earlier = false;
        };
        const Case cases[] = {
            {t, s, "", -1, {}, {noCategory}, ""}, // the category is checked first
            {t, s, "", 2, {}, {noBody}, ""},
            {"", s, b, 3, {Answer::No}, {noTitle}, ""},
            {"", "", b, 3, {Answer::Yes, Answer::No}, {noTitle, noSource}, ""},
            {"", s, b, 3, {Answer::Yes}, {noTitle}, "综合报道"}, // the category stands in for the title
            {t, "", b, 2, {Answer::Yes}, {noSource}, t},
            {"  ", " ", b, 0, {}, {}, "  "}, // spaces count as filled in
            {t, s, b, 4, {}, {}, t},
            {"", s, b, -1, {}, {noCategory}, "", true}, // the earlier edition, with its own categories
            {"", s, b, 1, {Answer::Yes}, {noTitle}, "热点关注", true},
        };
        for (const Case& test : cases) {
            Composer c(test.earlier ? BrevixEdition() : Brevix2003Edition());
            c.dialogs.answers = test.answers;
            c.submit(test.title, test.source, test.body, test.category);
            QCOMPARE(c.texts(), test.shown);
            for (const auto& shown : c.dialogs.shown) {
                QCOMPARE(shown.title, QStringLiteral("Brevix"));
                QCOMPARE(shown.icon, Icon::None);
                QCOMPARE(shown.buttons, shown.text == noTitle || shown.text == noSource ? Buttons::YesNo : Buttons::Ok);
            }
            const bool stored = !test.storedTitle.isEmpty();
            QVector<Article> wanted;
            if (stored)
                wanted << Article{test.storedTitle, test.source, test.body, c.edition.categories[test.category].name};
            QCOMPARE(c.issue().snapshot(), wanted);
            // A refused submit leaves everything as typed; a stored one clears the entry area for the next.
            QCOMPARE(EntryTexts(c.entry()), (stored ? QStringList(3) : QStringList{test.title, test.source, test.body}));
            QCOMPARE(c.entry().famClass->selected(), stored ? -1 : test.category);
            if (stored)
                QCOMPARE(QApplication::focusWidget(), c.entry().txtTitle);
        }
    }

    void trailingLineBreak()
    {
        Composer c;
        for (const char* typed : {"甲", "甲\n乙", "甲\n", "甲\n\n", "\n"})
            c.submit("标题", "出处", typed, 0);
        QVERIFY(c.dialogs.shown.isEmpty());
        QCOMPARE(c.issue().Contents(), (QStringList{"甲", "甲\r\n乙", "甲", "甲\r\n", ""}));
    }

    void listCommandsAtBoundaries()
    {
        struct Case {
            const char* before; // one title per letter
            int selected;
            const char* command;
            const char* after;
            int selectedAfter;
        };
        const Case cases[] = {
            {"abc", 0, "cmdUp", "abc", 0},     {"abc", 2, "cmdDown", "abc", 2},   {"abc", 2, "cmdUp", "acb", 1},
            {"abc", 0, "cmdDown", "bac", 1},   {"abc", 0, "cmdDel", "bc", -1},    {"abc", 2, "cmdDel", "ab", -1},
            {"a", 0, "cmdDel", "", -1},        {"abc", -1, "cmdUp", "abc", -1},   {"abc", -1, "cmdDown", "abc", -1},
            {"abc", -1, "cmdDel", "abc", -1},  {"abc", -1, "cmdEdit", "abc", -1}, {"", -1, "cmdDel", "", -1},
        };
        for (const Case& test : cases) {
            Composer c;
            c.add(QString(test.before).split(QString(), Qt::SkipEmptyParts));
            if (test.selected >= 0)
                c.clickLine(test.selected);
            c.click(test.command);
            const auto state = [&](const QString& titles, int selected) {
                return QString("%1 on line %2 of %3: %4, line %5 selected")
                    .arg(test.command).arg(test.selected).arg(test.before, titles).arg(selected);
            };
            QCOMPARE(state(c.issue().Titles().join(""), c.selectedLine()), state(test.after, test.selectedAfter));
            QVERIFY(c.dialogs.shown.isEmpty() && !c.form->EditPending() && c.entry().txtTitle->text().isEmpty());
        }
    }

    void pendingEditFollowsItsArticle()
    {
        Composer c;
        c.add({"a", "b", "c", "d"});
        c.onLine(1, "cmdEdit"); // takes "b"
        c.click("cmdDown");
        c.click("cmdDown");
        QCOMPARE(c.form->EditIndex(), 3);
        c.onLine(2, "cmdDown"); // a neighbour moved past it moves it too
        QCOMPARE(c.form->EditIndex(), 2);
        c.onLine(2, "cmdUp"); // up, itself and a neighbour
        QCOMPARE(c.form->EditIndex(), 1);
        c.onLine(2, "cmdUp");
        QCOMPARE(c.form->EditIndex(), 2);
        c.onLine(0, "cmdDel"); // and so does deleting an article above it
        QCOMPARE(c.form->EditIndex(), 1);
        c.click("cmdQC"); // clearing in between keeps the pending edit
        c.submit("b2", "新出处", "新正文", 3);
        QCOMPARE(c.issue().article(1), (Article{"b2", "新出处", "新正文", "综合报道"}));
        QCOMPARE(c.issue().Titles(), (QStringList{"c", "b2", "d"}));
        // Deleting its article, or the edit command with nothing selected, ends
        // it: the next submit appends instead of writing over another article.
        c.clickLine(1, true); // a double click on a line edits it too
        QCOMPARE(c.form->EditIndex(), 1);
        c.click("cmdDel");
        c.click("cmdTJ");
        c.onLine(0, "cmdEdit");
        c.list()->selectionModel()->clear();
        c.click("cmdEdit");
        QVERIFY(!c.form->EditPending());
        c.click("cmdTJ");
        QCOMPARE(c.issue().Titles(), (QStringList{"c", "d", "b2", "c"}));
        QVERIFY(c.dialogs.shown.isEmpty());
    }

    // The estimate shows when the title list takes the focus and stays when
    // it leaves, read as a screen reader does (the label's live text is its
    // accessible name); far past a 16-bit sum: (200000 / 29 + 2000) / 26 + 1.
    void pageEstimate()
    {
        Composer c;
        auto* label = c.get<QLabel>("Label13");
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(label);
        c.issue().AppendArticles(QVector<Article>(2000, {"t", "", QString(100, u'字'), "宏观动向"}));
        QCOMPARE(read->text(QAccessible::Name), QStringLiteral("预计输入WORD后共      页")); // not on adding
        const QString caption = QStringLiteral("预计输入WORD后共  343  页");
        QVERIFY(AccessibleAction(c.list(), QAccessibleActionInterface::setFocusAction()));
        QCOMPARE(read->text(QAccessible::Name), caption);
        label->clear();
        c.entry().txtTitle->setFocus(Qt::TabFocusReason);
        QCOMPARE(read->text(QAccessible::Name), caption);
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(caption));
        // Characters, articles, pages: worked values, then halves to even
        // (1.5, 2.5, 3.5, 4.5, 2.5 from characters, just above a half).
        const qint64 cases[][3] = {{0, 0, 1}, {290, 1, 1}, {7540, 10, 11}, {0, 13, 2}, {0, 39, 2},
                                   {0, 65, 4}, {0, 91, 4}, {29 * 39, 0, 2}, {1, 39, 3}};
        for (const auto& test : cases)
            QCOMPARE(EstimatePages(test[0], test[1]), test[2]);
    }

    void saveAsksBeforeOverwriting()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("issue.owd");
        Composer c;
        c.submit("甲", "s", "一\n二", 1);
        c.dialogs.fileNames = {std::nullopt, QString(), path}; // cancelled, no name, a new file
        for (int k = 0; k < 3; ++k)
            c.click("cmdSave");
        QCOMPARE(c.texts(), QStringList{"没有输入文件名"});
        const QByteArray written = FileBytes(path);
        c.submit("乙", "s", "x", 2);
        c.dialogs.fileNames = {path, path};
        c.dialogs.answers = {Answer::No, Answer::Yes};
        c.click("cmdSave");
        QCOMPARE(FileBytes(path), written); // No writes nothing
        c.click("cmdSave");
        QCOMPARE(c.texts().mid(1), QStringList(2, "是否覆盖" + path + "文件？"));
        QCOMPARE(c.dialogs.shown[1].title, QStringLiteral("保存"));
        QCOMPARE(c.dialogs.shown[1].icon, Icon::Warning);
        QCOMPARE(c.dialogs.shown[1].buttons, Buttons::YesNo);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(ReadIssue(file), (QVector<Article>{{"甲", "s", "一\r\n二", "企业纵横"}, {"乙", "s", "x", "市场动态"}}));
    }

    // Saved by one edition, loaded twice (appending) by the other; the
    // dialog offers the last path again.
    void filesPassBetweenTheEditions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.owd");
        Composer current;
        current.submit("甲", "s", "一\n二", 2);
        current.submit("乙", "s", "三", 0);
        current.dialogs.fileNames = {path};
        current.click("cmdSave");
        Composer earlier(BrevixEdition());
        earlier.click("cmdInFile"); // cancelled: loads nothing, shows nothing
        earlier.dialogs.fileNames = {path, path};
        earlier.click("cmdInFile");
        earlier.click("cmdInFile");
        QCOMPARE(earlier.issue().snapshot(), current.issue().snapshot() + current.issue().snapshot());
        QCOMPARE(earlier.dialogs.fileRequests[0].filter, QStringLiteral("*.owd"));
        QCOMPARE(earlier.dialogs.fileRequests[2].initialPath, path);
        // Editing an article of a category the edition lacks keeps the options as they were.
        earlier.type("未提交", "", "草稿", 3);
        earlier.onLine(0, "cmdEdit");
        QCOMPARE(EntryTexts(earlier.entry()), (QStringList{"甲", "s", "一\r\n二"}));
        QCOMPARE(earlier.entry().rtxtWord->toPlainText(), QStringLiteral("一\n二"));
        QCOMPARE(earlier.entry().famClass->selected(), 3);
        QVERIFY(current.dialogs.shown.isEmpty() && earlier.dialogs.shown.isEmpty());
    }

    void issueFilesGivenAtStart()
    {
        QTemporaryDir dir;
        const QVector<Article> good{{"甲", "s", "一\r\n二", "企业纵横"}, {"乙", "", "三", "市场动态"}};
        const QString goodPath = dir.filePath("good.owd"), badPath = dir.filePath("bad.owd");
        QFile file(goodPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        WriteIssue(good, file);
        file.close();
        // Announces three articles and holds one: its first article must not stay behind.
        QFile bad(badPath);
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(ToCodePage936("\"3\"\r\n\"甲\"\r\n\"s\"\r\n\"x\"\r\n\"企业纵横\"\r\n"));
        bad.close();

        const struct {
            QStringList paths;
            QVector<Article> loaded;
            int errorBoxes;
        } cases[] = {
            {{goodPath}, good, 0},
            {{badPath}, {}, 1},
            {{goodPath, badPath, goodPath}, good + good, 1},
        };
        for (const auto& test : cases) {
            Composer c;
            c.form->OpenIssueFiles(test.paths);
            QCOMPARE(c.issue().snapshot(), test.loaded);
            QCOMPARE(c.list()->model()->rowCount(), test.loaded.size());
            QCOMPARE(c.texts().size(), test.errorBoxes);
            for (const QString& text : c.texts())
                QVERIFY2(text.startsWith("发生错误\r"), qPrintable(text)); // the load command's box
            c.click("cmdInFile"); // the file dialog offers the file named last, as after a load
            QCOMPARE(c.dialogs.fileRequests.last().initialPath, test.paths.last());
        }
    }

    void startArguments()
    {
        using Kind = StartRequest::Kind;
        const struct {
            std::vector<const char*> argv;
            Kind kind;
            QStringList files;
            QString badOption;
        } cases[] = {
            {{"brevix2003"}, Kind::Compose, {}, {}},
            {{"brevix2003", "b.owd", "", "期刊 a.owd"}, Kind::Compose, {"b.owd", "期刊 a.owd"}, {}},
            {{"brevix2003", "-x", "a.owd", "--version"}, Kind::Version, {}, {}},
            {{"brevix2003", "a.owd", "-h"}, Kind::Help, {}, {}},
            {{"brevix2003", "--", "--help", "-x.owd"}, Kind::Compose, {"--help", "-x.owd"}, {}},
            {{"brevix2003", "a.owd", "--bogus", "-x"}, Kind::BadOption, {"a.owd"}, "--bogus"},
        };
        for (const auto& test : cases) {
            const StartRequest request = ParseStartArguments(int(test.argv.size()), test.argv.data());
            QCOMPARE(request.kind, test.kind);
            if (test.kind == Kind::Compose)
                QCOMPARE(request.issueFiles, test.files);
            QCOMPARE(request.badOption, test.badOption);
        }
    }

    void exitCancelAndOk()
    {
        Composer c;
        c.add({"未保存"});
        c.dialogs.answers = {Answer::Cancel, Answer::Ok};
        c.click("cmdEXIT");
        QVERIFY(c.form->isVisible());
        c.click("cmdEXIT");
        QVERIFY(!c.form->isVisible());
        QCOMPARE(c.texts(), QStringList(2, "是否要退出本程序？")); // no question about the unsaved issue
        QCOMPARE(c.dialogs.shown[0].buttons, Buttons::OkCancel);
        QCOMPARE(c.dialogs.shown[0].icon, Icon::Information);
    }

    void outputReadsTheTextsAndLocksTheIssue()
    {
        // While the bulletin is typeset, what would change the issue or start a
        // second run is off; it comes back when the run ends, also by a failure.
        for (bool fails : {false, true}) {
            Edition edition = Brevix2003Edition();
            Composer* composer = nullptr;
            QList<QStringList> runs;
            QVector<Article> typeset;
            QStringList disabled;
            edition.outputIssueToWord = [&](word::Backend&, const QVector<Article>& articles, const OutputTexts& t,
                                            const YieldFn& yield) {
                runs << QStringList{t.number, t.total, t.year, t.month, t.day};
                typeset = articles;
                yield();
                for (QPushButton* button : composer->form->findChildren<QPushButton*>())
                    if (!button->isEnabled())
                        disabled << button->objectName();
                composer->clickLine(0); // the editor tries to change the issue and to start a second run
                for (const char* name : {"cmdOutWord", "cmdDel", "cmdTJ", "cmdInFile", "cmdUp", "cmdDown"})
                    composer->click(name);
                yield();
                if (fails)
                    throw RuntimeError::CannotCreateObject();
            };
            Composer c(edition);
            composer = &c;
            c.add({"a", "b"});
            c.type("c", "s", "x", 0);
            TypeText(c.get("txtNoHZ"), " 12");
            TypeText(c.get("txtNoSum"), "345 ");
            TypeText(c.get("cboYear"), "2010");
            c.get<QComboBox>("cboMonth")->setCurrentIndex(0);
            c.get<QComboBox>("cboDay")->setCurrentIndex(12);
            c.click("cmdOutWord");
            QCOMPARE(runs, (QList<QStringList>{{" 12", "345 ", "2010", "1", "13"}}));
            QCOMPARE(typeset, c.issue().snapshot());
            QCOMPARE(c.issue().Titles(), (QStringList{"a", "b"}));
            QCOMPARE(c.get<QComboBox>("cboYear")->count(), 6); // a typed year is not added
            disabled.sort();
            QCOMPARE(disabled, (QStringList{"cmdDel", "cmdDown", "cmdInFile", "cmdOutWord", "cmdTJ", "cmdUp"}));
            QCOMPARE(c.texts(), fails ? QStringList{"发生错误！\r\nActiveX 部件不能创建对象"} : QStringList());
            for (QPushButton* button : c.form->findChildren<QPushButton*>())
                QVERIFY2(button->isEnabled(), qPrintable(button->objectName()));
        }
    }

    void editDialogRoundTrip()
    {
        for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
            Composer c(*edition);
            const int last = c.entry().famClass->count() - 1;
            c.type("标题", "出处", "第一行\n第二行", last);
            QPointer<Form2> dialog = c.openDialog();
            QVERIFY(dialog && dialog->isVisible() && !c.form->isVisible()); // the main window hidden meanwhile
            QCOMPARE(EntryTexts(dialog->entry()), (QStringList{"标题", "出处", "第一行\r\n第二行"}));
            QCOMPARE(dialog->entry().famClass->selected(), last);
            // Changed there (the option through the accessibility layer) and handed back by "编辑完成":
            // texts past Qt's default length limit and a body with no-break spaces, whole.
            const QString title = QString(40000, u'题'), source = QString(40000, u'源');
            dialog->entry().txtTitle->setText(title);
            dialog->entry().txtSource->setText(source);
            dialog->entry().rtxtWord->setBody("甲\u00a0\r\n\r\n乙\u00a0乙");
            QVERIFY(AccessibleAction(dialog->entry().famClass->option(1), QAccessibleActionInterface::toggleAction()));
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdTJ"), Qt::LeftButton);
            QTRY_VERIFY(dialog.isNull()); // closed, not kept
            const QStringList handedBack{title, source, "甲\u00a0\r\n\r\n乙\u00a0乙"};
            QVERIFY(c.form->isVisible());
            QCOMPARE(EntryTexts(c.entry()), handedBack);
            QCOMPARE(c.entry().famClass->selected(), 1);
            QCOMPARE(c.issue().ArticleCount(), 0); // the issue waits for the main window's submit
            // The close button hands nothing back.
            dialog = c.openDialog();
            QVERIFY(dialog);
            dialog->entry().txtTitle->setText("改了");
            QTest::mouseClick(dialog->entry().famClass->option(0), Qt::LeftButton);
            dialog->close();
            QVERIFY(c.form->isVisible());
            QCOMPARE(EntryTexts(c.entry()), handedBack);
            QCOMPARE(c.entry().famClass->selected(), 1);
            // Every opening loads afresh; cleared there, the main window keeps its category.
            dialog = c.openDialog();
            QVERIFY(dialog);
            QCOMPARE(EntryTexts(dialog->entry()), handedBack);
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdQC"), Qt::LeftButton);
            QCOMPARE(EntryTexts(dialog->entry()), QStringList(3));
            QCOMPARE(dialog->entry().famClass->selected(), -1);
            QCOMPARE(EntryTexts(c.entry()), handedBack); // untouched by the dialog's clear
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdTJ"), Qt::LeftButton);
            QCOMPARE(EntryTexts(c.entry()), QStringList(3));
            QCOMPARE(c.entry().famClass->selected(), 1);
            // Submitted and taken back by the edit command, still whole.
            c.entry().txtTitle->setText(title);
            c.entry().txtSource->setText(source);
            c.entry().rtxtWord->setBody(handedBack[2]);
            c.click("cmdTJ");
            QCOMPARE(c.issue().Titles(), QStringList{title});
            c.onLine(0, "cmdEdit");
            QCOMPARE(EntryTexts(c.entry()), handedBack);
            QVERIFY(c.dialogs.shown.isEmpty());
        }
    }
};

QTEST_MAIN(TestCommands)
#include "test_ui_commands.moc"
