#include "libreoffice/office.h"

#include "model/errors.h"
#include "model/filename.h"

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/bootstrap.hxx>

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace brevix::libreoffice {

using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace {

QString ProgramDir() { return QStringLiteral(BREVIX_LIBREOFFICE_PROGRAM); }

QString DefaultPipeName() { return QStringLiteral("brevix-%1").arg(::geteuid()); }

QStringList AcceptArguments(const OfficeOptions& options, const QString& pipeName)
{
    QStringList arguments{QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName)};
    // An office started for the editor is theirs to go on working in,
    // document recovery included; one without windows recovers nothing.
    if (options.headless)
        arguments << QStringLiteral("--headless") << QStringLiteral("--invisible") << QStringLiteral("--norestore");
    if (!options.profileUrl.isEmpty())
        arguments << QStringLiteral("-env:UserInstallation=%1").arg(options.profileUrl);
    return arguments;
}

// An office meeting a profile for the first time fills it and restarts
// itself, dropping whoever connected to the first start. A new private
// profile is therefore filled by an office that ends once it has done so.
void InitialiseProfile(const OfficeOptions& options, const QString& program, const QDeadlineTimer& deadline)
{
    if (options.profileUrl.isEmpty())
        return;
    const QString folder = QUrl(options.profileUrl).toLocalFile();
    if (folder.isEmpty() || QFileInfo::exists(folder + QStringLiteral("/user/registrymodifications.xcu")))
        return;
    const qint64 pid = LaunchOfficeProcess(
        program, {QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--norestore"),
                  QStringLiteral("--nologo"), QStringLiteral("--terminate_after_init"),
                  QStringLiteral("-env:UserInstallation=%1").arg(options.profileUrl)});
    while (ProcessRuns(pid) && !deadline.hasExpired())
        QThread::msleep(50);
}

} // namespace

int OfficeOptions::DefaultCallTimeoutMs()
{
    bool ok = false;
    const double seconds = qEnvironmentVariable("BREVIX_OFFICE_WAIT").toDouble(&ok);
    return ok && seconds > 0 ? static_cast<int>(seconds * 1000) : 30000;
}

// Cuts the connection when a call has waited past its limit. One thread per
// connection, asleep unless a call is under way.
class Office::Watchdog {
public:
    explicit Watchdog(std::function<void()> expire) : expire_(std::move(expire)), thread_([this] { Run(); }) {}
    ~Watchdog()
    {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // Nested waits are bounded by the outermost one.
    void Arm(int limitMs)
    {
        const std::lock_guard lock(mutex_);
        if (depth_++ == 0) {
            deadline_ = Clock::now() + std::chrono::milliseconds(limitMs);
            wake_.notify_all();
        }
    }
    void Disarm()
    {
        const std::lock_guard lock(mutex_);
        if (--depth_ == 0)
            deadline_.reset();
    }

private:
    using Clock = std::chrono::steady_clock;
    void Run()
    {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (!deadline_) {
                wake_.wait(lock);
            } else if (Clock::now() >= *deadline_) {
                deadline_.reset();
                expire_();
            } else {
                wake_.wait_until(lock, *deadline_);
            }
        }
    }

