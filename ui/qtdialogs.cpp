#include "ui/qtdialogs.h"

#include "model/filename.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace brevix {

namespace {

QMessageBox::Icon ToQt(Icon icon)
{
    switch (icon) {
    case Icon::Information: return QMessageBox::Information;
    case Icon::Warning: return QMessageBox::Warning;
    case Icon::Critical: return QMessageBox::Critical;
    case Icon::Question: return QMessageBox::Question;
    case Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(Buttons buttons)
{
    switch (buttons) {
    case Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::Ok: break;
    }
    return QMessageBox::Ok;
}

// The box belongs to whichever of our windows the editor is working in.
QWidget* Owner() { return QApplication::activeWindow(); }

} // namespace

Answer QtDialogs::message(const QString& text, Buttons buttons, Icon icon, const QString& title)
{
    QMessageBox box(ToQt(icon), title, text, ToQt(buttons), Owner());
    box.setTextFormat(Qt::PlainText);
    // The first button is the default, as with the classic message box.
    switch (buttons) {
    case Buttons::Ok:
    case Buttons::OkCancel: box.setDefaultButton(QMessageBox::Ok); break;
    case Buttons::YesNo:
    case Buttons::YesNoCancel: box.setDefaultButton(QMessageBox::Yes); break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Ok: return Answer::Ok;
    default: break;
    }
    // Escape or the close button: the box's cancelling answer.
    switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel: break;
    }
    return Answer::Cancel;
}

std::optional<QString> QtDialogs::openFileName(const QString& filter, const QString& initialPath)
{
    const QString path = QFileDialog::getOpenFileName(Owner(), QString(), DisplayFileName(initialPath), filter);
    if (path.isEmpty())
        return std::nullopt;
    return ResolveLostFileName(path);
}

std::optional<QString> QtDialogs::saveFileName(const QString& filter, const QString& initialPath)
{
    // The overwrite question is the program's own, asked after the dialog.
    const QString path = QFileDialog::getSaveFileName(Owner(), QString(), DisplayFileName(initialPath), filter,
                                                      nullptr, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty())
        return std::nullopt;
    return ResolveLostFileName(path);
}

} // namespace brevix
