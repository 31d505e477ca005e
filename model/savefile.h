#pragma once
// Whole files read and written by byte name (see filename.h), so any name the
// file system accepts works. A save never costs the old file and replaces
// only a regular file (links followed, also to a file not made yet): the
// bytes go to a temporary file beside it, unseen until complete where the
// file system allows, which takes the old file's owner, group and mode and
// replaces it only once flushed and synced. Where the folder refuses a
// temporary file, or the owner and group could not be kept, the old file is
// rewritten in place and put back as it was if that fails. Failures are
// RuntimeErrors: 磁盘已满 (no space, or past a file-size limit), 权限被拒绝
// (also a file its owner made read-only, for root too), 路径/文件访问错误
// (a folder, device or FIFO), 路径未找到, 文件未找到, 设备 I/O 错误.

#include <QFile>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace brevix {

// The file at path, open for reading.
std::unique_ptr<QFile> OpenFileForReading(const QString& path);

// Writes path with what `write` puts on the device it is given; an exception
// from `write` leaves the old file as it was and is passed on. A target
// refused is refused before `write` is called, so it costs no typesetting.
// Costs one copy of the contents in memory only on the in-place path, and
// one pass over the folder's names to remove temporary files of killed runs.
void SaveFile(const QString& path, const std::function<void(QIODevice&)>& write);

bool FileExists(const QString& path);

// True when both name one existing file (links followed, same device and inode).
bool IsSameFile(const QString& a, const QString& b);

} // namespace brevix
