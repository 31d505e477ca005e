// Both windows of both editions as a screen reader or an automation tool finds
// them, their tab order, what they show at start, that no caption is cut off,
// and the real message boxes.

#include "composer_fixture.h"
#include "ui/qtdialogs.h"

#include <QAccessibleValueInterface>
#include <QMessageBox>
#include <QMetaEnum>
#include <QStyle>
#include <QTimer>

using namespace brevix;
using namespace brevix::testing;

namespace {

// Each control as "name kind accessible-name"; its name is also its accessible description.
const QStringList kEntry{"Label1 StaticText 信息标题：", "Label2 StaticText 信息出处：", "Label3 StaticText 信息内容：",
                         "txtTitle EditableText 信息标题", "txtSource EditableText 信息出处",
                         "rtxtWord EditableText 信息内容", "cmdQC Button 清  除", "famClass Grouping 类别："};
const QStringList kMain{
    "cmdTJ Button 提  交", "cmdDown Button 下  移", "cmdUp Button 上  移", "cmdEdit Button 编  辑",
    "cmdDel Button 删  除", "cmdSave Button 保  存", "cmdInFile Button 载  入", "cmdOutWord Button 输 出 到 WORD 中",
    "cmdEXIT Button 退   出", "txtNoHZ EditableText 第…期", "txtNoSum EditableText 总第…期",
    "cboYear ComboBox 出刊日期 年", "cboMonth ComboBox 出刊日期 月", "cboDay ComboBox 出刊日期 日",
    "lstTitles List 标题列表", "Label4 StaticText 标题列表：", "Label5 StaticText 第", "Label6 StaticText 期",
    "Label7 StaticText 总第", "Label8 StaticText 期", "Label9 StaticText 出刊日期：", "Label10 StaticText 年",
    "Label11 StaticText 月", "Label12 StaticText 日", "Line1 Border "};

// The window holds exactly the controls listed (and an option per category),
// each described by its name; all lie inside their parent and show all of
// their caption.
void CheckControls(QWidget* window, QStringList expected, const Edition& edition)
{
    for (const CategoryOption& option : edition.categories)
        expected << option.objectName + " RadioButton " + option.name;
    QStringList found;
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (control->objectName().isEmpty() || control->objectName().startsWith("qt_"))
            continue;
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(control);
        QCOMPARE(read->text(QAccessible::Description), control->objectName());
        found << QString("%1 %2 %3").arg(control->objectName(),
                                         QMetaEnum::fromType<QAccessible::Role>().valueToKey(read->role()),
                                         read->text(QAccessible::Name));
        QVERIFY2(control->parentWidget()->rect().contains(control->geometry()), qPrintable(found.last()));
        const QFontMetrics metrics(control->font());
        int needed = 0;
        if (auto* label = qobject_cast<QLabel*>(control))
            needed = metrics.horizontalAdvance(label->text());
        else if (auto* option = qobject_cast<QRadioButton*>(control))
            needed = metrics.horizontalAdvance(option->text()) +
                     option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option) +
                     option->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, option);
        else if (auto* button = qobject_cast<QPushButton*>(control))
            needed = metrics.horizontalAdvance(button->text()) + 4;
        QVERIFY2(needed <= control->width() && metrics.ascent() <= control->height(), qPrintable(found.last()));
    }
    found.sort();
    expected.sort();
    QCOMPARE(found, expected);
}

// The focus chain from `start` round to it, by name, as setTabOrder left it.
QStringList FocusChain(QWidget* start)
{
    QStringList names;
    QWidget* w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
            !qobject_cast<QComboBox*>(w->parentWidget())) // an editable combo box's own line edit
            names << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != start);
    return names;
}

} // namespace

