#include "ui/form1.h"

#include "model/issuefile.h"
#include "ui/commands.h"
#include "ui/form2.h"
#include "ui/listcontrols.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

namespace brevix {

qint64 EstimatePages(qint64 totalCharacters, qint64 articleCount)
{
    const double pages =
        (static_cast<double>(totalCharacters) / 29.0 + static_cast<double>(articleCount)) / 26.0 + 1.0;
    // Half to even (2.5 -> 2, 3.5 -> 4), whatever the floating-point rounding mode.
    double rounded = std::floor(pages + 0.5);
    if (rounded - pages == 0.5 && std::fmod(rounded, 2.0) != 0.0)
        rounded -= 1.0;
    return static_cast<qint64>(rounded);
}

QString PageEstimateCaption(qint64 pages)
{
    return QStringLiteral("预计输入WORD后共 ") + QStringLiteral(" ") + QString::number(pages) +
           QStringLiteral("  页");
}

Form1::Form1(const Edition& edition, Dialogs& dialogs, word::Backend& backend, QWidget* parent)
    : QWidget(parent), edition_(edition), dialogs_(dialogs), backend_(backend)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("排版信息准备"));
    setFont(DialogFont());
    setFixedSize(TwipsToPixels(11160), TwipsToPixels(7785));

    entry_ = MakeEntryFields(this, edition_);

    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Plain);
    line->setLineWidth(3);
    line->setGeometry(TwipsToPixels(5040) - 1, TwipsToPixels(60), 3, TwipsToPixels(7500 - 60));
    line->setAccessibleDescription(line->objectName());

    cmdTJ_ = MakeButton(this, QStringLiteral("cmdTJ"), QStringLiteral("提  交"));
    cmdQC_ = MakeButton(this, QStringLiteral("cmdQC"), QStringLiteral("清  除"));
    cmdDown_ = MakeButton(this, QStringLiteral("cmdDown"), QStringLiteral("下  移"));
    cmdUp_ = MakeButton(this, QStringLiteral("cmdUp"), QStringLiteral("上  移"));
    cmdEdit_ = MakeButton(this, QStringLiteral("cmdEdit"), QStringLiteral("编  辑"));
    cmdDel_ = MakeButton(this, QStringLiteral("cmdDel"), QStringLiteral("删  除"));
    cmdSave_ = MakeButton(this, QStringLiteral("cmdSave"), QStringLiteral("保  存"));
    cmdInFile_ = MakeButton(this, QStringLiteral("cmdInFile"), QStringLiteral("载  入"));
    cmdOutWord_ = MakeButton(this, QStringLiteral("cmdOutWord"), QStringLiteral("输 出 到 WORD 中"));
    cmdEXIT_ = MakeButton(this, QStringLiteral("cmdEXIT"), QStringLiteral("退   出"));

    lstTitles_ = new TitleList(this);
    lstTitles_->setObjectName(QStringLiteral("lstTitles"));
    lstTitles_->setModel(&issue_);
    lstTitles_->setSelectionMode(QAbstractItemView::SingleSelection);
    lstTitles_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstTitles_->setUniformItemSizes(true); // one line per article, also for 32767 of them
    lstTitles_->setAccessibleName(QStringLiteral("标题列表"));

    txtNoHZ_ = MakeLineEdit(this, QStringLiteral("txtNoHZ"));
    txtNoSum_ = MakeLineEdit(this, QStringLiteral("txtNoSum"));
    cboYear_ = new DateCombo(this, QStringLiteral("cboYear"), 2000, 2005, true);
    cboMonth_ = new DateCombo(this, QStringLiteral("cboMonth"), 1, 12, false);
    cboDay_ = new DateCombo(this, QStringLiteral("cboDay"), 1, 31, false);
    txtNoHZ_->setAccessibleName(QStringLiteral("第…期"));
    txtNoSum_->setAccessibleName(QStringLiteral("总第…期"));
    cboYear_->setAccessibleName(QStringLiteral("出刊日期 年"));
    cboMonth_->setAccessibleName(QStringLiteral("出刊日期 月"));
    cboDay_->setAccessibleName(QStringLiteral("出刊日期 日"));

    MakeLabel(this, QStringLiteral("Label4"), QStringLiteral("标题列表："))->setBuddy(lstTitles_);
    MakeLabel(this, QStringLiteral("Label5"), QStringLiteral("第"))->setBuddy(txtNoHZ_);
    MakeLabel(this, QStringLiteral("Label6"), QStringLiteral("期"));
    MakeLabel(this, QStringLiteral("Label7"), QStringLiteral("总第"))->setBuddy(txtNoSum_);
    MakeLabel(this, QStringLiteral("Label8"), QStringLiteral("期"));
    MakeLabel(this, QStringLiteral("Label9"), QStringLiteral("出刊日期："))->setBuddy(cboYear_);
    MakeLabel(this, QStringLiteral("Label10"), QStringLiteral("年"))->setBuddy(cboYear_);
    MakeLabel(this, QStringLiteral("Label11"), QStringLiteral("月"))->setBuddy(cboMonth_);
    MakeLabel(this, QStringLiteral("Label12"), QStringLiteral("日"))->setBuddy(cboDay_);
    if (edition_.pageEstimate) {
        Label13_ = MakeLabel(this, QStringLiteral("Label13"), QStringLiteral("预计输入WORD后共      页"));
        lstTitles_->installEventFilter(this);
    }

    ApplyLayout(this, LayoutOf(edition_).form1);

    // Every command ends in its own error box, never in the event loop.
    const auto command = [this](void (Form1::*handler)()) {
        return [this, handler] {
            RunCommand(dialogs_, CommandErrorHeading(), [this, handler] { (this->*handler)(); });
            emit workChanged();
        };
    };
    connect(cmdTJ_, &QPushButton::clicked, this, command(&Form1::Submit));
    connect(cmdQC_, &QPushButton::clicked, this, command(&Form1::Clear));
    connect(cmdEdit_, &QPushButton::clicked, this, command(&Form1::Edit));
    connect(lstTitles_, &QListView::doubleClicked, this, command(&Form1::Edit));
    connect(cmdDel_, &QPushButton::clicked, this, command(&Form1::Delete));
    connect(cmdUp_, &QPushButton::clicked, this, command(&Form1::MoveUp));
    connect(cmdDown_, &QPushButton::clicked, this, command(&Form1::MoveDown));
    connect(cmdInFile_, &QPushButton::clicked, this, command(&Form1::Load));
    connect(cmdSave_, &QPushButton::clicked, this, command(&Form1::Save));
    connect(cmdOutWord_, &QPushButton::clicked, this, command(&Form1::Output));
    connect(cmdEXIT_, &QPushButton::clicked, this, command(&Form1::Exit));
    connect(entry_.rtxtWord, &BodyTextEdit::doubleClicked, this, command(&Form1::OpenEditDialog));
    watchEntry(entry_);
}

