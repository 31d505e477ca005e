#pragma once
// The one seam through which every message box and file dialog is shown.
// The windows implement it with QMessageBox/QFileDialog; tests script it.

#include <QList>
#include <QString>
#include <optional>

namespace brevix {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Warning, Critical, Question };
enum class Answer { Ok, Cancel, Yes, No };

// Title of every message box that has none of its own.
inline QString AppTitle() { return QStringLiteral("Brevix"); }

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual Answer message(const QString& text, Buttons buttons, Icon icon,
                           const QString& title) = 0;
    Answer message(const QString& text, Buttons buttons = Buttons::Ok, Icon icon = Icon::None)
    {
        return message(text, buttons, icon, AppTitle());
    }

    // A file dialog; nullopt when the user cancelled it. `initialPath` is the
    // path chosen last, offered again.
    virtual std::optional<QString> openFileName(const QString& filter, const QString& initialPath) = 0;
    virtual std::optional<QString> saveFileName(const QString& filter, const QString& initialPath) = 0;
};

// Scripted answers for tests: every box shown is recorded; answers and file
// names are taken from the front of their queues. An empty answer queue
// answers with the first button (OK or Yes); an empty file queue cancels.
class ScriptedDialogs : public Dialogs {
public:
    struct Shown {
        QString text;
        Buttons buttons;
        Icon icon;
        QString title;
    };
    struct FileRequest {
        bool save;
        QString filter;
        QString initialPath;
    };

    QList<Shown> shown;
    QList<Answer> answers;
    QList<FileRequest> fileRequests;
    QList<std::optional<QString>> fileNames;

    using Dialogs::message;
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override
    {
        shown.append({text, buttons, icon, title});
        if (!answers.isEmpty())
            return answers.takeFirst();
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Answer::Ok : Answer::Yes;
    }
    std::optional<QString> openFileName(const QString& filter, const QString& initialPath) override
    {
        fileRequests.append({false, filter, initialPath});
        return fileNames.isEmpty() ? std::nullopt : fileNames.takeFirst();
    }
    std::optional<QString> saveFileName(const QString& filter, const QString& initialPath) override
    {
        fileRequests.append({true, filter, initialPath});
        return fileNames.isEmpty() ? std::nullopt : fileNames.takeFirst();
    }
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
};

} // namespace brevix
