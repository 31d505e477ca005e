// The windows of both editions: where the controls stand, the tab order,
// what they show at start, and that no caption is cut off.

#include "composer_fixture.h"
#include "editions/layout.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QStyle>

using namespace brevix;
using namespace brevix::testing;

namespace {

// The focus chain as the Tab key walks it, from `start` round to `start`.
QStringList TabWalk(QWidget* start)
{
    start->activateWindow();
    start->setFocus(Qt::OtherFocusReason);
    QStringList names;
    for (int k = 0; k < 100; ++k) {
        QWidget* focus = QApplication::focusWidget();
        if (!focus)
            return names << QStringLiteral("<no focus>");
        // An editable combo box keeps the focus in its line edit.
        if (qobject_cast<QComboBox*>(focus->parentWidget()))
            focus = focus->parentWidget();
        if (k > 0 && focus == start)
            break;
        names << focus->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return names;
}

const QStringList kForm1Tabs2003{
    "txtTitle", "txtSource", "rtxtWord", "optHGDX", "cmdTJ", "cmdQC", "cmdDown", "cmdUp",
    "cmdEdit", "cmdDel", "cmdSave", "cmdInFile", "txtNoHZ", "txtNoSum", "cboYear", "cboMonth",
    "cboDay", "cmdOutWord", "cmdEXIT", "lstTitles", "optZXCX", "optSCDT", "optZHBD", "optQYZH"};
const QStringList kForm1TabsEarlier{
    "txtTitle", "txtSource", "rtxtWord", "optHGDX", "optRDGZ", "optXXZL", "optQYZH", "optGNHY",
    "optGJHY", "cmdTJ", "cmdQC", "cmdDown", "cmdUp", "cmdEdit", "cmdDel", "cmdSave", "cmdInFile",
    "txtNoHZ", "txtNoSum", "cboYear", "cboMonth", "cboDay", "cmdOutWord", "cmdEXIT", "lstTitles"};
const QStringList kForm2Tabs2003{"rtxtWord", "optQYZH", "optSCDT", "optZXCX", "optZHBD",
                                 "optHGDX", "cmdTJ", "cmdQC", "txtSource", "txtTitle"};
const QStringList kForm2TabsEarlier{"rtxtWord", "optQYZH", "optXXZL", "optGJHY", "optGNHY", "optRDGZ",
                                    "optHGDX", "cmdTJ", "cmdQC", "txtSource", "txtTitle"};

// The focus chain from `start` round to it, by name.
QStringList FocusChain(QWidget* start)
{
    QStringList names;
    QWidget* w = start;
    do {
        if ((w->focusPolicy() & Qt::TabFocus) && !w->objectName().isEmpty() &&
            !qobject_cast<QComboBox*>(w->parentWidget()))
            names << w->objectName();
        w = w->nextInFocusChain();
    } while (w && w != start);
    return names;
}

// The option group is one stop for the Tab key, as on the desktop the
// windows come from: at the selected option, or at the first of the chain
// when none is selected. Arrow keys move inside the group.
QStringList ExpectedWalk(const QStringList& chain, const CategoryFrame* frame)
{
    const int selected = frame->selected();
    const QString stop = selected >= 0 ? frame->option(selected)->objectName() : QString();
    QStringList walk;
    bool groupSeen = false;
    for (const QString& name : chain) {
        if (!name.startsWith(QLatin1String("opt"))) {
            walk << name;
        } else if (selected >= 0 ? name == stop : !groupSeen) {
            walk << name;
            groupSeen = true;
        }
    }
    return walk;
}

void CheckTabOrder(QWidget* start, CategoryFrame* frame, const QStringList& tabs)
{
    QCOMPARE(FocusChain(start), tabs);
    QCOMPARE(TabWalk(start), ExpectedWalk(tabs, frame));
    for (int k : {frame->count() - 1, 1}) {
        QTest::mouseClick(frame->option(k), Qt::LeftButton);
        QCOMPARE(TabWalk(start), ExpectedWalk(tabs, frame));
    }
    frame->clearSelection();
}

// Every control that has a caption shows all of it.
void CheckCaptionsFit(QWidget* window)
{
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QFontMetrics metrics(control->font());
        int needed = 0;
        QString caption;
        if (auto* label = qobject_cast<QLabel*>(control)) {
            caption = label->text();
            needed = metrics.horizontalAdvance(caption);
        } else if (auto* option = qobject_cast<QRadioButton*>(control)) {
            caption = option->text();
            needed = metrics.horizontalAdvance(caption) +
                     option->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, option) +
                     option->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, option);
        } else if (auto* button = qobject_cast<QPushButton*>(control)) {
            caption = button->text();
            needed = metrics.horizontalAdvance(caption) + 4;
        } else {
            continue;
        }
        QVERIFY2(needed <= control->width(), qPrintable(control->objectName() + QStringLiteral(" cuts ") + caption));
        QVERIFY2(metrics.ascent() <= control->height(), qPrintable(control->objectName()));
    }
}

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void mainWindow_data();
    void mainWindow();
    void editDialog_data();
    void editDialog();
    void placesFromTheTable();
    void initialContents_data();
    void initialContents();
    void optionsStartClearAndStayExclusive();
};

