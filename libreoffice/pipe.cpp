#include "libreoffice/pipe.h"

#include "libreoffice/office.h"

#include <com/sun/star/io/IOException.hpp>

#include <QDir>
#include <QRandomGenerator>
#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace brevix::libreoffice {

namespace {

// LibreOffice's own choice: /tmp, else /var/tmp, whichever it may write to.
QByteArray PipeFolder()
{
    return ::access("/tmp", W_OK) == 0 || ::access("/var/tmp", W_OK) != 0 ? QByteArrayLiteral("/tmp")
                                                                            : QByteArrayLiteral("/var/tmp");
}

bool IsOurSocket(const struct stat& st) { return S_ISSOCK(st.st_mode) && st.st_uid == ::geteuid(); }

} // namespace

QByteArray PipePath(const QString& name)
{
    return PipeFolder() + "/OSL_PIPE_" + QByteArray::number(::geteuid()) + '_' + name.toUtf8();
}

PipeHolder PipeHolderOf(const QString& name)
{
    struct stat st {};
    if (::lstat(PipePath(name).constData(), &st) != 0)
        return errno == ENOENT ? PipeHolder::Nobody : PipeHolder::Other;
    return IsOurSocket(st) ? PipeHolder::Us : PipeHolder::Other;
}

QString PrivatePipeName()
{
    const quint64 secret = QRandomGenerator::system()->generate64();
    return QStringLiteral("brevix-%1-%2").arg(::geteuid()).arg(secret, 16, 16, QLatin1Char('0'));
}

bool UserOfficeRunning()
{
    const QByteArray prefix = "OSL_PIPE_" + QByteArray::number(::geteuid()) + '_';
    const QDir folder(QString::fromLatin1(PipeFolder()));
    for (const QString& entry : folder.entryList({QString::fromLatin1(prefix) + QStringLiteral("SingleOfficeIPC_*")},
                                                 QDir::System | QDir::Files | QDir::Hidden))
        if (PipeConnection::Connect(entry.mid(prefix.size())).is())
            return true;
    return false;
}

rtl::Reference<PipeConnection> PipeConnection::Connect(const QString& name)
{
    const QByteArray path = PipePath(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
        return nullptr;
    std::copy(path.begin(), path.end(), address.sun_path);

    struct stat before {};
    if (::lstat(path.constData(), &before) != 0 || !IsOurSocket(before))
        return nullptr;
    // Non-blocking while connecting: a listener that never accepts makes a
    // full backlog, which would block connect() for good.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return nullptr;
    ucred peer{};
    socklen_t size = sizeof peer;
    struct stat after {};
    const bool ours = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
                   && ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::geteuid()
                   && ::lstat(path.constData(), &after) == 0 && after.st_ino == before.st_ino
                   && after.st_dev == before.st_dev && IsOurSocket(after);
    if (!ours || ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    // An office that runs for the editor opened this pipe under its own
    // umask; whoever may write to the socket may drive the office.
    ::chmod(path.constData(), S_IRUSR | S_IWUSR);
    return new PipeConnection(fd, name);
}

PipeConnection::PipeConnection(int fd, QString name) : fd_(fd), name_(std::move(name)) {}

PipeConnection::~PipeConnection() { ::close(fd_); }

void PipeConnection::abort()
{
    cut_ = true;
    ::shutdown(fd_, SHUT_RDWR);
}

sal_Int32 PipeConnection::read(css::uno::Sequence<sal_Int8>& bytes, sal_Int32 count)
{
    if (bytes.getLength() != count)
        bytes.realloc(count);
    sal_Int32 done = 0;
    while (done < count && !cut_) {
        const ssize_t n = ::recv(fd_, bytes.getArray() + done, static_cast<size_t>(count - done), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<sal_Int32>(n);
    }
    // Fewer bytes than asked for tells the bridge the connection has ended.
    if (done < count)
        bytes.realloc(done);
    return done;
}

void PipeConnection::write(const css::uno::Sequence<sal_Int8>& bytes)
{
    const sal_Int8* data = bytes.getConstArray();
    sal_Int32 left = bytes.getLength();
    while (left > 0) {
        const ssize_t n = cut_ ? -1 : ::send(fd_, data, static_cast<size_t>(left), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR && !cut_)
            continue;
        if (n <= 0)
            throw css::io::IOException("the office's pipe is closed");
        data += n;
        left -= static_cast<sal_Int32>(n);
    }
}

void PipeConnection::flush() {}

// The descriptor itself is closed with the object, never while the bridge's
// reader may still be blocked on it.
void PipeConnection::close() { abort(); }

rtl::OUString PipeConnection::getDescription() { return ToOU(QStringLiteral("pipe,name=") + name_); }

} // namespace brevix::libreoffice
