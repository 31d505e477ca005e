#pragma once
// One connection to a running LibreOffice over its named pipe (URP), and
// obtaining an office: attach to one that runs, or start one.
//
// Every wait on the office is bounded: a call that gets no answer within
// the limit cuts the connection, the call fails with 自动化错误, and the
// office counts as gone for us (the next output obtains it anew). A pipe
// is used only when it is this user's (see pipe.h); when our pipe's name is
// held by someone else, a private pipe is used instead and the editor told.

#include "libreoffice/pipe.h"
#include "libreoffice/uno_access.h"

#include <rtl/ref.hxx>

#include <QString>
#include <atomic>
#include <functional>
#include <memory>

namespace brevix::libreoffice {

struct OfficeOptions {
    QString program;    // soffice; empty: the installed one
    QString profileUrl; // -env:UserInstallation; empty: the user's normal profile
    QString pipeName;   // empty: "brevix-<uid>"
    bool headless = false; // start the office without windows
    int startTimeoutMs = 60000;
    // How long one call may wait for the office's answer; the environment's
    // BREVIX_OFFICE_WAIT (seconds) sets it for the programs.
    int callTimeoutMs = DefaultCallTimeoutMs();
    // One line for the editor when something could not be done as asked.
    std::function<void(const QString&)> notice;

    static int DefaultCallTimeoutMs();
};

// The soffice program the options name, when it and the office's type
// library are installed; empty otherwise.
QString InstalledOffice(const OfficeOptions& options);

class Office {
public:
    ~Office();
    Office(const Office&) = delete;
    Office& operator=(const Office&) = delete;

    // An office already running: the one accepting on our pipe, or the
    // user's running office, asked to accept there. nullptr when none runs.
    static std::shared_ptr<Office> Attach(const OfficeOptions& options);
    // Attach, or start an office and connect to it. Throws RuntimeError 429
    // when no office can be had within the start limit.
    static std::shared_ptr<Office> Obtain(const OfficeOptions& options);

    const css::uno::Reference<css::uno::XComponentContext>& context() const { return context_; }
    const css::uno::Reference<css::frame::XDesktop2>& desktop() const { return desktop_; }
    bool isAlive() const;  // false once the connection has gone (office quit, died or stopped answering)
    bool startedByUs() const { return started_; }
    qint64 processId() const { return pid_; } // of the soffice we started, or 0
    const QString& pipeName() const { return pipeName_; }

    // The calls f makes, bounded as a whole by the call limit.
    template <typename F> auto Bounded(F&& f) -> decltype(f())
    {
        const Wait wait(*this);
        return f();
    }

    // Asks the office to end (bounded like any call); false when it refused
    // or did not answer.
    bool Terminate();

private:
    class Watchdog;
    struct Watch;
    class Wait {
    public:
        explicit Wait(Office& office);
        ~Wait();
        Wait(const Wait&) = delete;
        Wait& operator=(const Wait&) = delete;

    private:
        Office& office_;
    };

    Office() = default;
    static std::shared_ptr<Office> Connect(const QString& pipeName, int callTimeoutMs);
    static std::shared_ptr<Office> Reach(const OfficeOptions& options, const QString& pipeName, const QString& program,
                                         int timeoutMs);
    static QString UsablePipe(const OfficeOptions& options);
    void Cut();
    void Forget();

    rtl::Reference<PipeConnection> pipe_;
    std::unique_ptr<Watchdog> watchdog_;
    css::uno::Reference<css::uno::XComponentContext> context_;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
    css::uno::Reference<css::lang::XComponent> bridge_;
    rtl::Reference<Watch> watch_;
    QString pipeName_;
    int callTimeoutMs_ = 0;
    std::atomic<bool> timedOut_{false};
    bool started_ = false;
    qint64 pid_ = 0;
};

// Our side's UNO context (made once per process). Throws RuntimeError 429
// when the office's type library is not installed.
css::uno::Reference<css::uno::XComponentContext> LocalContext();

// Starts soffice with the arguments, detached, under umask 077 so that
// whatever it creates for us (its pipe, a profile) is this user's alone.
// The process id, or 0 when it could not be started.
qint64 LaunchOfficeProcess(const QString& program, const QStringList& arguments);

// Whether the process runs (an ended one waiting to be reaped does not).
bool ProcessRuns(qint64 pid);

// UNO strings from and to Qt's.
inline rtl::OUString ToOU(const QString& s)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode*>(s.utf16()), static_cast<sal_Int32>(s.size()));
}
inline QString FromOU(const rtl::OUString& s)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(s.getStr()), s.getLength());
}

} // namespace brevix::libreoffice