void TestLayout::mainWindow_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QStringList>("rects"); // name x y w h, in pixels
    QTest::newRow("Brevix2003") << false << kForm1Tabs2003
                                << QStringList{"txtTitle 76 16 233 16", "rtxtWord 28 92 285 297",
                                               "famClass 28 396 289 85", "optSCDT 100 42 73 12",
                                               "optZXCX 16 64 73 12", "lstTitles 364 28 301 316",
                                               "cmdTJ 48 488 77 25", "cmdDown 672 116 65 25",
                                               "cboYear 431 424 61 20", "cmdOutWord 380 468 173 29",
                                               "Label13 364 348", "Label4 344 12"};
    QTest::newRow("Brevix") << true << kForm1TabsEarlier
                            << QStringList{"rtxtWord 28 92 285 281", "famClass 28 388 285 73",
                                           "optHGDX 24 20 77 13", "optGJHY 200 48 73 12",
                                           "cmdTJ 48 468 77 25", "cmdQC 192 468 77 25",
                                           "lstTitles 364 40 301 328", "Label4 348 16",
                                           "cmdEXIT 600 468 85 29"};
}

void TestLayout::mainWindow()
{
    QFETCH(bool, earlier);
    QFETCH(QStringList, tabs);
    QFETCH(QStringList, rects);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    QCOMPARE(c.form->windowTitle(), QStringLiteral("排版信息准备"));
    QCOMPARE(c.form->size(), QSize(744, 519));
    CheckTabOrder(c.entry().txtTitle, c.entry().famClass, tabs);
    for (const QString& row : rects) {
        const QStringList f = row.split(QLatin1Char(' '));
        QWidget* control = c.get(f[0]);
        QVERIFY2(control, qPrintable(f[0]));
        QCOMPARE(control->pos(), QPoint(f[1].toInt(), f[2].toInt()));
        if (f.size() > 3)
            QCOMPARE(control->size(), QSize(f[3].toInt(), f[4].toInt()));
    }
    auto* line = c.get<QFrame>(QStringLiteral("Line1"));
    QVERIFY(line);
    QCOMPARE(line->geometry().center().x(), 336);
    CheckCaptionsFit(c.form.get());
}

void TestLayout::editDialog_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<QStringList>("rects");
    QTest::newRow("Brevix2003") << false << kForm2Tabs2003
                                << QStringList{"rtxtWord 120 76 437 437", "famClass 20 116 89 193",
                                               "optZXCX 8 152 73 12", "txtTitle 120 12 385 19",
                                               "cmdQC 20 448 77 25"};
    QTest::newRow("Brevix") << true << kForm2TabsEarlier
                            << QStringList{"famClass 20 116 89 209", "optGNHY 8 145 69 13",
                                           "optGJHY 8 176 73 12", "cmdTJ 20 404 77 25"};
}

void TestLayout::editDialog()
{
    QFETCH(bool, earlier);
    QFETCH(QStringList, tabs);
    QFETCH(QStringList, rects);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    Form2* dialog = c.openDialog();
    QVERIFY(dialog);
    QCOMPARE(dialog->size(), QSize(579, 556));
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    CheckTabOrder(dialog->entry().rtxtWord, dialog->entry().famClass, tabs);
    for (const QString& row : rects) {
        const QStringList f = row.split(QLatin1Char(' '));
        auto* control = dialog->findChild<QWidget*>(f[0]);
        QVERIFY2(control, qPrintable(f[0]));
        QCOMPARE(control->geometry(), QRect(f[1].toInt(), f[2].toInt(), f[3].toInt(), f[4].toInt()));
    }
    CheckCaptionsFit(dialog);
}

