// The real message boxes and file dialog: what they show, that the
// accessibility layer can read and press them, and the answers they give.

#include "ui/qtdialogs.h"

#include <QAccessible>
#include <QAbstractButton>
#include <QAccessibleActionInterface>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace brevix;

namespace {

// Runs `inspect` on the modal window once it is up.
void WhenModal(std::function<void(QWidget*)> inspect)
{
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, inspect] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            inspect(modal);
        }
    });
    timer->start();
}

// Depth-first search of the accessible tree for a node with this role and name.
QAccessibleInterface* FindAccessible(QAccessibleInterface* node, QAccessible::Role role, const QString& name)
{
    if (node->role() == role && node->text(QAccessible::Name).remove(QLatin1Char('&')) == name)
        return node;
    for (int k = 0; k < node->childCount(); ++k)
        if (QAccessibleInterface* found = FindAccessible(node->child(k), role, name))
            return found;
    return nullptr;
}

} // namespace

class TestQtDialogs : public QObject {
    Q_OBJECT
private slots:
    void messageBoxes_data();
    void messageBoxes();
    void boxTextAndButtonsThroughAccessibility();
    void fileDialogs();
};

void TestQtDialogs::messageBoxes_data()
{
    QTest::addColumn<int>("buttons");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("press"); // the standard button pressed, or 0 for Escape
    QTest::addColumn<int>("answer");
    QTest::newRow("OK") << int(Buttons::Ok) << int(Icon::None) << int(QMessageBox::Ok) << int(Answer::Ok);
    QTest::newRow("Yes") << int(Buttons::YesNo) << int(Icon::None) << int(QMessageBox::Yes) << int(Answer::Yes);
    QTest::newRow("No") << int(Buttons::YesNo) << int(Icon::Warning) << int(QMessageBox::No) << int(Answer::No);
    QTest::newRow("Cancel") << int(Buttons::OkCancel) << int(Icon::Information) << int(QMessageBox::Cancel)
                            << int(Answer::Cancel);
    QTest::newRow("Escape on a question") << int(Buttons::YesNo) << int(Icon::None) << 0 << int(Answer::No);
    QTest::newRow("Escape on OK/Cancel") << int(Buttons::OkCancel) << int(Icon::Information) << 0
                                         << int(Answer::Cancel);
}

void TestQtDialogs::messageBoxes()
{
    QFETCH(int, buttons);
    QFETCH(int, icon);
    QFETCH(int, press);
    QFETCH(int, answer);
    QString title, text;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons shownButtons;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        shownIcon = box->icon();
        shownButtons = box->standardButtons();
        if (press)
            box->button(QMessageBox::StandardButton(press))->click();
        else
            QTest::keyClick(box, Qt::Key_Escape);
    });
    QtDialogs dialogs;
    const Answer got = dialogs.message(QStringLiteral("是否覆盖/tmp/a.owd文件？"), Buttons(buttons), Icon(icon),
                                       QStringLiteral("保存"));
    QCOMPARE(int(got), answer);
    QCOMPARE(title, QStringLiteral("保存"));
    QCOMPARE(text, QStringLiteral("是否覆盖/tmp/a.owd文件？"));
    const QMessageBox::Icon icons[] = {QMessageBox::NoIcon, QMessageBox::Information, QMessageBox::Warning,
                                       QMessageBox::Critical, QMessageBox::Question};
    QCOMPARE(shownIcon, icons[icon]);
    const QMessageBox::StandardButtons sets[] = {QMessageBox::Ok, QMessageBox::Ok | QMessageBox::Cancel,
                                                 QMessageBox::Yes | QMessageBox::No,
                                                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel};
    QCOMPARE(shownButtons, sets[buttons]);
}

void TestQtDialogs::boxTextAndButtonsThroughAccessibility()
{
    bool textFound = false;
    WhenModal([&](QWidget* modal) {
        QAccessibleInterface* box = QAccessible::queryAccessibleInterface(modal);
        textFound = FindAccessible(box, QAccessible::StaticText, QStringLiteral("发生错误！\r\n下标越界")) ||
                    FindAccessible(box, QAccessible::StaticText, QStringLiteral("发生错误！\n下标越界"));
        auto* no = qobject_cast<QMessageBox*>(modal)->button(QMessageBox::No);
        QAccessibleInterface* button = FindAccessible(box, QAccessible::Button, no->text().remove(QLatin1Char('&')));
        QVERIFY(button);
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    });
    QtDialogs dialogs;
    QCOMPARE(dialogs.message(QStringLiteral("发生错误！\r\n下标越界"), Buttons::YesNo), Answer::No);
    QVERIFY(textFound);
}

void TestQtDialogs::fileDialogs()
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("旧.owd"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const QString chosen = dir.filePath(QStringLiteral("新.owd"));

    QStringList filters;
    QString directory;
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        filters = dialog->nameFilters();
        directory = dialog->directory().absolutePath();
        dialog->selectFile(chosen);
        static_cast<QDialog*>(dialog)->accept();
    });
    QtDialogs dialogs;
    QCOMPARE(dialogs.saveFileName(QStringLiteral("*.owd"), existing), std::optional<QString>(chosen));
    QCOMPARE(filters, QStringList{QStringLiteral("*.owd")});
    QCOMPARE(directory, QDir(dir.path()).absolutePath());

    // The overwrite question is asked by the program, not by the dialog.
    WhenModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        QVERIFY(dialog);
        dialog->selectFile(existing);
        static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(dialogs.saveFileName(QStringLiteral("*.owd"), existing), std::optional<QString>(existing));

    WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    QCOMPARE(dialogs.openFileName(QStringLiteral("*.owd"), existing), std::nullopt);
}

QTEST_MAIN(TestQtDialogs)
#include "test_ui_qtdialogs.moc"
