#include "libreoffice/office.h"

#include "model/errors.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/bootstrap.hxx>
#include <rtl/ref.hxx>

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace brevix::libreoffice {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

QString ProgramDir() { return QStringLiteral(BREVIX_LIBREOFFICE_PROGRAM); }

QString PipeName(const OfficeOptions& options)
{
    return options.pipeName.isEmpty() ? QStringLiteral("brevix-%1").arg(::getuid()) : options.pipeName;
}

// The running office of this user listens on a pipe of its own, which a
// second start uses to hand its arguments over. Finding one that answers
// tells whether starting soffice starts an office or only reaches it.
bool UserOfficeRunning()
{
    const QDir tmp(QStringLiteral("/tmp"));
    const QStringList pipes = tmp.entryList({QStringLiteral("OSL_PIPE_%1_SingleOfficeIPC_*").arg(::getuid())},
                                            QDir::System | QDir::Files | QDir::Hidden);
    for (const QString& name : pipes) {
        const QByteArray path = tmp.filePath(name).toLocal8Bit();
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (static_cast<std::size_t>(path.size()) >= sizeof address.sun_path)
            continue;
        std::copy(path.begin(), path.end(), address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            continue;
        const bool answers = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(fd);
        if (answers)
            return true;
    }
    return false;
}

bool ProcessRuns(qint64 pid) { return pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0; }

// Runs soffice asking it to accept on our pipe. A running office of the same
// profile takes the request over and the new process ends at once.
qint64 LaunchOffice(const OfficeOptions& options, const QString& program)
{
    QStringList arguments{QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(PipeName(options))};
    // An office started for the editor is theirs to go on working in,
    // document recovery included; one without windows recovers nothing.
    if (options.headless)
        arguments << QStringLiteral("--headless") << QStringLiteral("--invisible") << QStringLiteral("--norestore");
    if (!options.profileUrl.isEmpty())
        arguments << QStringLiteral("-env:UserInstallation=%1").arg(options.profileUrl);
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid))
        throw RuntimeError::CannotCreateObject();
    return pid;
}

} // namespace

struct Office::Watch : cppu::WeakImplHelper1<css::lang::XEventListener> {
    std::atomic<bool> alive{true};
    void SAL_CALL disposing(const css::lang::EventObject&) override { alive = false; }
};

Office::~Office()
{
    if (bridge_.is() && watch_.is() && watch_->alive) {
        try {
            bridge_->removeEventListener(Reference<css::lang::XEventListener>(watch_.get()));
        } catch (const css::uno::Exception&) {
        }
    }
}

QString InstalledOffice(const OfficeOptions& options)
{
    const QString program = options.program.isEmpty() ? ProgramDir() + QStringLiteral("/soffice") : options.program;
    const QFileInfo info(program);
    if (!info.isExecutable() || !QFileInfo::exists(ProgramDir() + QStringLiteral("/fundamentalrc")))
        return {};
    return program;
}

Reference<css::uno::XComponentContext> LocalContext()
{
    static Reference<css::uno::XComponentContext> context;
    if (context.is())
        return context;
    const QString rc = ProgramDir() + QStringLiteral("/fundamentalrc");
    if (!QFileInfo::exists(rc))
        throw RuntimeError::CannotCreateObject();
    // The bridge writes to the office's pipe; an office that died makes that
    // write fail, which must be an error of the call, not a signal that ends
    // the program.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        rtl::Bootstrap::set(rtl::OUString("URE_BOOTSTRAP"), ToOU(QStringLiteral("vnd.sun.star.pathname:") + rc));
        context = cppu::defaultBootstrap_InitialComponentContext();
    } catch (const css::uno::Exception&) {
        throw RuntimeError::CannotCreateObject();
    }
    return context;
}

