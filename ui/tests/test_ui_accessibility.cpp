// What a screen reader or an automation tool finds through the accessibility
// layer in both windows of both editions.

#include "composer_fixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QGroupBox>

using namespace brevix;
using namespace brevix::testing;

namespace {

QAccessibleInterface* Accessible(QWidget* window, const QString& name)
{
    auto* control = window->findChild<QWidget*>(name);
    return control ? QAccessible::queryAccessibleInterface(control) : nullptr;
}

struct Expect {
    const char* control;
    QString name;
    const char* label; // the label it is labelled by, if any
};

// The input controls shared by both windows and their names.
const QList<Expect> kEntry{
    {"txtTitle", QStringLiteral("信息标题"), "Label1"},
    {"txtSource", QStringLiteral("信息出处"), "Label2"},
    {"rtxtWord", QStringLiteral("信息内容"), "Label3"},
    {"famClass", QStringLiteral("类别："), nullptr},
    {"cmdQC", QStringLiteral("清  除"), nullptr},
    {"Label1", QStringLiteral("信息标题："), nullptr},
};

const QList<Expect> kMainOnly{
    // Qt's list interface reports no label relation; the name says it all.
    {"lstTitles", QStringLiteral("标题列表"), nullptr},
    {"txtNoHZ", QStringLiteral("第…期"), "Label5"},
    {"txtNoSum", QStringLiteral("总第…期"), "Label7"},
    {"cboYear", QStringLiteral("出刊日期 年"), "Label9"},
    {"cboMonth", QStringLiteral("出刊日期 月"), "Label11"},
    {"cboDay", QStringLiteral("出刊日期 日"), "Label12"},
    {"cmdTJ", QStringLiteral("提  交"), nullptr},
    {"cmdDown", QStringLiteral("下  移"), nullptr},
    {"cmdUp", QStringLiteral("上  移"), nullptr},
    {"cmdEdit", QStringLiteral("编  辑"), nullptr},
    {"cmdDel", QStringLiteral("删  除"), nullptr},
    {"cmdSave", QStringLiteral("保  存"), nullptr},
    {"cmdInFile", QStringLiteral("载  入"), nullptr},
    {"cmdOutWord", QStringLiteral("输 出 到 WORD 中"), nullptr},
    {"cmdEXIT", QStringLiteral("退   出"), nullptr},
    {"Label4", QStringLiteral("标题列表："), nullptr},
    {"Label9", QStringLiteral("出刊日期："), nullptr},
};

void CheckControls(QWidget* window, const QList<Expect>& table, const Edition& edition)
{
    QList<Expect> rows = table;
    for (const CategoryOption& option : edition.categories)
        rows.append({nullptr, option.name, nullptr});
    int k = 0;
    for (const Expect& row : rows) {
        const QString control = row.control ? QString::fromLatin1(row.control)
                                            : edition.categories[k++].objectName;
        QAccessibleInterface* iface = Accessible(window, control);
        QVERIFY2(iface, qPrintable(control));
        QCOMPARE(iface->text(QAccessible::Name), row.name);
        QCOMPARE(iface->text(QAccessible::Description), control);
        if (row.label) {
            bool found = false;
            for (const auto& [other, relation] : iface->relations(QAccessible::Label))
                found |= other->object()->objectName() == QLatin1String(row.label);
            QVERIFY2(found, qPrintable(control + QStringLiteral(" is not labelled by ") + row.label));
        }
    }
}

} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT
private slots:
    void namesAndDescriptions_data();
    void namesAndDescriptions();
    void pageEstimateKeepsItsLiveText();
    void optionActivatedThroughAccessibilityIsSubmitted_data();
    void optionActivatedThroughAccessibilityIsSubmitted();
    void optionActivatedInDialogIsHandedBack();
};

void TestAccessibility::namesAndDescriptions_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::newRow("Brevix2003") << false;
    QTest::newRow("Brevix") << true;
}

void TestAccessibility::namesAndDescriptions()
{
    QFETCH(bool, earlier);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    CheckControls(c.form.get(), kEntry + kMainOnly, c.edition);
    Form2* dialog = c.openDialog();
    QVERIFY(dialog);
    CheckControls(dialog, kEntry + QList<Expect>{{"cmdTJ", QStringLiteral("编辑完成"), nullptr}}, c.edition);
    // Each window reads as its caption.
    QCOMPARE(QAccessible::queryAccessibleInterface(dialog)->text(QAccessible::Name), QStringLiteral("编辑信息"));
}

void TestAccessibility::pageEstimateKeepsItsLiveText()
{
    Composer c(Brevix2003Edition());
    QAccessibleInterface* iface = Accessible(c.form.get(), QStringLiteral("Label13"));
    QVERIFY(iface);
    QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("Label13"));
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("预计输入WORD后共      页"));
    c.list()->setFocus(Qt::TabFocusReason);
    QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("预计输入WORD后共  1  页"));
}

void TestAccessibility::optionActivatedThroughAccessibilityIsSubmitted_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<int>("category");
    for (bool earlier : {false, true}) {
        const Edition& edition = earlier ? BrevixEdition() : Brevix2003Edition();
        for (int k = 0; k < edition.categories.size(); ++k)
            QTest::addRow("%s %s", qPrintable(edition.programName), qPrintable(edition.categories[k].objectName))
                << earlier << k;
    }
}

void TestAccessibility::optionActivatedThroughAccessibilityIsSubmitted()
{
    QFETCH(bool, earlier);
    QFETCH(int, category);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    c.type(QStringLiteral("标题"), QStringLiteral("出处"), QStringLiteral("正文"), -1);
    // Another option first, by mouse, so a value remembered from a click would show.
    QTest::mouseClick(c.entry().famClass->option(category == 0 ? 1 : 0), Qt::LeftButton);
    QAccessibleInterface* option = QAccessible::queryAccessibleInterface(c.entry().famClass->option(category));
    QCOMPARE(option->role(), QAccessible::RadioButton);
    QAccessibleActionInterface* actions = option->actionInterface();
    QVERIFY(actions);
    QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
    actions->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(option->state().checked);
    // The submit button pressed through the accessibility layer as well.
    QAccessibleInterface* submit = Accessible(c.form.get(), QStringLiteral("cmdTJ"));
    submit->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_COMPARE(c.form->issue().ArticleCount(), 1);
    QCOMPARE(c.form->issue().article(0).category, c.edition.categories[category].name);
}

void TestAccessibility::optionActivatedInDialogIsHandedBack()
{
    Composer c(BrevixEdition());
    c.type(QStringLiteral("标题"), QStringLiteral("出处"), QStringLiteral("正文"), 0);
    Form2* dialog = c.openDialog();
    QVERIFY(dialog);
    QAccessibleInterface* option = QAccessible::queryAccessibleInterface(dialog->entry().famClass->option(3));
    option->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdTJ")), Qt::LeftButton);
    QCOMPARE(c.entry().famClass->selected(), 3);
}

QTEST_MAIN(TestAccessibility)
#include "test_ui_accessibility.moc"
