#pragma once
// Files and failures for tests: what a folder and a file hold, issue files,
// the error a call raises, and real write failures with no special file
// system needed: a file-size limit fails writes as a full disk does (also for
// root), and a folder that refuses new entries is made by dropping root's
// privileges; a child process may also be killed half-way.

#include "model/errors.h"
#include "model/issuefile.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <csignal>
#include <grp.h>
#include <poll.h>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>

namespace brevix::faults {

// The number and description of the error a call raises; 0 and empty when none.
inline std::pair<int, QString> ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const RuntimeError& error) {
        return {error.number(), error.description()};
    }
    return {0, {}};
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

// Every name in folder, hidden ones, devices and dangling links too: a failed save must leave only what was there.
inline QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

inline QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
}

// Writes bytes to path; the path, or nothing when the write failed.
inline QString WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() ? path : QString();
}

// The bytes of an issue file holding the articles.
inline QByteArray IssueBytes(const QVector<Article>& articles)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteIssue(articles, buffer);
    return buffer.data();
}

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

} // namespace brevix::faults
