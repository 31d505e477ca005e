#pragma once
// The faults of files.h on Windows, which has no file-size limit: the
// temporary folder lies on a small disk of its own (windows/run-tests.sh),
// and FileSizeLimit fills it up to the given room, so writes fail with
// ERROR_DISK_FULL as on any full disk. HoldOpen keeps a file open as Word
// keeps its document, shared for reading only. A folder cannot be locked
// against root, whom wine runs as.

#include <QByteArray>
#include <QDir>
#include <QString>

#include <windows.h>

#include <functional>

namespace brevix::faults {

constexpr bool CanLockFolder = false;
constexpr bool CanHoldOpen = true;
constexpr bool NamesAreBytes = false; // UTF-16
constexpr bool CanSymlink = false;
constexpr bool CanReadPdfText = false; // poppler's pdftotext does not run under wine

// A second name for a file. Symbolic links need a privilege Windows gives
// few users (and wine makes none): only hard links are made.
inline bool SymbolicLink(const QString&, const QString&) { return false; }
inline bool HardLink(const QString& file, const QString& name)
{
    return CreateHardLinkW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(name).utf16()),
                           reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(file).utf16()), nullptr);
}

// The temporary folder's disk left with `bytes` of room while this lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes) : filler_(QDir::temp().filePath(QStringLiteral("disk-filler")))
    {
        ULARGE_INTEGER free {}, total {};
        const QString temp = QDir::tempPath();
        if (!GetDiskFreeSpaceExW(reinterpret_cast<const wchar_t*>(temp.utf16()), &free, &total, nullptr)
            || total.QuadPart > (qint64(1) << 30))
            qFatal("FileSizeLimit needs the temporary folder on a small disk of its own (windows/run-tests.sh)");
        const HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(filler_.utf16()), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const QByteArray zeros(1 << 16, '\0');
        for (qint64 left = qint64(free.QuadPart) - bytes; left > 0;) {
            DWORD written = 0;
            if (!WriteFile(h, zeros.constData(), DWORD(std::min<qint64>(left, zeros.size())), &written, nullptr))
                break;
            left -= written;
        }
        CloseHandle(h);
    }
    ~FileSizeLimit() { DeleteFileW(reinterpret_cast<const wchar_t*>(filler_.utf16())); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    QString filler_;
};

// Never needed here (CanLockFolder is false).
inline QByteArray Unprivileged(const std::function<QByteArray()>& run) { return run(); }

// The file open for reading, others allowed only to read it, while this lives.
class HoldOpen {
public:
    explicit HoldOpen(const QString& path)
        : h_(CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()), GENERIC_READ,
                         FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~HoldOpen()
    {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    HoldOpen(const HoldOpen&) = delete;
    HoldOpen& operator=(const HoldOpen&) = delete;

private:
    HANDLE h_;
};

} // namespace brevix::faults