void Form1::watchEntry(const EntryFields& fields)
{
    connect(fields.txtTitle, &QLineEdit::textChanged, this, &Form1::workChanged);
    connect(fields.txtSource, &QLineEdit::textChanged, this, &Form1::workChanged);
    connect(fields.rtxtWord, &QPlainTextEdit::textChanged, this, &Form1::workChanged);
    for (int k = 0; k < fields.famClass->count(); ++k)
        connect(fields.famClass->option(k), &QRadioButton::toggled, this, &Form1::workChanged);
}

UnsavedWork Form1::work() const
{
    const EntryFields& fields = editDialog() ? editDialog()->entry() : entry_;
    const int category = fields.famClass->selected();
    return {issue_.snapshot(),
            {fields.txtTitle->text(), fields.txtSource->text(), fields.rtxtWord->body(),
             category >= 0 ? edition_.categories.at(category).name : QString()},
            editPending_ ? editIndex_ : -1};
}

void Form1::RestoreWork(const UnsavedWork& work)
{
    const int first = issue_.ArticleCount();
    issue_.AppendArticles(work.articles);
    entry_.txtTitle->setText(work.entry.title);
    entry_.txtSource->setText(work.entry.source);
    entry_.rtxtWord->setBody(work.entry.content);
    const int category = entry_.famClass->find(work.entry.category);
    if (category >= 0)
        entry_.famClass->select(category);
    else
        entry_.famClass->clearSelection();
    editPending_ = work.editIndex >= 0;
    editIndex_ = editPending_ ? first + work.editIndex : -1;
}

