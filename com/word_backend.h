#pragma once
// Word, or WPS Office's writer, behind the automation interface: every call
// is the same member of the server's own object model, made through
// IDispatch (com/dispatch.h) with the argument types Word documents. The
// keystroke phase's key strings are read by the engine's keyboard and their
// effect set through the object model (the selection's font, the page
// numbers); no key is ever sent to the desktop.
//
// The document is left open in the server, which is never told to quit
// unless the headless command started it itself.

#include "com/dispatch.h"
#include "generator/automation.h"

#include <QByteArray>
#include <QStringList>
#include <memory>

namespace brevix::com {

// The class names asked for, in this order, for "Word.Application": Word's,
// then WPS Office's writer's (KWps.Application; its 2009 edition registered
// wps.Application).
inline QString WordProgId() { return QStringLiteral("Word.Application"); }
inline QStringList WpsProgIds() { return {QStringLiteral("KWps.Application"), QStringLiteral("wps.Application")}; }

// Whether a class of that name is registered on this machine (no server is
// started to find out).
bool IsRegistered(const QString& progId);

struct WordOptions {
    QStringList progIds = QStringList{WordProgId()} + WpsProgIds();
    bool headless = false; // the server stays hidden: Visible and Activate are not passed on
    int callTimeoutMs = Connection::DefaultCallTimeoutMs();
};

class WordBackend : public word::Backend {
public:
    explicit WordBackend(WordOptions options = {});
    ~WordBackend() override;

    // The running server of the first class that has one (429 when none runs).
    word::ApplicationRef GetObject(const QString& className) override;
    // A server of the first class that can be created (429 when none can).
    word::ApplicationRef CreateObject(const QString& className) override;
    // Word's global InchesToPoints, asked of the last application obtained.
    word::GlobalRef CreateGlobal() override;
    word::KeySender& Keys() override;

    // For the headless command: the last document added through this
    // backend, stored by the server's own SaveAs as "docx" or "pdf" and read
    // back; closing it unsaved; quitting the server when CreateObject started it.
    QByteArray SaveLastDocument(const QString& format);
    void CloseLastDocument();
    void QuitIfStarted();

    struct State;

private:
    std::shared_ptr<State> state_;
    std::unique_ptr<word::KeySender> keys_;
};

} // namespace brevix::com