void TestLayout::placesFromTheTable()
{
    // Every named control of each window has its place in the edition's
    // table, and the table names nothing the window lacks.
    for (const Edition* edition : {&Brevix2003Edition(), &BrevixEdition()}) {
        Composer c(*edition);
        Form2* dialog = c.openDialog();
        QVERIFY(dialog);
        const EditionLayout& layout = LayoutOf(*edition);
        const QList<std::pair<QWidget*, const WindowLayout*>> windows{{c.form.get(), &layout.form1},
                                                                       {dialog, &layout.form2}};
        for (const auto& [window, table] : windows) {
            QStringList named;
            for (QWidget* control : window->findChildren<QWidget*>())
                if (!control->objectName().isEmpty() && !control->objectName().startsWith(QLatin1String("qt_")) &&
                    control->objectName() != QLatin1String("Line1"))
                    named << control->objectName();
            QStringList placed;
            for (const ControlPlace& place : table->controls)
                placed << place.name;
            named.sort();
            placed.sort();
            QCOMPARE(named, placed);
        }
        QCOMPARE(c.form->findChild<QWidget*>(QStringLiteral("Label13")) != nullptr, edition->pageEstimate);
    }
}

void TestLayout::initialContents_data()
{
    QTest::addColumn<bool>("earlier");
    QTest::newRow("Brevix2003") << false;
    QTest::newRow("Brevix") << true;
}

void TestLayout::initialContents()
{
    QFETCH(bool, earlier);
    Composer c(earlier ? BrevixEdition() : Brevix2003Edition());
    struct Combo {
        const char* name;
        int first, last;
        bool editable;
    };
    for (const Combo& expected : {Combo{"cboYear", 2000, 2005, true}, Combo{"cboMonth", 1, 12, false},
                                  Combo{"cboDay", 1, 31, false}}) {
        auto* combo = c.get<QComboBox>(QString::fromLatin1(expected.name));
        QStringList items;
        for (int k = 0; k < combo->count(); ++k)
            items << combo->itemText(k);
        QStringList wanted;
        for (int v = expected.first; v <= expected.last; ++v)
            wanted << QString::number(v);
        QCOMPARE(items, wanted);
        QCOMPARE(combo->isEditable(), expected.editable);
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(combo->currentText().isEmpty());
    }
    for (const char* name : {"txtTitle", "txtSource", "txtNoHZ", "txtNoSum"})
        QVERIFY(c.get<QLineEdit>(QString::fromLatin1(name))->text().isEmpty());
    QVERIFY(c.entry().rtxtWord->toPlainText().isEmpty());
    QCOMPARE(c.list()->model()->rowCount(), 0);
    QCOMPARE(c.list()->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(c.entry().famClass->title(), QStringLiteral("类别："));
    QCOMPARE(c.entry().famClass->count(), earlier ? 6 : 5);
    for (int k = 0; k < c.entry().famClass->count(); ++k)
        QCOMPARE(c.entry().famClass->option(k)->text(), c.edition.categories[k].name);
    for (QWidget* control : c.form->findChildren<QWidget*>()) {
        QVERIFY(control->isEnabled());
        if (auto* button = qobject_cast<QPushButton*>(control))
            QVERIFY(!button->isDefault() && !button->autoDefault());
    }
    if (!earlier)
        QCOMPARE(c.get<QLabel>(QStringLiteral("Label13"))->text(), QStringLiteral("预计输入WORD后共      页"));
}

void TestLayout::optionsStartClearAndStayExclusive()
{
    Composer c(BrevixEdition());
    CategoryFrame* frame = c.entry().famClass;
    QCOMPARE(frame->selected(), -1);
    QTest::mouseClick(frame->option(2), Qt::LeftButton);
    QTest::mouseClick(frame->option(5), Qt::LeftButton);
    int checked = 0;
    for (int k = 0; k < frame->count(); ++k)
        checked += frame->option(k)->isChecked() ? 1 : 0;
    QCOMPARE(checked, 1);
    QCOMPARE(frame->selected(), 5);
    c.click(QStringLiteral("cmdQC"));
    QCOMPARE(frame->selected(), -1);
    // Still one group after a clear.
    QTest::mouseClick(frame->option(1), Qt::LeftButton);
    QTest::mouseClick(frame->option(3), Qt::LeftButton);
    QVERIFY(!frame->option(1)->isChecked());
    QCOMPARE(frame->selected(), 3);
}

QTEST_MAIN(TestLayout)
#include "test_ui_layout.moc"