Form1::~Form1()
{
    delete editDialog_;
    // The list must let go of the issue before the issue goes.
    lstTitles_->setModel(nullptr);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lstTitles_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        RunCommand(dialogs_, CommandErrorHeading(), [this] { UpdatePageEstimate(); });
    return QWidget::eventFilter(watched, event);
}

void Form1::UpdatePageEstimate()
{
    if (!Label13_)
        return;
    qint64 total = 0;
    for (const QString& content : issue_.Contents())
        total += content.size();
    Label13_->setText(PageEstimateCaption(EstimatePages(total, issue_.ArticleCount())));
    Label13_->adjustSize();
}

void Form1::Submit()
{
    const CategoryFrame& frame = *entry_.famClass;
    const int category = frame.selected();
    if (category < 0) {
        dialogs_.message(QStringLiteral("没有选择信息类别！"));
        return;
    }
    QString body = entry_.rtxtWord->body();
    if (body.isEmpty()) {
        dialogs_.message(QStringLiteral("信息内容没有输入。请输入"));
        return;
    }
    const QString categoryName = edition_.categories.at(category).name;
    QString title = entry_.txtTitle->text();
    if (title.isEmpty()) {
        if (dialogs_.message(QStringLiteral("没有输入信息标题，是否继续？"), Buttons::YesNo) != Answer::Yes)
            return;
        title = categoryName;
    }
    const QString source = entry_.txtSource->text();
    if (source.isEmpty() &&
        dialogs_.message(QStringLiteral("没有输入信息来源，是否继续？"), Buttons::YesNo) != Answer::Yes)
        return;
    // One trailing line break is dropped.
    if (body.size() >= 2 && body.at(body.size() - 2) == QLatin1Char('\r'))
        body.chop(2);

    if (editPending_) {
        issue_.ReplaceArticle(editIndex_, title, source, body, categoryName);
        editPending_ = false;
        editIndex_ = -1;
    } else {
        issue_.AddArticle(title, source, body, categoryName);
    }
    Clear();
    entry_.txtTitle->setFocus();
}

void Form1::Clear() { ClearEntry(entry_); }

