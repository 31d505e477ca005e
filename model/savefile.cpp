#include "savefile.h"

#include "errors.h"
#include "filename.h"

#include <QBuffer>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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
    case ELOOP:
        return RuntimeError::PathFileAccess();
    case ENAMETOOLONG:
        return RuntimeError::BadFileName();
    default:
        return RuntimeError::DeviceIO();
    }
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    void reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
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

QByteArray FolderOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// Temporary files are named so; only a save's own are ever removed by another.
const QByteArray TemporaryPrefix = QByteArrayLiteral(".brevix-save-");
constexpr qsizetype TemporarySuffixLength = 6;

QByteArray TemporaryName(const QByteArray& folder)
{
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray name = folder + '/' + TemporaryPrefix;
    for (qsizetype k = 0; k < TemporarySuffixLength; ++k)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

// A named temporary file older than this that no save holds locked is a
// killed run's: the age keeps a save that has just made its file, and not
// yet locked it, from losing it.
constexpr time_t StaleAfterSeconds = 60;

// Removes our own temporary files that runs killed while saving left behind.
// Costs one pass over the folder's names.
void RemoveStaleTemporaries(const QByteArray& folder)
{
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(TemporaryPrefix) || name.size() != TemporaryPrefix.size() + TemporarySuffixLength)
            continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)
            || st.st_uid != ::geteuid() || now - st.st_mtime < StaleAfterSeconds)
            continue;
        const Descriptor fd(::openat(::dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (fd.get() >= 0 && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

// The new contents until they replace the target. A file with no name where
// the file system allows one, so that a run killed while writing leaves
// nothing; elsewhere a named one. Either is locked while in use, so that a
// later save can tell a killed run's file from one being written.
class Temporary {
public:
    Temporary() = default;
    ~Temporary()
    {
        if (!name_.isEmpty())
            ::unlink(name_.constData());
    }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    int fd() const { return fd_.get(); }

    // In folder, as a new file gets its mode there; 0 or the errno of the failure.
    int create(const QByteArray& folder)
    {
        folder_ = folder;
        fd_.reset(::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666));
        if (fd_.get() >= 0 && ::access(ProcName().constData(), F_OK) != 0)
            fd_.reset(-1); // no /proc to give it a name through
        else if (fd_.get() < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return errno;
        for (int tries = 0; fd_.get() < 0 && tries < 100; ++tries) {
            const QByteArray name = TemporaryName(folder);
            fd_.reset(::open(name.constData(), O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666));
            if (fd_.get() >= 0)
                name_ = name;
            else if (errno != EEXIST)
                return errno;
        }
        if (fd_.get() < 0)
            return EEXIST;
        ::flock(fd_.get(), LOCK_EX);
        return 0;
    }

    // Flushed and synced already: takes target's place; 0 or the errno of the failure.
    int replace(const QByteArray& target)
    {
        for (int tries = 0; name_.isEmpty() && tries < 100; ++tries) {
            const QByteArray name = TemporaryName(folder_);
            if (::linkat(AT_FDCWD, ProcName().constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0)
                name_ = name;
            else if (errno != EEXIST)
                return errno;
        }
        if (name_.isEmpty())
            return EEXIST;
        if (const int error = fd_.close())
            return error;
        if (::rename(name_.constData(), target.constData()) != 0)
            return errno;
        name_.clear();
        return 0;
    }

private:
    QByteArray ProcName() const { return "/proc/self/fd/" + QByteArray::number(fd_.get()); }

    Descriptor fd_;
    QByteArray folder_;
    QByteArray name_; // once it has one, until it is the target's
};

// The file a save writes: the name given with its links followed, also to a
// file that does not exist yet, and what is there.
struct Target {
    QByteArray name;
    bool exists = false;
    struct stat info {};
};

// A link in a sticky folder others may write is followed only when it is
// ours or the folder owner's, as the kernel follows links there: otherwise
// anyone could send our save to a file of their choosing.
void CheckLinkMayBeFollowed(const QByteArray& folder, const struct stat& link)
{
    struct stat st {};
    if (link.st_uid != ::geteuid() && ::stat(folder.constData(), &st) == 0 && (st.st_mode & S_ISVTX)
        && (st.st_mode & S_IWOTH) && link.st_uid != st.st_uid)
        throw RuntimeError::PermissionDenied();
}

Target Resolve(QByteArray name)
{
    for (int links = 0; links <= 40; ++links) {
        Target target;
        target.name = name;
        if (::lstat(name.constData(), &target.info) != 0) {
            if (errno != ENOENT)
                throw ErrorFor(errno, false);
            return target;
        }
        if (!S_ISLNK(target.info.st_mode)) {
            target.exists = true;
            return target;
        }
        const QByteArray folder = FolderOf(name);
        CheckLinkMayBeFollowed(folder, target.info);
        char to[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), to, sizeof to);
        if (n < 0)
            throw ErrorFor(errno, false);
        if (size_t(n) == sizeof to)
            throw RuntimeError::BadFileName();
        name = to[0] == '/' ? QByteArray(to, n) : folder + '/' + QByteArray(to, n);
    }
    throw ErrorFor(ELOOP, false);
}

// Rewrites the file in place. The file is opened before anything is written,
// so a file we may not write costs nothing; the new contents are made in
// memory and the space reserved first; should a write still fail, the old
// contents are put back over the blocks they held.
void SaveInPlace(const Target& target, const std::function<void(QIODevice&)>& write)
{
    Descriptor fd(::open(target.name.constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw ErrorFor(errno, false);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_dev != target.info.st_dev
        || st.st_ino != target.info.st_ino)
        throw RuntimeError::PathFileAccess(); // no longer the file we looked at

    QBuffer contents;
    contents.open(QIODevice::WriteOnly);
    write(contents);
    const QByteArray& bytes = contents.data();

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

// Saves through a temporary file; false, before anything is written, where
// the file must be rewritten in place instead: the folder takes no new file,
// or the new one could not keep the old one's owner and group.
bool SaveThroughTemporary(const Target& target, const std::function<void(QIODevice&)>& write)
{
    const QByteArray folder = FolderOf(target.name);
    Temporary temporary;
    if (const int error = temporary.create(folder)) {
        if ((error == EACCES || error == EPERM) && target.exists)
            return false;
        throw ErrorFor(error, false);
    }
    if (target.exists) {
        const struct stat& old = target.info;
        struct stat st {};
        if (::fstat(temporary.fd(), &st) != 0)
            throw ErrorFor(errno, false);
        if ((st.st_uid != old.st_uid || st.st_gid != old.st_gid) && ::fchown(temporary.fd(), old.st_uid, old.st_gid) != 0)
            return false;
        if (::fchmod(temporary.fd(), old.st_mode & 07777) != 0) // after fchown, which clears set-id bits
            throw ErrorFor(errno, false);
    }

    DescriptorDevice device(temporary.fd());
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
    if (const int error = temporary.replace(target.name))
        throw ErrorFor(error, false);

    // The new name itself on disk too; a folder that cannot be synced changes nothing.
    const Descriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    RemoveStaleTemporaries(folder);
    return true;
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
    const QByteArray name = FileNameToBytes(path);
    if (name.isEmpty())
        throw RuntimeError::BadFileName();

    // Every refusal comes before `write` is called: a target we will not
    // replace costs no typesetting.
    const Target target = Resolve(name);
    if (target.exists && !S_ISREG(target.info.st_mode))
        throw RuntimeError::PathFileAccess(); // a folder, a device, a FIFO: never replaced by a file
    if (target.exists && (target.info.st_mode & S_IWUSR) == 0)
        throw RuntimeError::PermissionDenied(); // made read-only by its owner: refused to root as well
    struct stat folder {};
    if (::stat(FolderOf(target.name).constData(), &folder) != 0 || !S_ISDIR(folder.st_mode))
        throw RuntimeError::PathNotFound();

    if (!SaveThroughTemporary(target, write))
        SaveInPlace(target, write);
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
