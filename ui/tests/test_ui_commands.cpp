// The commands of the main window and the edit dialog, driven as an editor
// would; both windows of both editions as a screen reader or an automation
// tool finds them, what they show at start, that no caption is cut off; and
// the real message boxes.

#include "composer_fixture.h"
#include "engine/tests/golden.h"
#include "model/issuefile.h"
#include "model/tests/files.h"
#include "ui/composer.h"
#include "ui/qtdialogs.h"

#include <QAccessibleValueInterface>
#include <QFile>
#include <QMessageBox>
#include <QStyle>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

using namespace brevix;
using namespace brevix::testing;

using faults::FileBytes;

namespace {

bool Named(QWidget* control) { return !control->objectName().isEmpty() && !control->objectName().startsWith("qt_"); }

// Every named control of a window shows all of its caption; automation
// tools find it by its name. Adds the window to `rows` as its layout: its
// name as read out and client size, then each control: its stop of the Tab
// key, counted from where the cursor is when the window opens ("-": none),
// kind, caption (a date box: its list, and whether it takes typing) and
// rectangle in pixels (15 twips each; a label takes the size of its caption).
void CheckControls(QWidget* window, QStringList& rows)
{
    QList<QWidget*> stops;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if (w->window() == window && w->focusPolicy() & Qt::TabFocus && Named(w))
            stops << w;
    std::rotate(stops.begin(), std::find(stops.begin(), stops.end(), window->focusWidget()), stops.end());
    rows << QString("%1 \"%2\" %3x%4").arg(window->objectName(), QAccessible::queryAccessibleInterface(window)->text(QAccessible::Name))
                .arg(window->width()).arg(window->height());
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QString name = control->objectName();
        if (!Named(control))
            continue;
        QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Description), name);
        const QFontMetrics metrics(control->font());
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(control))
            needed = metrics.horizontalAdvance(label->text());
        else if (auto* option = qobject_cast<QRadioButton*>(control))
            needed = metrics.horizontalAdvance(option->text()) +
                     option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option) +
                     option->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, option);
        else if (auto* button = qobject_cast<QPushButton*>(control)) {
            needed = metrics.horizontalAdvance(button->text()) + 4;
            QVERIFY2(button->isEnabled() && !button->autoDefault() && !button->isDefault(), qPrintable(name)); // Enter in a box presses none
        }
        QVERIFY2(needed <= control->width() && metrics.ascent() <= control->height(), qPrintable(name));
        QString caption = control->property("text").toString() + control->property("title").toString();
        if (auto* box = qobject_cast<QComboBox*>(control))
            caption = QString("%1 items %2-%3%4").arg(box->count()).arg(box->itemText(0), box->itemText(box->count() - 1), box->isEditable() ? ", editable" : "");
        const QRect r = control->geometry();
        const qsizetype stop = stops.indexOf(control);
        rows << QString("%1 %2 %3 \"%4\" %5,%6 %7").arg(stop < 0 ? "-" : QString::number(stop), name, control->metaObject()->className(), caption)
                    .arg(r.x()).arg(r.y()).arg(qobject_cast<QLabel*>(control) ? QString("auto") : QString("%1x%2").arg(r.width()).arg(r.height()));
    }
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private slots:
    // Rows of data/submit.txt: edition|title|source|body|options clicked in
    // turn (-1: none)|answers to the questions → the boxes shown (text,
    // title, icon, buttons), the article stored, and the entry area
    // afterwards. None is chosen at start, and one click undoes another. The
    // category is checked first; the category stands in for a missing title;
    // spaces count as filled in; the earlier edition has its own categories.
    // A refused submit leaves everything as typed; a stored one clears the
    // entry area for the next, the cursor in the title. Of the line breaks
    // typed last in a body, the one that ends its last line is dropped.
    void submitChecks()
    {
        BREVIX_COMPARE_TRANSCRIPT("submit.txt", [](const QString& row) {
            const QStringList in = row.split(u'|');
            Composer c(in[0] == "earlier" ? BrevixEdition() : Brevix2003Edition());
            for (const QString& answer : in[5].split(u' ', Qt::SkipEmptyParts))
                c.dialogs.answers << (answer == "Yes" ? Answer::Yes : Answer::No);
            TypeText(c.entry().txtTitle, in[1]); // into the entry area as it starts
            TypeText(c.entry().txtSource, in[2]);
            TypeText(c.entry().rtxtWord, in[3]);
            for (const QString& option : in[4].split(u' '))
                if (option.toInt() >= 0)
                    QTest::mouseClick(c.entry().famClass->option(option.toInt()), Qt::LeftButton);
            c.click("cmdTJ");
            QStringList out;
            for (const QString& box : c.texts(true))
                out << "box " + box;
            for (const Article& stored : c.issue().snapshot())
                out << "stored " + QStringList{stored.title, stored.source, stored.content, stored.category}.join(u'|');
            const QStringList entry = EntryTexts(c.entry());
            out << "entry " + entry.mid(0, 3).join(u'|') + ", option " + entry[3];
            if (QApplication::focusWidget() == c.entry().txtTitle)
                out << "title focused";
            return out.join("; ");
        });
    }

    // Rows of data/list_commands.txt: the titles (one a letter, "-" none),
    // the line chosen through the accessibility layer (-1: none) and the
    // command → the lines as a screen reader reads them before and after,
    // "*" after the one selected: each line follows its article. Nothing else
    // happens: no box, no pending edit, nothing taken into the entry area.
    void listCommandsAtBoundaries()
    {
        BREVIX_COMPARE_TRANSCRIPT("list_commands.txt", [](const QString& row) {
            const QStringList in = row.split(u' ');
            Composer c;
            c.add(QString(in[0]).remove(u'-').split(QString(), Qt::SkipEmptyParts));
            QAccessibleInterface* list = QAccessible::queryAccessibleInterface(c.list());
            const auto read = [list] {
                QString lines;
                for (int k = 0; k < list->childCount(); ++k)
                    lines += list->child(k)->text(QAccessible::Name).left(1) + (list->child(k)->state().selected ? "*" : "")
                             + (list->indexOfChild(list->child(k)) == k ? "" : "?");
                return lines.isEmpty() ? "-" : lines;
            };
            if (in[1].toInt() >= 0)
                list->child(in[1].toInt())->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
            QString out = read() + " then ";
            c.click(in[2]);
            out += read();
            if (!c.dialogs.shown.isEmpty() || c.form->EditPending() || !c.entry().txtTitle->text().isEmpty())
                out += ", and more happened";
            return out;
        });
    }

    void pendingEditFollowsItsArticle()
    {
        Composer c;
        c.add({"a", "b", "c", "d"});
        // Where the edit of "b" points after each command on a line (-1: the
        // line selected as it is): "b" moved down twice, a neighbour moved
        // down past it, "b" moved up, a neighbour moved up past it, an
        // article above it deleted.
        QList<int> at;
        for (auto [line, command] : {std::pair{1, "cmdEdit"}, {-1, "cmdDown"}, {-1, "cmdDown"}, {2, "cmdDown"},
                                     {2, "cmdUp"}, {2, "cmdUp"}, {0, "cmdDel"}}) {
            if (line >= 0)
                c.clickLine(line);
            c.click(command);
            at << c.form->EditIndex();
        }
        QCOMPARE(at, (QList<int>{1, 2, 3, 2, 1, 2, 1}));
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

    // Saved by one edition, asking before overwriting, and loaded twice
    // (appending) by the other; the dialog offers the last path again.
    void filesPassBetweenTheEditions()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.owd");
        Composer current;
        current.submit("甲", "s", "一\n二", 2);
        current.dialogs.fileNames = {std::nullopt, QString(), path}; // cancelled, no name, a new file
        for (int k = 0; k < 3; ++k)
            current.click("cmdSave");
        QCOMPARE(current.texts(), QStringList{"没有输入文件名"});
        const QByteArray written = FileBytes(path);
        current.submit("乙", "s", "三", 0);
        current.dialogs.fileNames = {path, path};
        current.dialogs.answers = {Answer::No, Answer::Yes};
        current.click("cmdSave");
        QCOMPARE(FileBytes(path), written); // No writes nothing
        current.click("cmdSave");
        QCOMPARE(current.texts(true).mid(1), QStringList(2, "是否覆盖" + path + "文件？ (保存, icon 2, buttons 2)"));
        QCOMPARE(FileBytes(path), faults::IssueBytes({{"甲", "s", "一\r\n二", "市场动态"}, {"乙", "s", "三", "宏观动向"}}));

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
        QCOMPARE(EntryTexts(earlier.entry()), (QStringList{"甲", "s", "一\r\n二", "3"}));
        QCOMPARE(earlier.entry().rtxtWord->toPlainText(), QStringLiteral("一\n二"));
        QVERIFY(earlier.dialogs.shown.isEmpty());
    }

    // Files given at start load one by one, as the load command would: one
    // announcing three articles and holding one loads nothing (its first
    // article must not stay behind) and shows its box; the file dialog then
    // offers the file named last.
    void issueFilesGivenAtStart()
    {
        QTemporaryDir dir;
        const QVector<Article> good{{"甲", "s", "一\r\n二", "企业纵横"}, {"乙", "", "三", "市场动态"}};
        const QString goodPath = faults::WriteFile(dir.filePath("good.owd"), faults::IssueBytes(good));
        const QString badPath = faults::WriteFile(dir.filePath("bad.owd"), ToCodePage936("\"3\"\r\n\"甲\"\r\n\"s\"\r\n\"x\"\r\n\"企业纵横\"\r\n"));
        Composer c;
        c.form->OpenIssueFiles({goodPath, badPath, goodPath, badPath});
        QCOMPARE(c.issue().snapshot(), good + good);
        QCOMPARE(c.texts(), QStringList(2, "发生错误\r输入超出文件尾"));
        c.click("cmdInFile");
        QCOMPARE(c.dialogs.fileRequests.last().initialPath, badPath);
    }

    // Rows of data/start_arguments.txt: the arguments, "|" between them →
    // what the program starts into (0 compose, 1 help, 2 version, 3 a bad
    // option), the issue files it composes with, the option not understood,
    // the word processor asked for and the one it typesets in (Writer is
    // installed where the tests run; choosing it starts no office), with any
    // notice about that choice.
    void startArguments()
    {
        BREVIX_COMPARE_TRANSCRIPT("start_arguments.txt", [](const QString& row) {
            std::vector<QByteArray> bytes;
            for (const QString& argument : row.split(u'|'))
                bytes.push_back(argument.toUtf8());
            std::vector<const char*> argv;
            for (const QByteArray& argument : bytes)
                argv.push_back(argument.constData());
            const StartRequest request = ParseStartArguments(int(argv.size()), argv.data());
            // The rows expect Writer where an office suite may be asked for.
            if (request.wordProcessor != WordProcessorChoice::Builtin && !LibreOfficeInstalled())
                return testing::NotOnThisPlatform();
            const QString files = request.kind == StartRequest::Kind::Compose ? request.issueFiles.join(u'|') : QString();
            const ChosenWordProcessor chosen = ChooseWordProcessor(request.wordProcessor);
            return QString("%1 [%2] [%3] %4: %5%6").arg(int(request.kind)).arg(files, request.badOption)
                .arg(WordProcessorNames().split(u'|').value(int(request.wordProcessor)), chosen.live ? "Writer" : "built-in", chosen.notice);
        });
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
        // No question about the unsaved issue.
        QCOMPARE(c.texts(true), QStringList(2, "是否要退出本程序？ (Brevix, icon 1, buttons 1)"));
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
            QCOMPARE(EntryTexts(dialog->entry()), (QStringList{"标题", "出处", "第一行\r\n第二行", QString::number(last)}));
            // Changed there (the option through the accessibility layer) and handed back by "编辑完成":
            // texts past Qt's default length limit and a body with no-break spaces, whole.
            const QString title = QString(40000, u'题'), source = QString(40000, u'源');
            dialog->entry().txtTitle->setText(title);
            dialog->entry().txtSource->setText(source);
            dialog->entry().rtxtWord->setBody("甲\u00a0\r\n\r\n乙\u00a0乙");
            QVERIFY(AccessibleAction(dialog->entry().famClass->option(1), QAccessibleActionInterface::toggleAction()));
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdTJ"), Qt::LeftButton);
            QTRY_VERIFY(dialog.isNull()); // closed, not kept
            const QStringList handedBack{title, source, "甲\u00a0\r\n\r\n乙\u00a0乙", "1"};
            QVERIFY(c.form->isVisible());
            QCOMPARE(EntryTexts(c.entry()), handedBack);
            QCOMPARE(c.issue().ArticleCount(), 0); // the issue waits for the main window's submit
            // The close button hands nothing back.
            dialog = c.openDialog();
            QVERIFY(dialog);
            dialog->entry().txtTitle->setText("改了");
            QTest::mouseClick(dialog->entry().famClass->option(0), Qt::LeftButton);
            dialog->close();
            QVERIFY(c.form->isVisible());
            QCOMPARE(EntryTexts(c.entry()), handedBack);
            // Every opening loads afresh; cleared there, the main window keeps its category.
            dialog = c.openDialog();
            QVERIFY(dialog);
            QCOMPARE(EntryTexts(dialog->entry()), handedBack);
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdQC"), Qt::LeftButton);
            QCOMPARE(EntryTexts(dialog->entry()), (QStringList{"", "", "", "-1"}));
            QCOMPARE(EntryTexts(c.entry()), handedBack); // untouched by the dialog's clear
            QTest::mouseClick(dialog->findChild<QPushButton*>("cmdTJ"), Qt::LeftButton);
            QCOMPARE(EntryTexts(c.entry()), (QStringList{"", "", "", "1"}));
            QVERIFY(c.dialogs.shown.isEmpty());
        }
    }

    // Both editions as automation tools and screen readers use them: each
    // option toggled through the accessibility layer is the one submitted; a
    // date box's label is its name, its number its value (set through the
    // value or by choosing an item of its list) and its list's ends its
    // range. Both windows stand as data/windows.txt has them, read as their
    // captions and show every caption whole; the edit dialog opens with the
    // cursor in the body.
    void bothEditionsThroughAccessibility()
    {
        QStringList layouts;
        for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
            Composer c(*edition);
            layouts << edition->programName;
            CheckControls(c.form.get(), layouts);
            QStringList wanted;
            for (int k = 0; k < c.entry().famClass->count(); ++k) {
                // Another option clicked first, so a category remembered from a click would show.
                c.type("标题", "出处", "正文", k == 0 ? 1 : 0);
                QVERIFY(AccessibleAction(c.entry().famClass->option(k), QAccessibleActionInterface::toggleAction()));
                QVERIFY(AccessibleAction(c.get("cmdTJ"), QAccessibleActionInterface::pressAction()));
                QTRY_COMPARE(c.issue().ArticleCount(), k + 1);
                wanted << c.edition.categories[k].name;
            }
            QCOMPARE(c.issue().Categories(), wanted);
            for (auto [name, label, value, range] : {std::tuple{"cboYear", "出刊日期 年", 2003, "2000-2005"},
                                                     {"cboMonth", "出刊日期 月", 7, "1-12"}, {"cboDay", "出刊日期 日", 31, "1-31"}}) {
                auto* box = c.get<QComboBox>(name);
                QAccessibleInterface* read = QAccessible::queryAccessibleInterface(box);
                QAccessibleValueInterface* number = read->valueInterface();
                const auto heard = [&] {
                    return QStringList{box->currentText(), number->currentValue().toString(), read->text(QAccessible::Value),
                                       read->text(QAccessible::Name),
                                       number->minimumValue().toString() + "-" + number->maximumValue().toString()};
                };
                QVERIFY(number && !number->currentValue().isValid());
                number->setCurrentValue(value);
                const QString v = QString::number(value);
                QCOMPARE(heard(), (QStringList{v, v, v, label, range}));
                read->child(0)->child(0)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction()); // the first item
                QCOMPARE(heard(), (QStringList{box->itemText(0), box->itemText(0), box->itemText(0), label, range}));
            }
            Form2* dialog = c.openDialog();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            CheckControls(dialog, layouts);
            QVERIFY(QTest::qWaitForWindowActive(dialog));
            QCOMPARE(QApplication::focusWidget(), dialog->entry().rtxtWord);
        }
        BREVIX_COMPARE_GOLDEN("windows.txt", layouts);
    }

    void messageBoxes()
    {
        // What the real box shows, and the answer of a button or of Escape
        // (NoButton; the box's cancelling one): buttons, icon, button pressed →
        // answer, the box's buttons and icon.
        using B = QMessageBox;
        for (const auto& [buttons, icon, press, answer, shownButtons, shownIcon] : {
                 std::tuple{Buttons::Ok, Icon::None, B::Ok, Answer::Ok, B::StandardButtons(B::Ok), B::NoIcon},
                 {Buttons::YesNo, Icon::Warning, B::Yes, Answer::Yes, B::Yes | B::No, B::Warning},
                 {Buttons::YesNo, Icon::None, B::NoButton, Answer::No, B::Yes | B::No, B::NoIcon},
                 {Buttons::OkCancel, Icon::Information, B::NoButton, Answer::Cancel, B::Ok | B::Cancel, B::Information}}) {
            QString shown;
            QMessageBox::StandardButtons boxButtons;
            QMessageBox::Icon boxIcon = QMessageBox::Critical;
            QTimer::singleShot(0, [&, press = press] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                shown = box->windowTitle() + " " + box->text();
                boxButtons = box->standardButtons();
                boxIcon = box->icon();
                if (press == QMessageBox::NoButton)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->button(press)->click();
            });
            QCOMPARE(QtDialogs().message("发生错误！\r\n下标越界", buttons, icon, "保存"), answer);
            QCOMPARE(shown, QStringLiteral("保存 发生错误！\r\n下标越界"));
            QCOMPARE(boxButtons, shownButtons);
            QCOMPARE(boxIcon, shownIcon);
        }
    }
};

QTEST_MAIN(TestCommands)
#include "test_ui_commands.moc"