int Form1::selectedLine() const
{
    const QModelIndexList rows = lstTitles_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void Form1::selectLine(int k)
{
    const QModelIndex index = issue_.index(k);
    lstTitles_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    lstTitles_->scrollTo(index);
}

void Form1::Edit()
{
    const int k = selectedLine();
    if (k < 0) {
        // Nothing to take: a pending edit ends here, so the next submit appends
        // instead of writing at no position.
        editPending_ = false;
        editIndex_ = -1;
        return;
    }
    const Article article = issue_.article(k);
    entry_.txtTitle->setText(article.title);
    entry_.txtSource->setText(article.source);
    entry_.rtxtWord->setBody(article.content);
    const int category = entry_.famClass->find(article.category);
    if (category >= 0)
        entry_.famClass->select(category);
    editIndex_ = k;
    editPending_ = true;
}

void Form1::Delete()
{
    const int k = selectedLine();
    if (k < 0)
        return;
    issue_.DeleteArticle(k);
    if (editPending_) {
        // The edited article is gone: the next submit appends. Otherwise it
        // keeps pointing at the same article.
        if (editIndex_ == k) {
            editPending_ = false;
            editIndex_ = -1;
        } else if (editIndex_ > k) {
            --editIndex_;
        }
    }
    lstTitles_->selectionModel()->clear();
}

void Form1::MoveUp()
{
    const int k = selectedLine();
    if (k <= 0)
        return;
    issue_.MoveArticleUp(k);
    if (editPending_ && (editIndex_ == k || editIndex_ == k - 1))
        editIndex_ = editIndex_ == k ? k - 1 : k;
    selectLine(k - 1);
}

void Form1::MoveDown()
{
    const int k = selectedLine();
    if (k < 0 || k >= issue_.ArticleCount() - 1)
        return;
    issue_.MoveArticleDown(k);
    if (editPending_ && (editIndex_ == k || editIndex_ == k + 1))
        editIndex_ = editIndex_ == k ? k + 1 : k;
    selectLine(k + 1);
}

void Form1::Load()
{
    const std::optional<QString> path = dialogs_.openFileName(QStringLiteral("*.owd"), lastPath_);
    if (!path || path->isEmpty())
        return;
    LoadFile(*path);
}

void Form1::LoadFile(const QString& path)
{
    lastPath_ = path;
    const bool wasEmpty = issue_.ArticleCount() == 0;
    LoadIssue(issue_, path, dialogs_);
    if (wasEmpty && issue_.ArticleCount() > 0)
        emit issueOnDisk();
}

void Form1::OpenIssueFiles(const QStringList& paths)
{
    for (const QString& path : paths)
        RunCommand(dialogs_, CommandErrorHeading(), [this, &path] { LoadFile(path); });
}

void Form1::Save()
{
    const std::optional<QString> path = dialogs_.saveFileName(QStringLiteral("*.owd"), lastPath_);
    if (!path)
        return;
    if (path->isEmpty()) {
        dialogs_.message(QStringLiteral("没有输入文件名"));
        return;
    }
    lastPath_ = *path;
    if (ConfirmOverwrite(*path, dialogs_) && SaveIssue(issue_, *path, dialogs_))
        emit issueOnDisk();
}

void Form1::setIssueCommandsEnabled(bool enabled)
{
    for (QPushButton* button : {cmdTJ_, cmdDel_, cmdUp_, cmdDown_, cmdInFile_, cmdOutWord_})
        button->setEnabled(enabled);
}

void Form1::Output()
{
    const OutputTexts texts{txtNoHZ_->text(), txtNoSum_->text(), cboYear_->currentText(),
                            cboMonth_->currentText(), cboDay_->currentText()};
    // The window stays live while the bulletin is typeset; what would change
    // the issue or start a second run waits until this one has ended.
    struct Running {
        Form1& form;
        explicit Running(Form1& f) : form(f)
        {
            form.outputRunning_ = true;
            form.setIssueCommandsEnabled(false);
        }
        ~Running()
        {
            form.outputRunning_ = false;
            form.setIssueCommandsEnabled(true);
        }
    } running(*this);
    edition_.outputIssueToWord(backend_, issue_.snapshot(), texts, [] { QCoreApplication::processEvents(); });
}

void Form1::Exit()
{
    if (dialogs_.message(QStringLiteral("是否要退出本程序？"), Buttons::OkCancel, Icon::Information) != Answer::Ok)
        return;
    emit exitConfirmed();
    if (Form2* dialog = editDialog())
        dialog->close();
    close();
}

void Form1::OpenEditDialog()
{
    if (editDialog())
        return;
    editDialog_ = new Form2(*this);
    watchEntry(editDialog_->entry());
    // Closed by its own button it hands nothing back: the main window's entry area is the work again.
    connect(editDialog_, &QObject::destroyed, this, &Form1::workChanged);
    editDialog_->show();
    hide();
}

} // namespace brevix
