// Both windows of both editions as a screen reader or an automation tool finds
// them, what they show at start, that no caption is cut off, and the real
// message boxes.

#include "composer_fixture.h"
#include "engine/tests/golden.h"
#include "ui/qtdialogs.h"

#include <QAccessibleValueInterface>
#include <QMessageBox>
#include <QStyle>
#include <QTimer>

#include <algorithm>

using namespace brevix;
using namespace brevix::testing;

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

class TestWindows : public QObject {
    Q_OBJECT
private slots:
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

QTEST_MAIN(TestWindows)
#include "test_ui_windows.moc"
