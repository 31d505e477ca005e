#pragma once
// One connection to a running LibreOffice over a named pipe (URP), and
// obtaining an office: attach to one that runs, or start one.

#include "libreoffice/uno_access.h"

#include <rtl/ref.hxx>

#include <QString>
#include <memory>

namespace brevix::libreoffice {

struct OfficeOptions {
    QString program;    // soffice; empty: the installed one
    QString profileUrl; // -env:UserInstallation; empty: the user's normal profile
    QString pipeName;   // empty: "brevix-<uid>"
    bool headless = false; // start the office without windows
    int startTimeoutMs = 60000;
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
    // when no office can be had.
    static std::shared_ptr<Office> Obtain(const OfficeOptions& options);

    const css::uno::Reference<css::uno::XComponentContext>& context() const { return context_; }
    const css::uno::Reference<css::frame::XDesktop2>& desktop() const { return desktop_; }
    bool isAlive() const;  // false once the connection has gone (office quit or died)
    bool startedByUs() const { return started_; }
    qint64 processId() const { return pid_; } // of the soffice we started, or 0

    // Ends the office if we started it and it holds no other document.
    void EndIfOurs();

private:
    Office() = default;
    static std::shared_ptr<Office> Connect(const QString& pipeName);
    static std::shared_ptr<Office> Reach(const OfficeOptions& options, const QString& program, int timeoutMs);
    struct Watch;
    css::uno::Reference<css::uno::XComponentContext> context_;
    css::uno::Reference<css::frame::XDesktop2> desktop_;
    css::uno::Reference<css::lang::XComponent> bridge_;
    rtl::Reference<Watch> watch_;
    bool started_ = false;
    qint64 pid_ = 0;
};

// Our side's UNO context (made once per process). Throws RuntimeError 429
// when the office's type library is not installed.
css::uno::Reference<css::uno::XComponentContext> LocalContext();

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
