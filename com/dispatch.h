#pragma once
// Late binding to an automation server through IDispatch: the one place that
// calls Invoke (Connection::Invoke) and the one place that turns an HRESULT
// and its EXCEPINFO into our errors (AutomationFailure).
//
// Every call is bounded. A server that rejects calls (busy, showing a
// dialog) is asked again until the call limit has passed, through the
// IMessageFilter registered on the calling thread and, where the system's
// COM does not consult it, by Invoke's own retry; a call the server does not
// answer within the limit is cancelled. Either way the call fails with
// 自动化错误 and the connection counts as gone: later calls fail at once and
// the next output obtains the server anew.

#include "model/errors.h"

#include <QString>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>

#include <oaidl.h>

namespace brevix::com {

// An owned interface pointer: released when dropped, as a COM reference is.
template <typename T> class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* adopted) : p_(adopted) {}
    ComRef(const ComRef& other) : p_(other.p_) { if (p_) p_->AddRef(); }
    ComRef(ComRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComRef& operator=(ComRef other) noexcept { std::swap(p_, other.p_); return *this; }
    ~ComRef() { if (p_) p_->Release(); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** out() { *this = ComRef(); return &p_; } // for a call that hands back a new reference

private:
    T* p_ = nullptr;
};

// One automation argument or result, owned (strings are freed with it).
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant& other);
    Variant& operator=(const Variant&) = delete;

    // The types the object model documents for the members we use.
    static Variant Text(const QString& text); // VT_BSTR
    static Variant Long(long value);          // VT_I4
    static Variant Single(float value);       // VT_R4
    static Variant Bool(bool value);          // VT_BOOL
    static Variant Omitted();                 // VT_ERROR, DISP_E_PARAMNOTFOUND: an optional argument left out

    VARIANT* get() { return &v_; }
    const VARIANT& value() const { return v_; }
    // Converted as the server's answer is read; 类型不匹配 when it cannot be.
    long toLong() const;
    float toSingle() const;

private:
    VARIANT v_;
};

// HRESULT (and EXCEPINFO, for DISP_E_EXCEPTION) as the error the generators
// handle: no server 429; the server gone, busy past the limit or not
// answering 自动化错误; the server's own errors with their number and
// description; the automation errors of the call itself with theirs.
RuntimeError AutomationFailure(HRESULT hr, const EXCEPINFO* exception = nullptr);
// Whether hr says the server has gone away (died, quit, disconnected).
bool IsServerGone(HRESULT hr);

// The calls made to one server: their limit, what is known of its members'
// names, and whether it is still there.
class Connection {
public:
    explicit Connection(int callTimeoutMs);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Calls member `name` of an object of the given kind ("Range", "Font" ...;
    // objects of one kind share their members' numbers, asked once).
    // flags: DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT.
    // Arguments in the member's order (borrowed: the caller's Variants own
    // them). Throws AutomationFailure's errors.
    Variant Invoke(IDispatch* object, const char* kind, const wchar_t* name, WORD flags,
                   std::initializer_list<VARIANT> arguments = {});

    // Runs a COM call of our own (activation, a query) under the same limit
    // and retries; returns its HRESULT.
    template <typename F> HRESULT Bounded(F&& call);

    bool isGone() const { return gone_; }
    void markGone() { gone_ = true; }
    int callTimeoutMs() const { return callTimeoutMs_; }

    // The limit from the environment's BREVIX_OFFICE_WAIT (seconds), 30 s
    // without it: the same wait as for LibreOffice.
    static int DefaultCallTimeoutMs();

private:
    class Watch;
    HRESULT retried(const std::function<HRESULT()>& call);
    DISPID memberId(IDispatch* object, const char* kind, const wchar_t* name);

    int callTimeoutMs_;
    bool gone_ = false;
    std::unordered_map<std::wstring, DISPID> ids_;
    std::unique_ptr<Watch> watch_;
};

template <typename F> HRESULT Connection::Bounded(F&& call) { return retried(std::forward<F>(call)); }

} // namespace brevix::com
