#include "ui/recovery.h"

#include "model/errors.h"
#include "model/filename.h"
#include "model/savefile.h"
#include "ui/commands.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <algorithm>
#include <optional>

namespace brevix {

namespace {

// Long enough that typing costs no more than a write a second; a write that
// took long (the largest issues) waits longer, so it never keeps a core busy.
constexpr int WriteDelayMs = 1000;
constexpr int WriteCostFactor = 4;

bool MakePrivateFolder(const QString& folder)
{
    if (folder.isEmpty() || !QDir().mkpath(folder))
        return false;
    // The drafts are nobody else's to read.
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

std::unique_ptr<QLockFile> LockOf(const QString& stem)
{
    auto lock = std::make_unique<QLockFile>(stem + QStringLiteral(".lock"));
    // Stale only when its process is gone, however long a composer runs.
    lock->setStaleLockTime(0);
    return lock;
}

// Moves a damaged file out of the offer's way, keeping it for a look; the
// new name, or an empty one when it could not be moved.
QString MoveAside(const QString& path, const QString& stem)
{
    for (int k = 0; k < 100; ++k) {
        const QString aside = stem + (k == 0 ? QString() : QStringLiteral("-%1").arg(k)) + QStringLiteral(".damaged");
        if (!QFile::exists(aside))
            return QFile::rename(path, aside) ? aside : QString();
    }
    return {};
}

// The file written with `work`, or removed when there is none.
void WriteOrRemove(const QString& path, const std::optional<UnsavedWork>& work)
{
    if (work)
        SaveFile(path, [&work](QIODevice& device) { WriteRecoveryFile(*work, device); });
    else if (QFile::exists(path) && !QFile::remove(path))
        throw RuntimeError::PermissionDenied();
}

} // namespace

struct Recovery::Outcome {
    std::optional<QString> failure; // the error's description
    qint64 ms = 0;
};

QString RecoveryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/recovery");
}

Recovery::Recovery(Form1& form, const QString& folder) : form_(&form), folder_(folder)
{
    stem_ = folder_ + u'/' + form.edition().programName + u'-' + QUuid::createUuid().toString(QUuid::WithoutBraces);
    lock_ = LockOf(stem_);
    if (MakePrivateFolder(folder_))
        lock_->tryLock(0); // failing here, the first write reports it

    delay_.setSingleShot(true);
    connect(&delay_, &QTimer::timeout, this, &Recovery::writeNow);
    connect(&form, &Form1::workChanged, this, &Recovery::noteChange);
    connect(&form, &Form1::issueOnDisk, this, [this] {
        articlesSaved_ = true;
        delay_.stop();
        writeNow(); // a save that leaves nothing unsaved removes the file at once
    });
    connect(&form, &Form1::exitConfirmed, this, &Recovery::discard);
    const auto articlesChanged = [this] {
        articlesSaved_ = false;
        noteChange();
    };
    Issue* issue = &form.issue();
    connect(issue, &Issue::rowsInserted, this, articlesChanged);
    connect(issue, &Issue::rowsRemoved, this, articlesChanged);
    connect(issue, &Issue::rowsMoved, this, articlesChanged);
    connect(issue, &Issue::dataChanged, this, articlesChanged);
    connect(issue, &Issue::modelReset, this, articlesChanged);
    connect(issue, &Issue::layoutChanged, this, articlesChanged);
}

Recovery::~Recovery()
{
    const bool changed = delay_.isActive() || again_;
    waitForWrite();
    if (!ended_ && changed && form_ && lock_->isLocked()) {
        const UnsavedWork work = form_->work();
        try {
            WriteOrRemove(fileName(), nothingUnsaved(work) ? std::nullopt : std::optional(work));
        } catch (...) {
            // The program is ending: the file keeps the change before.
        }
    }
}

bool Recovery::busy() const { return delay_.isActive() || writing_ || again_; }

bool Recovery::nothingUnsaved(const UnsavedWork& work) const
{
    return articlesSaved_ && work.entry == Article{};
}

void Recovery::noteChange()
{
    if (ended_)
        return;
    if (writing_)
        again_ = true;
    else if (!delay_.isActive())
        delay_.start(static_cast<int>(std::clamp<qint64>(WriteCostFactor * lastWriteMs_, WriteDelayMs, 60000)));
}

void Recovery::writeNow()
{
    if (ended_ || !form_)
        return;
    if (writing_) {
        again_ = true;
        return;
    }
    if (!MakePrivateFolder(folder_) || (!lock_->isLocked() && !lock_->tryLock(0))) {
        const bool denied = lock_->error() == QLockFile::PermissionError;
        finishWrite({(denied ? RuntimeError::PermissionDenied() : RuntimeError::PathNotFound()).description(), 0});
        return;
    }
    const UnsavedWork work = form_->work();
    std::optional<UnsavedWork> kept;
    if (!nothingUnsaved(work))
        kept = work;
    auto outcome = std::make_shared<Outcome>();
    writing_.reset(QThread::create([path = fileName(), kept = std::move(kept), outcome] {
        QElapsedTimer clock;
        clock.start();
        try {
            WriteOrRemove(path, kept);
        } catch (const RuntimeError& error) {
            outcome->failure = error.description();
        } catch (const std::bad_alloc&) {
            outcome->failure = QStringLiteral("内存溢出");
        } catch (...) {
            outcome->failure = QStringLiteral("应用程序定义或对象定义错误");
        }
        outcome->ms = clock.elapsed();
    }));
    QThread* thread = writing_.get();
    connect(thread, &QThread::finished, this, [this, thread, outcome] {
        if (writing_.get() != thread)
            return; // already waited for, and its outcome dropped
        writing_->wait();
        writing_.reset();
        finishWrite(*outcome);
    });
    thread->start(QThread::LowPriority);
}

void Recovery::finishWrite(const Outcome& outcome)
{
    lastWriteMs_ = outcome.ms;
    const bool show = outcome.failure && !failureShown_ && form_;
    failureShown_ = outcome.failure.has_value();
    if (again_) {
        again_ = false;
        noteChange();
    }
    // Once per failing spell, not at every keystroke's write.
    if (show)
        form_->dialogs().message(QStringLiteral("无法写入恢复文件，请及时保存期刊。\r\n") + *outcome.failure);
    emit written();
}

void Recovery::waitForWrite()
{
    if (writing_) {
        writing_->wait();
        writing_.reset();
    }
    again_ = false;
}

void Recovery::discard()
{
    ended_ = true;
    delay_.stop();
    waitForWrite();
    QFile::remove(fileName());
    lock_->unlock();
}

void Recovery::adopt(std::unique_ptr<QLockFile> lock, const QString& stem)
{
    waitForWrite();
    QFile::remove(fileName());
    lock_ = std::move(lock);
    stem_ = stem;
}

void Recovery::OfferLeftOver()
{
    if (folder_.isEmpty() || !form_)
        return;
    const QString prefix = form_->edition().programName + u'-';
    QStringList stems;
    for (const QFileInfo& entry : QDir(folder_).entryInfoList({prefix + QStringLiteral("*.json"), prefix + QStringLiteral("*.lock")}, QDir::Files, QDir::Time)) {
        const QString stem = entry.path() + u'/' + entry.completeBaseName();
        if (stem != stem_ && !stems.contains(stem))
            stems.append(stem);
    }
    Dialogs& dialogs = form_->dialogs();
    for (const QString& stem : stems) {
        std::unique_ptr<QLockFile> lock = LockOf(stem);
        if (!lock->tryLock(0))
            continue; // its composer runs
        const QString path = stem + QStringLiteral(".json");
        if (!QFile::exists(path))
            continue; // a lock left behind alone: it goes with `lock`
        std::optional<UnsavedWork> work;
        try {
            work = ReadRecoveryFile(*OpenFileForReading(path));
        } catch (...) {
            const QString aside = MoveAside(path, stem);
            dialogs.message(QStringLiteral("发现未保存的期刊，但其恢复文件已损坏，无法恢复。") +
                            (aside.isEmpty() ? QString() : QStringLiteral("\r\n损坏的文件已移至：") + DisplayFileName(aside)));
            continue;
        }
        if (dialogs.message(QStringLiteral("发现未保存的期刊，是否恢复？"), Buttons::YesNo) != Answer::Yes) {
            QFile::remove(path);
            continue;
        }
        adopt(std::move(lock), stem);
        RunCommand(dialogs, CommandErrorHeading(), [this, &work] { form_->RestoreWork(*work); });
        return;
    }
}

} // namespace brevix
