#include "savefile.h"

#include "errors.h"
#include "filename.h"

#include <QBuffer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brevix {

namespace {

RuntimeError ErrorFor(int error, bool reading)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // past a file-size limit: the file cannot grow, as on a full disk
        return RuntimeError::DiskFull();
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return RuntimeError::PermissionDenied();
    case ENOENT:
        return reading ? RuntimeError::FileNotFound() : RuntimeError::PathNotFound();
    case ENOTDIR:
        return RuntimeError::PathNotFound();
    case EISDIR:
        return RuntimeError(75, QStringLiteral("路径/文件访问错误"));
    case ENAMETOOLONG:
        return RuntimeError::BadFileName();
    default:
        return RuntimeError::DeviceIO();
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Some file systems report a failed write only here.
    int close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

// Writes all of data at offset; 0 or the errno of the failure.
int WriteAt(int fd, const char* data, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, static_cast<size_t>(size), offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += n;
        size -= n;
        offset += n;
    }
    return 0;
}

// The device a save writes to: its own buffer in front of the descriptor, and
// the errno of the first failure kept, since Qt's file classes report a
// failed flush nowhere a caller can see.
class DescriptorDevice : public QIODevice {
public:
    explicit DescriptorDevice(int fd) : fd_(fd) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

    int error() const { return error_; }

    // Everything written flushed and synced: 0 or the errno of the failure.
    int finish()
    {
        if (!drain())
            return error_;
        return ::fsync(fd_) == 0 ? 0 : errno;
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (error_ != 0)
            return -1;
        if (buffer_.isEmpty() && size >= Chunk) { // a whole file in one write: no copy
            error_ = WriteAt(fd_, data, size, written_);
            written_ += size;
            return error_ == 0 ? size : -1;
        }
        buffer_.append(data, size);
        if (buffer_.size() >= Chunk && !drain())
            return -1;
        return size;
    }

private:
    static constexpr qsizetype Chunk = 256 * 1024;

    bool drain()
    {
        if (error_ == 0)
            error_ = WriteAt(fd_, buffer_.constData(), buffer_.size(), written_);
        written_ += buffer_.size();
        buffer_.clear();
        return error_ == 0;
    }

    int fd_;
    QByteArray buffer_;
    qint64 written_ = 0;
    int error_ = 0;
};

// Removes the temporary file unless the save got as far as renaming it.
class TemporaryName {
public:
    explicit TemporaryName(QByteArray name) : name_(std::move(name)) {}
    ~TemporaryName()
    {
        if (!name_.isEmpty())
            ::unlink(name_.constData());
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;
    void release() { name_.clear(); }

private:
    QByteArray name_;
};

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

mode_t NewFileMode()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(0);
        ::umask(m);
        return m;
    }();
    return 0666 & ~mask;
}

// Rewrites a file whose folder takes no new entries. The new contents are
// made in memory and the space reserved first; should a write still fail,
// the old contents are put back over the blocks they held.
void SaveInPlace(const QByteArray& target, const std::function<void(QIODevice&)>& write)
{
    QBuffer contents;
    contents.open(QIODevice::WriteOnly);
    write(contents);
    const QByteArray& bytes = contents.data();

    Descriptor fd(::open(target.constData(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0)
        throw ErrorFor(errno, false);
    QByteArray old;
    for (char chunk[65536];;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw ErrorFor(errno, true);
        if (n == 0)
            break;
        old.append(chunk, n);
    }
    if (bytes.size() > old.size() && ::fallocate(fd.get(), FALLOC_FL_KEEP_SIZE, 0, bytes.size()) != 0
        && errno != EOPNOTSUPP && errno != ENOSYS)
        throw ErrorFor(errno, false);

    int error = WriteAt(fd.get(), bytes.constData(), bytes.size(), 0);
    if (error == 0 && ::ftruncate(fd.get(), bytes.size()) != 0)
        error = errno;
    if (error == 0 && ::fsync(fd.get()) != 0)
        error = errno;
    if (error != 0) {
        WriteAt(fd.get(), old.constData(), old.size(), 0);
        if (::ftruncate(fd.get(), old.size()) == 0)
            ::fsync(fd.get());
        throw ErrorFor(error, false);
    }
    if (const int closeError = fd.close())
        throw ErrorFor(closeError, false);
}

} // namespace

std::unique_ptr<QFile> OpenFileForReading(const QString& path)
{
    const QByteArray name = FileNameToBytes(path);
    if (name.isEmpty())
        throw RuntimeError::BadFileName();
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        struct stat folder {};
        if (error == ENOENT && ::stat(FolderOf(name).constData(), &folder) != 0)
            throw RuntimeError::PathNotFound();
        throw ErrorFor(error, true);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        throw ErrorFor(EISDIR, true);
    }
    auto file = std::make_unique<QFile>();
    if (!file->open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw RuntimeError::DeviceIO();
    }
    return file;
}

void SaveFile(const QString& path, const std::function<void(QIODevice&)>& write)
{
    QByteArray target = FileNameToBytes(path);
    if (target.isEmpty())
        throw RuntimeError::BadFileName();

    struct stat old {};
    const bool exists = ::stat(target.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        throw ErrorFor(errno, false);
    if (exists && S_ISDIR(old.st_mode))
        throw ErrorFor(EISDIR, false);
    if (exists) {
        // Through a link to the file it names, so the link stays a link.
        if (char* real = ::realpath(target.constData(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const QByteArray folder = FolderOf(target);
    struct stat folderInfo {};
    if (::stat(folder.constData(), &folderInfo) != 0 || !S_ISDIR(folderInfo.st_mode))
        throw RuntimeError::PathNotFound();

    QByteArray temporary = folder + "/.brevix-save-XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        if ((error == EACCES || error == EPERM) && exists && S_ISREG(old.st_mode))
            return SaveInPlace(target, write);
        throw ErrorFor(error, false);
    }
    TemporaryName cleanup(temporary);
    ::fchmod(fd.get(), exists ? (old.st_mode & 07777) : NewFileMode());

    DescriptorDevice device(fd.get());
    try {
        write(device);
    } catch (const RuntimeError&) {
        // The writer saw its device fail; the device knows why.
        if (device.error() != 0)
            throw ErrorFor(device.error(), false);
        throw;
    }
    if (const int error = device.finish())
        throw ErrorFor(error, false);
    if (const int error = fd.close())
        throw ErrorFor(error, false);
    if (::rename(temporary.constData(), target.constData()) != 0)
        throw ErrorFor(errno, false);
    cleanup.release();

    // The new name itself on disk too; a folder that cannot be synced changes nothing.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

bool FileExists(const QString& path)
{
    struct stat st {};
    return ::stat(FileNameToBytes(path).constData(), &st) == 0;
}

bool IsSameFile(const QString& a, const QString& b)
{
    struct stat first {}, second {};
    return ::stat(FileNameToBytes(a).constData(), &first) == 0 && ::stat(FileNameToBytes(b).constData(), &second) == 0
           && first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace brevix
