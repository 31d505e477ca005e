// Saving on Windows, with the promise of savefile.h: the bytes go to a
// temporary file beside the target, flushed to the disk, which then takes the
// target's place (ReplaceFileW, which keeps the old file's attributes and
// security; MoveFileExW, written through, for a new file). Failures come from
// GetLastError in the same descriptions as on POSIX. A file another program
// holds open (a DOCX open in Word) cannot be replaced: 路径/文件访问错误, and
// the file stays as it was. A folder that takes no new file fails the save
// (权限被拒绝) without touching the old one.
#include "savefile.h"

#include "errors.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace brevix {

namespace {

RuntimeError ErrorFor(DWORD error, bool reading)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return RuntimeError::DiskFull();
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
        return RuntimeError::PermissionDenied();
    case ERROR_FILE_NOT_FOUND:
        return reading ? RuntimeError::FileNotFound() : RuntimeError::PathNotFound();
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
        return RuntimeError::PathNotFound();
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
    case ERROR_UNABLE_TO_REMOVE_REPLACED: // the old file is held open: it keeps its name and contents
    case ERROR_DIRECTORY:
        return RuntimeError(75, QStringLiteral("路径/文件访问错误"));
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return RuntimeError::BadFileName();
    default:
        return RuntimeError::DeviceIO();
    }
}

const wchar_t* Wide(const QString& path) { return reinterpret_cast<const wchar_t*>(path.utf16()); }

QString Native(const QString& path) { return QFileInfo(path).absoluteFilePath().replace(u'/', u'\\'); }

bool IsFolder(const QString& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (valid())
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// The device a save writes to: its own buffer in front of the handle, and the
// error of the first failure kept, since Qt's file classes report a failed
// flush nowhere a caller can see.
class HandleDevice : public QIODevice {
public:
    explicit HandleDevice(HANDLE h) : h_(h) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    DWORD error() const { return error_; }

    // Everything written and flushed to the disk: 0 or the error of the failure.
    DWORD finish()
    {
        if (!drain())
            return error_;
        return FlushFileBuffers(h_) ? 0 : GetLastError();
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (error_ != 0)
            return -1;
        if (buffer_.isEmpty() && size >= Chunk) { // a whole file in one write: no copy
            error_ = WriteAll(data, size);
            return error_ == 0 ? size : -1;
        }
        buffer_.append(data, size);
        if (buffer_.size() >= Chunk && !drain())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype Chunk = 256 * 1024;

    DWORD WriteAll(const char* data, qint64 size)
    {
        while (size > 0) {
            const DWORD part = static_cast<DWORD>(std::min<qint64>(size, 1 << 30));
            DWORD written = 0;
            if (!WriteFile(h_, data, part, &written, nullptr))
                return GetLastError();
            data += written;
            size -= written;
        }
        return 0;
    }

    bool drain()
    {
        if (error_ == 0)
            error_ = WriteAll(buffer_.constData(), buffer_.size());
        buffer_.clear();
        return error_ == 0;
    }

    HANDLE h_;
    QByteArray buffer_;
    DWORD error_ = 0;
};

// The temporary file beside the target, open while it is written, and
// removed unless the save got as far as moving it. Windows removes no file
// that is still open, so the handle is closed first.
class TemporaryFile {
public:
    explicit TemporaryFile(const QString& folder)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            name_ = folder
                    + QStringLiteral("\\.brevix-save-%1")
                          .arg(qulonglong(QRandomGenerator::global()->generate()), 8, 16, QChar(u'0'));
            handle_ = CreateFileW(Wide(name_), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (handle_ != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
                break;
        }
        if (handle_ == INVALID_HANDLE_VALUE)
            throw ErrorFor(GetLastError(), false);
    }
    ~TemporaryFile()
    {
        close();
        if (!kept_)
            DeleteFileW(Wide(name_));
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    HANDLE handle() const { return handle_; }
    const QString& name() const { return name_; }
    // 0 or the error of the close (some file systems report a failed write only here).
    DWORD close()
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return 0;
        const BOOL ok = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return ok ? 0 : GetLastError();
    }
    void keep() { kept_ = true; }

private:
    QString name_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    bool kept_ = false;
};

// Opened for no access at all, which every sharing mode allows.
HANDLE OpenForIdentity(const QString& path)
{
    return CreateFileW(Wide(Native(path)), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

} // namespace

std::unique_ptr<QFile> OpenFileForReading(const QString& path)
{
    if (path.isEmpty())
        throw RuntimeError::BadFileName();
    const QString name = Native(path);
    if (IsFolder(name))
        throw ErrorFor(ERROR_DIRECTORY, true);
    // Others may go on writing or replacing it: we only read.
    const HANDLE h = CreateFileW(Wide(name), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw ErrorFor(GetLastError(), true);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        throw RuntimeError::DeviceIO();
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        _close(fd);
        throw RuntimeError::DeviceIO();
    }
    return file;
}

void SaveFile(const QString& path, const std::function<void(QIODevice&)>& write)
{
    if (path.isEmpty())
        throw RuntimeError::BadFileName();
    const QString target = Native(path);
    if (IsFolder(target))
        throw ErrorFor(ERROR_DIRECTORY, false);
    const bool exists = GetFileAttributesW(Wide(target)) != INVALID_FILE_ATTRIBUTES;
    const QString folder = QFileInfo(target).absolutePath().replace(u'/', u'\\');

    TemporaryFile temporary(folder);
    HandleDevice device(temporary.handle());
    try {
        write(device);
    } catch (const RuntimeError&) {
        // The writer saw its device fail; the device knows why.
        if (device.error() != 0)
            throw ErrorFor(device.error(), false);
        throw;
    }
    if (const DWORD error = device.finish())
        throw ErrorFor(error, false);
    if (const DWORD error = temporary.close())
        throw ErrorFor(error, false);

    if (exists) {
        // Another program holding the file (Word its DOCX) shares it without
        // deletion: found before anything moves, so nothing is left half-done.
        const Handle held(CreateFileW(Wide(target), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!held.valid())
            throw ErrorFor(GetLastError(), false);
    }
    const bool moved = exists ? ReplaceFileW(Wide(target), Wide(temporary.name()), nullptr,
                                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                              : MoveFileExW(Wide(temporary.name()), Wide(target), MOVEFILE_WRITE_THROUGH);
    if (!moved)
        throw ErrorFor(GetLastError(), false);
    temporary.keep();
}

bool FileExists(const QString& path)
{
    return !path.isEmpty() && GetFileAttributesW(Wide(Native(path))) != INVALID_FILE_ATTRIBUTES;
}

bool IsSameFile(const QString& a, const QString& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const Handle first(OpenForIdentity(a)), second(OpenForIdentity(b));
    BY_HANDLE_FILE_INFORMATION one {}, two {};
    return first.valid() && second.valid() && GetFileInformationByHandle(first.get(), &one)
           && GetFileInformationByHandle(second.get(), &two) && one.dwVolumeSerialNumber == two.dwVolumeSerialNumber
           && one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

} // namespace brevix