std::shared_ptr<Office> Office::Connect(const QString& pipeName)
{
    const auto local = LocalContext();
    try {
        const auto factory = css::bridge::BridgeFactory::create(local);
        const auto before = factory->getExistingBridges();
        const Reference<css::uno::XComponentContext> remote(
            css::bridge::UnoUrlResolver::create(local)->resolve(
                ToOU(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName))),
            UNO_QUERY_THROW);
        std::shared_ptr<Office> office(new Office);
        // The bridge the resolver made is the one that was not there before.
        for (const auto& bridge : factory->getExistingBridges()) {
            if (std::find(before.begin(), before.end(), bridge) == before.end())
                office->bridge_.set(bridge, UNO_QUERY);
        }
        office->watch_ = new Watch;
        if (office->bridge_.is())
            office->bridge_->addEventListener(Reference<css::lang::XEventListener>(office->watch_.get()));
        office->context_ = remote;
        office->desktop_ = css::frame::Desktop::create(office->context_);
        return office;
    } catch (const css::uno::Exception&) {
        return nullptr;
    }
}

std::shared_ptr<Office> Office::Attach(const OfficeOptions& options)
{
    if (auto office = Connect(PipeName(options)))
        return office;
    // Only the user's own office is looked for: its pipe does not tell the
    // profile, and an office of another profile is not the editor's.
    const QString program = InstalledOffice(options);
    if (program.isEmpty() || !options.profileUrl.isEmpty() || !UserOfficeRunning())
        return nullptr;
    return Reach(options, program, 10000);
}

// Starts soffice asking for our pipe and connects. The office it reached
// was started by us when the new process did not end once it had handed the
// request over to an office already running.
std::shared_ptr<Office> Office::Reach(const OfficeOptions& options, const QString& program, int timeoutMs)
{
    qint64 pid = LaunchOffice(options, program);
    int launches = 1;
    const QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer gone(QDeadlineTimer::Forever);
    while (!deadline.hasExpired()) {
        if (auto office = Connect(PipeName(options))) {
            const QDeadlineTimer handedOver(1500);
            while (ProcessRuns(pid) && office->isAlive() && !handedOver.hasExpired())
                QThread::msleep(50);
            if (!office->isAlive()) {
                // An office that starts a profile for the first time restarts
                // itself: connect again to the new one. One on its way out
                // (its last window just closed) took the request: start again.
                QThread::msleep(500);
                if (!ProcessRuns(pid)) {
                    pid = LaunchOffice(options, program);
                    gone = QDeadlineTimer(QDeadlineTimer::Forever);
                }
                continue;
            }
            office->started_ = ProcessRuns(pid);
            office->pid_ = office->started_ ? pid : 0;
            return office;
        }
        // A process that handed its request over ends at once; give the
        // office it reached a moment to open the pipe. When that office was
        // itself going down (killed, or its last window closed), start once more.
        if (!ProcessRuns(pid) && gone.isForever())
            gone.setRemainingTime(5000);
        if (gone.hasExpired()) {
            if (++launches > 2)
                break;
            pid = LaunchOffice(options, program);
            gone = QDeadlineTimer(QDeadlineTimer::Forever);
        }
        QThread::msleep(100);
    }
    return nullptr;
}

std::shared_ptr<Office> Office::Obtain(const OfficeOptions& options)
{
    if (auto office = Connect(PipeName(options)))
        return office;
    const QString program = InstalledOffice(options);
    if (program.isEmpty())
        throw RuntimeError::CannotCreateObject();
    if (auto office = Reach(options, program, options.startTimeoutMs))
        return office;
    throw RuntimeError::CannotCreateObject();
}

bool Office::isAlive() const { return watch_.is() && watch_->alive; }

void Office::EndIfOurs()
{
    if (!started_ || !isAlive())
        return;
    try {
        const Reference<css::container::XEnumerationAccess> components = desktop_->getComponents();
        if (components.is() && components->createEnumeration()->hasMoreElements())
            return; // the editor works in it
        desktop_->terminate();
    } catch (const css::uno::Exception&) {
        // The connection goes down as the office ends.
    }
    const QDeadlineTimer deadline(10000);
    while ((isAlive() || ProcessRuns(pid_)) && !deadline.hasExpired())
        QThread::msleep(50);
    if (ProcessRuns(pid_))
        ::kill(static_cast<pid_t>(pid_), SIGTERM);
}

} // namespace brevix::libreoffice
