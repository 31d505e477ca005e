#pragma once
// The main composer window: the entry area on the left, the title list with
// its commands, the issue numbers, the date and the output on the right.

#include "editions/edition.h"
#include "editions/layout.h"
#include "generator/automation.h"
#include "model/dialogs.h"
#include "model/issue.h"
#include "model/recoveryfile.h"
#include "ui/form2.h"
#include "ui/windowbuild.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QFrame;
class QListView;

namespace brevix {

// Pages the bulletin will take: (characters / 29 + articles) / 26 + 1,
// rounded half to even.
qint64 EstimatePages(qint64 totalCharacters, qint64 articleCount);
QString PageEstimateCaption(qint64 pages);

class Form1 : public QWidget {
    Q_OBJECT
public:
    Form1(const Edition& edition, Dialogs& dialogs, word::Backend& backend, QWidget* parent = nullptr);
    ~Form1() override;

    const Edition& edition() const { return edition_; }
    Dialogs& dialogs() const { return dialogs_; }
    Issue& issue() { return issue_; }
    const EntryFields& entry() const { return entry_; }

    // The pending edit: the article the edit command took into the entry area,
    // to be replaced by the next submit.
    bool EditPending() const { return editPending_; }
    int EditIndex() const { return editIndex_; }

    bool outputRunning() const { return outputRunning_; }
    // The open edit dialog, if any (a closed one is on its way out).
    Form2* editDialog() const { return editDialog_ && editDialog_->isVisible() ? editDialog_.data() : nullptr; }

    void UpdatePageEstimate();

    // Issue files named at start, loaded in order as the load command loads
    // a chosen file: each all or nothing, a bad one shown in its error box.
    void OpenIssueFiles(const QStringList& paths);

    // What would be lost if the program ended now: the issue, the pending
    // edit, and the entry area being worked in (the edit dialog's while it
    // is open). Copies the issue's texts by reference count: O(articles).
    UnsavedWork work() const;
    // Appends the articles and puts back the entry area and the pending edit.
    void RestoreWork(const UnsavedWork& work);

signals:
    // After every command, and on every change to an entry area (each
    // keystroke: whoever listens must not do more than note it).
    void workChanged();
    // The issue is now exactly what a file holds: just saved, or loaded
    // into an empty issue.
    void issueOnDisk();
    // 退出 answered 确定: what is unsaved is meant to go.
    void exitConfirmed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Submit();
    void Clear();
    void Edit();
    void Delete();
    void MoveUp();
    void MoveDown();
    void Load();
    void LoadFile(const QString& path);
    void Save();
    void Output();
    void Exit();
    void OpenEditDialog();

    void watchEntry(const EntryFields& fields);
    int selectedLine() const;
    void selectLine(int k);
    void setIssueCommandsEnabled(bool enabled);

    const Edition& edition_;
    Dialogs& dialogs_;
    word::Backend& backend_;
    Issue issue_;
    EntryFields entry_;

    QListView* lstTitles_ = nullptr;
    QLineEdit* txtNoHZ_ = nullptr;
    QLineEdit* txtNoSum_ = nullptr;
    QComboBox* cboYear_ = nullptr;
    QComboBox* cboMonth_ = nullptr;
    QComboBox* cboDay_ = nullptr;
    QLabel* Label13_ = nullptr;
    QPushButton* cmdTJ_ = nullptr;
    QPushButton* cmdQC_ = nullptr;
    QPushButton* cmdDown_ = nullptr;
    QPushButton* cmdUp_ = nullptr;
    QPushButton* cmdEdit_ = nullptr;
    QPushButton* cmdDel_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdInFile_ = nullptr;
    QPushButton* cmdOutWord_ = nullptr;
    QPushButton* cmdEXIT_ = nullptr;

    bool editPending_ = false;
    int editIndex_ = -1;
    bool outputRunning_ = false;
    QString lastPath_; // offered again by the next file dialog
    QPointer<Form2> editDialog_;
};

} // namespace brevix
