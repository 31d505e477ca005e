#pragma once
// The office's named pipe, and a connection over it that no other user can
// stand in for. LibreOffice puts a user's pipe in a world-writable folder
// under a name anyone can work out (/tmp/OSL_PIPE_<uid>_<name>), so anyone
// may create a socket there first: nothing is sent until the socket is this
// user's and the process listening on it runs as this user.

#include "libreoffice/uno_access.h"

#include <com/sun/star/connection/XConnection.hpp>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <QByteArray>
#include <QString>
#include <atomic>

namespace brevix::libreoffice {

// Who holds a pipe's name: nobody, this user (a socket of ours), or someone
// or something else (another user's socket, a file that is not a socket).
enum class PipeHolder { Nobody, Us, Other };

// Where LibreOffice puts the socket of this user's pipe `name`.
QByteArray PipePath(const QString& name);
PipeHolder PipeHolderOf(const QString& name);
// A name nobody can guess ahead of time, for a pipe of our own.
QString PrivatePipeName();
// Whether this user's office runs: it listens on a pipe of its own
// (SingleOfficeIPC_…), which a second start uses to hand its arguments over.
bool UserOfficeRunning();

// Bytes to and from the office, for the UNO bridge. abort() cuts the
// connection from any thread: a read or write blocked on it returns, which
// ends the bridge and fails every call waiting on it.
class PipeConnection : public cppu::WeakImplHelper1<css::connection::XConnection> {
public:
    // Connected to this user's pipe `name`; nullptr when it is not there, not
    // ours, or nobody of ours answers on it.
    static rtl::Reference<PipeConnection> Connect(const QString& name);
    ~PipeConnection() override;

    void abort();

    sal_Int32 SAL_CALL read(css::uno::Sequence<sal_Int8>& bytes, sal_Int32 count) override;
    void SAL_CALL write(const css::uno::Sequence<sal_Int8>& bytes) override;
    void SAL_CALL flush() override;
    void SAL_CALL close() override;
    rtl::OUString SAL_CALL getDescription() override;

private:
    PipeConnection(int fd, QString name);
    const int fd_;
    const QString name_;
    std::atomic<bool> cut_{false};
};

} // namespace brevix::libreoffice