    std::function<void()> expire_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<Clock::time_point> deadline_;
    int depth_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

struct Office::Watch : cppu::WeakImplHelper1<css::lang::XEventListener> {
    std::atomic<bool> alive{true};
    void SAL_CALL disposing(const css::lang::EventObject&) override { alive = false; }
};

Office::Wait::Wait(Office& office) : office_(office)
{
    if (office_.watchdog_)
        office_.watchdog_->Arm(office_.callTimeoutMs_);
}

Office::Wait::~Wait()
{
    if (office_.watchdog_)
        office_.watchdog_->Disarm();
}

Office::~Office()
{
    if (bridge_.is() && isAlive()) {
        try {
            Bounded([&] { bridge_->removeEventListener(Reference<css::lang::XEventListener>(watch_.get())); });
        } catch (const css::uno::Exception&) {
        }
    }
}

// The office's objects of a lost connection, let go so that a new one is
// not handed them again.
void Office::Forget()
{
    desktop_.clear();
    context_.clear();
    bridge_.clear();
}

void Office::Cut()
{
    timedOut_ = true;
    if (watch_.is())
        watch_->alive = false;
    if (pipe_.is())
        pipe_->abort();
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

bool ProcessRuns(qint64 pid)
{
    if (pid <= 0 || ::kill(static_cast<pid_t>(pid), 0) != 0)
        return false;
    // An ended process stays a zombie until its parent, here often the
    // system's first process, gets round to it.
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray fields = stat.readAll();
    return fields.mid(fields.lastIndexOf(')') + 1).trimmed().left(1) != "Z";
}

qint64 LaunchOfficeProcess(const QString& program, const QStringList& arguments)
{
    // Everything the child needs is made before fork: after it, only
    // async-signal-safe calls.
    const QByteArray path = FileNameToBytes(program);
    QByteArrayList argumentBytes{path};
    for (const QString& a : arguments)
        argumentBytes << a.toUtf8();
    std::vector<char*> argv;
    for (QByteArray& a : argumentBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return 0;
    const pid_t child = ::fork();
    if (child == 0) {
        // A session of its own (no terminal's Ctrl-C reaches it) and a
        // grandchild, so the office is nobody's child here.
        ::setsid();
        ::umask(077);
        const int null = ::open("/dev/null", O_RDWR);
        for (int fd = 0; fd < 3; ++fd)
            ::dup2(null, fd);
        const pid_t office = ::fork();
        if (office == 0) {
            ::execv(path.constData(), argv.data());
            ::_exit(127);
        }
        const ssize_t written = ::write(report[1], &office, sizeof office);
        ::_exit(written == sizeof office ? 0 : 1);
    }
    ::close(report[1]);
    pid_t office = 0;
    if (child < 0 || ::read(report[0], &office, sizeof office) != sizeof office)
        office = 0;
    ::close(report[0]);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return office > 0 ? office : 0;
}

// A connection over this user's pipe, its handshake bounded like every
// other call. nullptr when nobody of ours listens there; 自动化错误 when
// someone does but does not answer. One connection per pipe serves the
// whole process: a second bridge to the same office would be handed the
// first one's objects and end itself as unused.
std::shared_ptr<Office> Office::Connect(const QString& pipeName, int callTimeoutMs)
{
    static std::map<QString, std::weak_ptr<Office>> connected;
    if (const auto office = connected[pipeName].lock()) {
        if (office->isAlive())
            return office;
        office->Forget();
    }
    const auto local = LocalContext();
    rtl::Reference<PipeConnection> pipe = PipeConnection::Connect(pipeName);
    if (!pipe.is())
        return nullptr;
    std::shared_ptr<Office> office(new Office);
    office->pipe_ = pipe;
    office->pipeName_ = pipeName;
    office->callTimeoutMs_ = callTimeoutMs;
    office->watch_ = new Watch;
    office->watchdog_ = std::make_unique<Watchdog>([raw = office.get()] { raw->Cut(); });
    try {
        office->Bounded([&] {
            const Reference<css::bridge::XBridge> bridge = css::bridge::BridgeFactory::create(local)->createBridge(
                rtl::OUString(), "urp", Reference<css::connection::XConnection>(pipe.get()), nullptr);
            office->bridge_.set(bridge, UNO_QUERY_THROW);
            office->bridge_->addEventListener(Reference<css::lang::XEventListener>(office->watch_.get()));
            office->context_.set(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY_THROW);
            office->desktop_ = css::frame::Desktop::create(office->context_);
        });
    } catch (const css::uno::Exception&) {
        // An office on its way down (or restarting) closes the pipe: not one to use.
        if (!office->timedOut_)
            return nullptr;
    }
    if (office->timedOut_)
        throw RuntimeError::Automation(QString());
    if (!office->isAlive())
        return nullptr;
    connected[pipeName] = office;
    return office;
}

// The name our pipe may have: the one asked for, unless someone else holds
// it; then one of our own nobody can guess, and the editor is told.
QString Office::UsablePipe(const OfficeOptions& options)
{
    const QString wanted = options.pipeName.isEmpty() ? DefaultPipeName() : options.pipeName;
    if (PipeHolderOf(wanted) != PipeHolder::Other)
        return wanted;
    // Told once; the same private pipe serves the rest of the process.
    static std::map<QString, QString> instead;
    if (const auto found = instead.find(wanted); found != instead.end())
        return found->second;
    if (options.notice)
        options.notice(QStringLiteral("the office pipe %1 is held by someone else (%2); "
                                      "LibreOffice Writer is reached on a private pipe instead")
                           .arg(wanted, DisplayFileName(FileNameFromBytes(PipePath(wanted)))));
    return instead[wanted] = PrivatePipeName();
}

std::shared_ptr<Office> Office::Attach(const OfficeOptions& options)
{
    const QString pipeName = UsablePipe(options);
    if (auto office = Connect(pipeName, options.callTimeoutMs))
        return office;
    // Only the user's own office is looked for: its pipe does not tell the
    // profile, and an office of another profile is not the editor's.
    const QString program = InstalledOffice(options);
    if (program.isEmpty() || !options.profileUrl.isEmpty() || !UserOfficeRunning())
        return nullptr;
    return Reach(options, pipeName, program, 10000);
}

// Starts soffice asking for our pipe and connects. The office it reached
// was started by us when the new process did not end once it had handed the
// request over to an office already running.
std::shared_ptr<Office> Office::Reach(const OfficeOptions& options, const QString& pipeName, const QString& program,
                                      int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    InitialiseProfile(options, program, deadline);
    const QStringList arguments = AcceptArguments(options, pipeName);
    qint64 pid = LaunchOfficeProcess(program, arguments);
    if (pid == 0)
        throw RuntimeError::CannotCreateObject();
    int launches = 1;
    QDeadlineTimer gone(QDeadlineTimer::Forever);
    while (!deadline.hasExpired()) {
        if (auto office = Connect(pipeName, options.callTimeoutMs)) {
            // Only the user's normal profile may have an office of its own
            // already, which the new process hands the request over to.
            const QDeadlineTimer handedOver(options.profileUrl.isEmpty() ? 1500 : 0);
            while (ProcessRuns(pid) && office->isAlive() && !handedOver.hasExpired())
                QThread::msleep(50);
            if (!office->isAlive()) {
                // One on its way out (its last window just closed) took the
                // request: start again.
                QThread::msleep(500);
                if (!ProcessRuns(pid)) {
                    pid = LaunchOfficeProcess(program, arguments);
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
            pid = LaunchOfficeProcess(program, arguments);
            gone = QDeadlineTimer(QDeadlineTimer::Forever);
        }
        QThread::msleep(100);
    }
    return nullptr;
}

std::shared_ptr<Office> Office::Obtain(const OfficeOptions& options)
{
    const QString pipeName = UsablePipe(options);
    if (auto office = Connect(pipeName, options.callTimeoutMs))
        return office;
    const QString program = InstalledOffice(options);
    if (program.isEmpty())
        throw RuntimeError::CannotCreateObject();
    if (auto office = Reach(options, pipeName, program, options.startTimeoutMs))
        return office;
    throw RuntimeError::CannotCreateObject();
}

bool Office::isAlive() const { return watch_.is() && watch_->alive; }

bool Office::Terminate()
{
    if (!isAlive())
        return false;
    try {
        return Bounded([&] { return desktop_->terminate(); });
    } catch (const css::uno::Exception&) {
        return !isAlive() && !timedOut_; // the connection goes down as the office ends
    }
}

} // namespace brevix::libreoffice
