#include "libreoffice/private_office.h"

#include "model/errors.h"
#include "model/filename.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brevix::libreoffice {

namespace {

// Ends every process started on the profile $1 (its office, and the
// launcher waiting for it) and removes the run folder $2, once standard
// input ends: at once for a folder left behind, or when our process ends
// for the run under way. The pattern goes to grep on its input, so that
// grep does not find itself. An office killed leaves its pipes' sockets
// behind: those it listened on are removed too.
constexpr char GuardianScript[] = R"sh(trap '' INT TERM HUP
cat >/dev/null 2>&1
sockets=
for pass in 1 2 3 4 5; do
  found=$(printf '%s\n' "-env:UserInstallation=$1" | grep -a -l -F -f - /proc/[0-9]*/cmdline 2>/dev/null)
  [ -z "$found" ] && break
  inodes=$(for f in $found; do ls -l "${f%/cmdline}/fd" 2>/dev/null; done | sed -n 's/.*socket:\[\([0-9]*\)\]$/\1/p' | tr '\n' ' ')
  sockets="$sockets $(awk -v mine=" $inodes " 'index(mine, " " $7 " ") && $8 ~ /^\/(var\/)?tmp\/OSL_PIPE_/ { print $8 }' /proc/net/unix)"
  for f in $found; do p=${f#/proc/}; kill -9 "${p%/cmdline}" 2>/dev/null; done
  sleep 0.2
done
[ -n "${sockets# }" ] && rm -f -- $sockets
rm -rf -- "$2"
)sh";

QByteArray ProfileUrl(const QByteArray& folder)
{
    return "file://" + (folder + "/profile").toPercentEncoding("/");
}

pid_t StartGuardianProcess(const QByteArray& folder, int input)
{
    const QByteArray url = ProfileUrl(folder);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid(); // no terminal's signal reaches it
        ::dup2(input, 0);
        ::execl("/bin/sh", "sh", "-c", GuardianScript, "sh", url.constData(), folder.constData(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid > 0 ? pid : 0;
}

void WaitFor(pid_t pid, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0) {
        if (deadline.hasExpired()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return;
        }
        QThread::msleep(20);
    }
}

// Holds the run folder's lock: free again once its run's process has ended.
int LockFolder(const QByteArray& folder, bool wait)
{
    const int fd = ::open((folder + "/lock").constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return -1;
    if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Ends the office of a run folder and removes the folder, now.
void EndRun(const QByteArray& folder)
{
    const int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    WaitFor(StartGuardianProcess(folder, input), 10000);
    ::close(input);
}

// Folders of runs that ended without cleaning up (their guardian killed
// with them): their office is ended and the folder removed.
void EndStaleRuns(const QByteArray& root)
{
    const QDir dir(FileNameFromBytes(root));
    for (const QString& name : dir.entryList({QStringLiteral("run-*")}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QByteArray folder = root + '/' + FileNameToBytes(name);
        struct stat st {};
        if (::lstat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
            continue;
        // A run starting this moment has its folder before its lock.
        if (!QFileInfo::exists(FileNameFromBytes(folder + "/lock")) && ::time(nullptr) - st.st_mtime < 60)
            continue;
        const int lock = LockFolder(folder, false);
        if (lock < 0)
            continue;
        EndRun(folder);
        ::close(lock);
    }
}

void CopyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    QDir().mkpath(to);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = to + source.mid(from.size());
        if (it.fileInfo().isDir())
            QDir().mkpath(target);
        else if (it.fileInfo().isFile())
            QFile::copy(source, target);
    }
}

} // namespace

QString PrivateOffice::DefaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/brevix/office");
}

PrivateOffice::PrivateOffice(const QString& root) : root_(root)
{
    const QByteArray rootBytes = FileNameToBytes(root_);
    QDir().mkpath(root_);
    struct stat st {};
    if (::lstat(rootBytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()
        || ::chmod(rootBytes.constData(), 0700) != 0)
        throw RuntimeError::CannotCreateObject();
    EndStaleRuns(rootBytes);

    QByteArray folder = rootBytes + "/run-XXXXXX";
    if (!::mkdtemp(folder.data()))
        throw RuntimeError::CannotCreateObject();
    folder_ = FileNameFromBytes(folder);
    lock_ = LockFolder(folder, true);
    StartGuardian();
    if (QFileInfo::exists(root_ + QStringLiteral("/profile/user")))
        CopyTree(root_ + QStringLiteral("/profile"), folder_ + QStringLiteral("/profile"));

    options_.headless = true;
    options_.profileUrl = QString::fromLatin1(ProfileUrl(folder));
    options_.pipeName = PrivatePipeName();
}

PrivateOffice::~PrivateOffice() { End(nullptr); }

void PrivateOffice::StartGuardian()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw RuntimeError::CannotCreateObject();
    guardianPid_ = StartGuardianProcess(FileNameToBytes(folder_), ends[0]);
    ::close(ends[0]);
    guardian_ = ends[1];
    if (guardianPid_ == 0)
        throw RuntimeError::CannotCreateObject();
}

void PrivateOffice::End(const std::shared_ptr<Office>& office)
{
    if (guardian_ < 0)
        return;
    bool clean = false;
    if (office && office->isAlive() && office->Terminate()) {
        const QDeadlineTimer deadline(10000);
        while ((office->isAlive() || ProcessRuns(office->processId())) && !deadline.hasExpired())
            QThread::msleep(50);
        clean = !office->isAlive() && !ProcessRuns(office->processId());
    }
    // Kept before the folder goes; a run that got there first keeps its own.
    if (clean && !QFileInfo::exists(root_ + QStringLiteral("/profile")))
        ::rename(FileNameToBytes(folder_ + QStringLiteral("/profile")).constData(),
                 FileNameToBytes(root_ + QStringLiteral("/profile")).constData());
    ::close(guardian_);
    guardian_ = -1;
    WaitFor(guardianPid_, 15000);
    // A guardian killed before its time has done nothing.
    if (QFileInfo::exists(folder_))
        EndRun(FileNameToBytes(folder_));
    if (lock_ >= 0)
        ::close(lock_);
    lock_ = -1;
}

} // namespace brevix::libreoffice
