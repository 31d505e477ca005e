#pragma once
// Whole files read and written by byte name (see filename.h), so any name the
// file system accepts works. A save never costs the old file: the bytes go to
// a temporary file beside it and replace it only once flushed and synced, and
// where the folder refuses a temporary file the old one is rewritten in place
// and put back as it was if that fails. Failures are RuntimeErrors:
// 磁盘已满 (no space, or past a file-size limit), 权限被拒绝, 路径未找到,
// 文件未找到, 设备 I/O 错误.

#include <QFile>
#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>

namespace brevix {

// The file at path, open for reading.
std::unique_ptr<QFile> OpenFileForReading(const QString& path);

// Writes path with what `write` puts on the device it is given; an exception
// from `write` leaves the old file as it was and is passed on.
// Costs one copy of the contents in memory only on the in-place path.
void SaveFile(const QString& path, const std::function<void(QIODevice&)>& write);

bool FileExists(const QString& path);

// True when both name one existing file (links followed, same device and inode).
bool IsSameFile(const QString& a, const QString& b);

} // namespace brevix
