#pragma once
// Files and failures for tests: what a folder and a file hold, issue files,
// the error a call raises, and real write failures, made as each platform
// can (files_posix.h, files_win.h): FileSizeLimit fails writes past a size as
// a full disk does; Unprivileged runs where a folder can refuse new entries;
// HoldOpen keeps a file open as another program would. A fault a platform
// cannot make says so (the Can... constants), and the cases that need it
// are left out there.

#include "model/errors.h"
#include "model/issuefile.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>

#include <functional>
#include <utility>

#ifdef _WIN32
#include "model/tests/files_win.h"
#else
#include "model/tests/files_posix.h"
#endif

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

} // namespace brevix::faults
