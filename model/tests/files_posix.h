#pragma once
// The faults of files.h on POSIX: a file-size limit (EFBIG, as a full disk
// fails a write, also for root), a child process without root's privileges
// or killed half-way, no way to keep another program from replacing a file.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <functional>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace brevix::faults {

constexpr bool CanLockFolder = true;
constexpr bool CanHoldOpen = false;
constexpr bool NamesAreBytes = true;
constexpr bool CanSymlink = true;
constexpr bool CanReadPdfText = true; // poppler's pdftotext

// A second name for a file: a symbolic link, or a hard link. True when made.
inline bool SymbolicLink(const QString& file, const QString& name)
{
    return ::symlink(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0;
}
inline bool HardLink(const QString& file, const QString& name)
{
    return ::link(QFile::encodeName(file).constData(), QFile::encodeName(name).constData()) == 0;
}

// Writes past `bytes` fail with EFBIG while this lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit small = saved_;
        small.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &saved_); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
};

// Runs `run` in a child process once `enter` (which may change who or where
// the child is) succeeded. Returns what `run` returned (its bytes pass back
// through a pipe), "(killed)" when the child was killed; a child still
// running after 30 seconds is killed.
inline QByteArray InChild(const std::function<bool()>& enter, const std::function<QByteArray()>& run)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "(no pipe)";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        int code = 1;
        try {
            if (enter()) {
                const QByteArray result = run();
                code = write(pipeEnds[1], result.constData(), size_t(result.size())) == result.size() ? 0 : 1;
            }
        } catch (...) {
        }
        _exit(code);
    }
    close(pipeEnds[1]);
    QByteArray result;
    char chunk[4096];
    bool hung = false;
    for (pollfd ready{pipeEnds[0], POLLIN, 0};;) {
        hung = poll(&ready, 1, 30000) == 0;
        const ssize_t n = hung ? 0 : read(pipeEnds[0], chunk, sizeof chunk);
        if (n <= 0)
            break;
        result.append(chunk, n);
    }
    close(pipeEnds[0]);
    if (hung)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (hung)
        return "(hung)";
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        return "(killed)";
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : QByteArray("(child failed)");
}

// The users who own files in tests, and the one group nobody is in here.
constexpr uid_t Nobody = 65534;
constexpr gid_t NoGroup = 65534, Users = 100;

// Runs `run` where permissions apply: as root, in a child process as nobody,
// whose only other group is users (not root's groups).
inline QByteArray Unprivileged(const std::function<QByteArray()>& run)
{
    if (geteuid() != 0)
        return run();
    return InChild([] { return setgroups(1, &Users) == 0 && setgid(NoGroup) == 0 && setuid(Nobody) == 0; }, run);
}

// A file open elsewhere does not stop a rename here: nothing to hold.
class HoldOpen {
public:
    explicit HoldOpen(const QString&) {}
};

} // namespace brevix::faults