class TestWindows : public QObject {
    Q_OBJECT
private slots:
    void controlsAndTabOrder_data()
    {
        QTest::addColumn<bool>("earlier");
        QTest::addColumn<QStringList>("mainTabs");
        QTest::addColumn<QStringList>("dialogTabs");
        QTest::newRow("Brevix2003") << false
            << QStringList{"txtTitle", "txtSource", "rtxtWord", "optHGDX", "cmdTJ", "cmdQC", "cmdDown", "cmdUp",
                           "cmdEdit", "cmdDel", "cmdSave", "cmdInFile", "txtNoHZ", "txtNoSum", "cboYear", "cboMonth",
                           "cboDay", "cmdOutWord", "cmdEXIT", "lstTitles", "optZXCX", "optSCDT", "optZHBD", "optQYZH"}
            << QStringList{"rtxtWord", "optQYZH", "optSCDT", "optZXCX", "optZHBD", "optHGDX", "cmdTJ", "cmdQC",
                           "txtSource", "txtTitle"};
        QTest::newRow("Brevix") << true
            << QStringList{"txtTitle", "txtSource", "rtxtWord", "optHGDX", "optRDGZ", "optXXZL", "optQYZH", "optGNHY",
                           "optGJHY", "cmdTJ", "cmdQC", "cmdDown", "cmdUp", "cmdEdit", "cmdDel", "cmdSave", "cmdInFile",
                           "txtNoHZ", "txtNoSum", "cboYear", "cboMonth", "cboDay", "cmdOutWord", "cmdEXIT", "lstTitles"}
            << QStringList{"rtxtWord", "optQYZH", "optXXZL", "optGJHY", "optGNHY", "optRDGZ", "optHGDX", "cmdTJ",
                           "cmdQC", "txtSource", "txtTitle"};
    }
    void controlsAndTabOrder()
    {
        QFETCH(bool, earlier);
        QFETCH(QStringList, mainTabs);
        QFETCH(QStringList, dialogTabs);
        Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
        // The page estimate keeps its live text as its name.
        const QStringList pageEstimate{"Label13 StaticText 预计输入WORD后共      页"};
        CheckControls(c.form.get(), kEntry + kMain + (earlier ? QStringList() : pageEstimate), c.edition);
        QCOMPARE(FocusChain(c.entry().txtTitle), mainTabs);
        Form2* dialog = c.openDialog();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        CheckControls(dialog, kEntry + QStringList{"cmdTJ Button 编辑完成"}, c.edition);
        QCOMPARE(FocusChain(dialog->entry().rtxtWord), dialogTabs);
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        QCOMPARE(QApplication::focusWidget(), dialog->entry().rtxtWord); // the cursor starts in the body
        // Each window reads as its caption.
        QCOMPARE(QAccessible::queryAccessibleInterface(c.form.get())->text(QAccessible::Name),
                 QStringLiteral("排版信息准备"));
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Name), QStringLiteral("编辑信息"));
    }

    void startsEmpty()
    {
        Composer c;
        // The year typed or chosen, month and day only chosen from their lists; nothing chosen yet.
        for (auto [name, first, last] : {std::tuple{"cboYear", 2000, 2005}, {"cboMonth", 1, 12}, {"cboDay", 1, 31}}) {
            auto* combo = c.get<QComboBox>(name);
            QStringList items, wanted;
            for (int k = 0; k < combo->count(); ++k)
                items << combo->itemText(k);
            for (int value = first; value <= last; ++value)
                wanted << QString::number(value);
            QCOMPARE(items, wanted);
            QCOMPARE(combo->isEditable(), combo == c.get("cboYear"));
            QCOMPARE(combo->currentText(), QString());
        }
        for (QPushButton* button : c.form->findChildren<QPushButton*>()) // Enter in a box presses no button
            QVERIFY(button->isEnabled() && !button->autoDefault() && !button->isDefault());
        QCOMPARE(c.list()->selectionMode(), QAbstractItemView::SingleSelection);
        // The options: one exclusive group with none selected at start, nor after a clear.
        CategoryFrame* frame = c.entry().famClass;
        QCOMPARE(frame->selected(), -1);
        QTest::mouseClick(frame->option(1), Qt::LeftButton);
        c.click("cmdQC");
        QCOMPARE(frame->selected(), -1);
        QTest::mouseClick(frame->option(1), Qt::LeftButton);
        QTest::mouseClick(frame->option(3), Qt::LeftButton);
        QVERIFY(!frame->option(1)->isChecked());
        QCOMPARE(frame->selected(), 3);
    }

    void optionToggledThroughAccessibilityIsSubmitted()
    {
        for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
            Composer c(*edition);
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
        }
    }

    // A screen reader hears each date box's label as its name and its number
    // as its value, and sets the number through the value or by choosing an
    // item of the box's list.
    void dateBoxesReadAndSetThroughAccessibility()
    {
        for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
            Composer c(*edition);
            for (auto [name, label, value] :
                 {std::tuple{"cboYear", "出刊日期 年", 2003}, {"cboMonth", "出刊日期 月", 7}, {"cboDay", "出刊日期 日", 31}}) {
                auto* box = c.get<QComboBox>(name);
                QAccessibleInterface* read = QAccessible::queryAccessibleInterface(box);
                QAccessibleValueInterface* number = read->valueInterface();
                QVERIFY(number);
                QCOMPARE(number->currentValue(), QVariant());
                number->setCurrentValue(value);
                QCOMPARE(box->currentText(), QString::number(value));
                QCOMPARE(number->currentValue().toInt(), value);
                QCOMPARE(read->text(QAccessible::Value), QString::number(value));
                QCOMPARE(read->text(QAccessible::Name), QString(label));
                QAccessibleInterface* firstItem = read->child(0)->child(0);
                firstItem->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
                QCOMPARE(box->currentIndex(), 0);
                QCOMPARE(read->text(QAccessible::Value), box->itemText(0));
                QCOMPARE(read->text(QAccessible::Name), QString(label));
            }
        }
    }

    // The title list's lines as a screen reader has them, chosen through the
    // list and following their articles when they move.
    void titleLinesThroughAccessibility()
    {
        Composer c;
        c.add({"a", "b", "c"});
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(c.list());
        QCOMPARE(list->childCount(), 3);
        list->child(2)->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        QCOMPARE(c.selectedLine(), 2);
        c.click("cmdUp");
        QAccessibleInterface* moved = list->child(1);
        QCOMPARE(moved->text(QAccessible::Name), QStringLiteral("c----宏观动向"));
        QVERIFY(moved->state().selected);
        QCOMPARE(list->indexOfChild(moved), 1);
        QCOMPARE(list->child(2)->text(QAccessible::Name), QStringLiteral("b----宏观动向"));
    }

    void messageBoxes()
    {
        // What the real box shows, and the answer of a button or of Escape (the box's cancelling one).
        struct Case {
            Buttons buttons;
            Icon icon;
            QMessageBox::StandardButton press; // NoButton: Escape
            Answer answer;
            QMessageBox::StandardButtons shownButtons;
            QMessageBox::Icon shownIcon;
        };
        const Case cases[] = {
            {Buttons::Ok, Icon::None, QMessageBox::Ok, Answer::Ok, QMessageBox::Ok, QMessageBox::NoIcon},
            {Buttons::YesNo, Icon::Warning, QMessageBox::Yes, Answer::Yes, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::Warning},
            {Buttons::YesNo, Icon::None, QMessageBox::NoButton, Answer::No, QMessageBox::Yes | QMessageBox::No,
             QMessageBox::NoIcon},
            {Buttons::OkCancel, Icon::Information, QMessageBox::NoButton, Answer::Cancel,
             QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Information},
        };
        for (const Case& test : cases) {
            QString shown;
            QMessageBox::StandardButtons buttons;
            QMessageBox::Icon icon = QMessageBox::Critical;
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                shown = box->windowTitle() + " " + box->text();
                buttons = box->standardButtons();
                icon = box->icon();
                if (test.press == QMessageBox::NoButton)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->button(test.press)->click();
            });
            QCOMPARE(QtDialogs().message("发生错误！\r\n下标越界", test.buttons, test.icon, "保存"), test.answer);
            QCOMPARE(shown, QStringLiteral("保存 发生错误！\r\n下标越界"));
            QCOMPARE(buttons, test.shownButtons);
            QCOMPARE(icon, test.shownIcon);
        }
    }
};

QTEST_MAIN(TestWindows)
#include "test_ui_windows.moc"
