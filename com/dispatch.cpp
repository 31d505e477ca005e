#include "com/dispatch.h"

#include <QByteArray>
#include <atomic>
#include <thread>
#include <vector>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

namespace brevix::com {

namespace {

QString FromBstr(BSTR text)
{
    return text ? QString::fromWCharArray(text, static_cast<qsizetype>(SysStringLen(text))) : QString();
}

// The limit of the call this thread is making now (0: none of ours).
thread_local ULONGLONG t_callLimitMs = 0;

// COM objects of ours are deleted as what they are, never through the
// interface, whose destructor COM leaves non-virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// One message filter per thread, shared by the connections made there: a
// rejected call is asked again while the limit allows, a call that has run
// past it is cancelled when the thread's wait is woken.
class ThreadFilter final : public IMessageFilter {
public:
    static void Use()
    {
        if (!t_filter) {
            auto* filter = new ThreadFilter;
            // Not an STA (the thread joined the MTA first): no filter there;
            // Invoke's own retry still bounds rejected calls.
            if (FAILED(CoRegisterMessageFilter(filter, &filter->previous_))) {
                delete filter;
                return;
            }
            t_filter = filter;
        }
        ++t_filter->users_;
    }
    static void Unuse()
    {
        if (!t_filter || --t_filter->users_ > 0)
            return;
        ThreadFilter* filter = t_filter;
        t_filter = nullptr;
        IMessageFilter* ours = nullptr;
        CoRegisterMessageFilter(filter->previous_, &ours);
        if (ours)
            ours->Release(); // the reference COM held
        if (filter->previous_)
            filter->previous_->Release();
        delete filter;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the thread's Use/Unuse; COM's references only count.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs_; }

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD) override
    {
        constexpr DWORD AskAgainAfterMs = 100;
        if (t_callLimitMs && elapsedMs + AskAgainAfterMs < t_callLimitMs)
            return AskAgainAfterMs;
        return static_cast<DWORD>(-1); // give up: the call fails as rejected
    }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD elapsedMs, DWORD) override
    {
        if (t_callLimitMs && elapsedMs >= t_callLimitMs)
            return PENDINGMSG_CANCELCALL;
        return PENDINGMSG_WAITDEFPROCESS;
    }

private:
    ThreadFilter() = default;
    ~ThreadFilter() = default;
    static thread_local ThreadFilter* t_filter;
    IMessageFilter* previous_ = nullptr;
    int users_ = 0;
    std::atomic<ULONG> refs_{0};
};

#pragma GCC diagnostic pop

thread_local ThreadFilter* ThreadFilter::t_filter = nullptr;

bool IsRejected(HRESULT hr) { return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER; }

RuntimeError Numbered(int number, const char16_t* description)
{
    return {number, QString::fromUtf16(description)};
}

} // namespace

// The thread waiting in a call sees its message filter only when a message
// arrives; a call past the limit gets one, so the filter can cancel it.
class Connection::Watch {
public:
    explicit Watch(int limitMs)
        : limitMs_(static_cast<ULONGLONG>(limitMs)), thread_(GetCurrentThreadId()),
          stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        ThreadFilter::Use();
        watchdog_ = std::thread([this] {
            while (WaitForSingleObject(stop_, 200) == WAIT_TIMEOUT) {
                const ULONGLONG start = callStart_.load();
                if (start && GetTickCount64() - start >= limitMs_)
                    PostThreadMessageW(thread_, WM_NULL, 0, 0);
            }
        });
    }
    ~Watch()
    {
        SetEvent(stop_);
        watchdog_.join();
        CloseHandle(stop_);
        ThreadFilter::Unuse();
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;

    HRESULT run(const std::function<HRESULT()>& call)
    {
        const ULONGLONG start = GetTickCount64();
        callStart_ = start;
        t_callLimitMs = limitMs_;
        HRESULT hr = call();
        // Where the system's COM hands a rejection straight back (no filter
        // asked), ask again here, within the same limit.
        while (IsRejected(hr) && GetTickCount64() - start < limitMs_) {
            Sleep(100);
            hr = call();
        }
        t_callLimitMs = 0;
        callStart_ = 0;
        return hr;
    }

private:
    ULONGLONG limitMs_;
    DWORD thread_;
    HANDLE stop_;
    std::atomic<ULONGLONG> callStart_{0};
    std::thread watchdog_;
};

Variant::Variant(const Variant& other)
{
    VariantInit(&v_);
    VariantCopy(&v_, const_cast<VARIANT*>(&other.v_));
}

Variant Variant::Text(const QString& text)
{
    Variant v;
    v.v_.vt = VT_BSTR;
    v.v_.bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), static_cast<UINT>(text.size()));
    return v;
}

Variant Variant::Long(long value)
{
    Variant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

Variant Variant::Single(float value)
{
    Variant v;
    v.v_.vt = VT_R4;
    v.v_.fltVal = value;
    return v;
}

Variant Variant::Bool(bool value)
{
    Variant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

Variant Variant::Omitted()
{
    Variant v;
    v.v_.vt = VT_ERROR;
    v.v_.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

long Variant::toLong() const
{
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&v_), 0, VT_I4);
    if (FAILED(hr))
        throw AutomationFailure(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH);
    return converted.lVal;
}

float Variant::toSingle() const
{
    VARIANT converted;
    VariantInit(&converted);
    const HRESULT hr = VariantChangeType(&converted, const_cast<VARIANT*>(&v_), 0, VT_R4);
    if (FAILED(hr))
        throw AutomationFailure(hr == DISP_E_OVERFLOW ? hr : DISP_E_TYPEMISMATCH);
    return converted.fltVal;
}

bool IsServerGone(HRESULT hr)
{
    switch (hr) {
    case RPC_E_DISCONNECTED:
    case RPC_E_SERVER_DIED:
    case RPC_E_SERVER_DIED_DNE:
    case CO_E_OBJNOTCONNECTED:
    case HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED):
    case HRESULT_FROM_WIN32(RPC_S_CALL_FAILED_DNE):
        return true;
    default:
        return false;
    }
}

RuntimeError AutomationFailure(HRESULT hr, const EXCEPINFO* exception)
{
    if (hr == DISP_E_EXCEPTION && exception) {
        // The server's own error: Word gives its number in FACILITY_CONTROL
        // (or in wCode) and its description.
        const HRESULT code = exception->scode;
        int number = static_cast<int>(code);
        if (exception->wCode)
            number = exception->wCode;
        else if (HRESULT_FACILITY(code) == FACILITY_CONTROL)
            number = HRESULT_CODE(code);
        const QString description = FromBstr(exception->bstrDescription);
        if (!description.isEmpty())
            return {number, description};
        if (code && code != DISP_E_EXCEPTION)
            return AutomationFailure(code);
        return {number, QStringLiteral("自动化错误")};
    }
    if (IsServerGone(hr) || IsRejected(hr) || hr == RPC_E_CALL_CANCELED || hr == RPC_E_TIMEOUT)
        return RuntimeError::Automation(QString());
    switch (hr) {
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
    case MK_E_UNAVAILABLE:
    case CO_E_SERVER_EXEC_FAILURE:
    case CO_E_APPNOTFOUND:
    case CO_E_SERVER_STOPPING:
        return RuntimeError::CannotCreateObject();
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        return Numbered(438, u"对象不支持该属性或方法");
    case DISP_E_TYPEMISMATCH:
        return RuntimeError::TypeMismatch();
    case DISP_E_OVERFLOW:
        return RuntimeError::Overflow();
    case DISP_E_BADINDEX:
        return RuntimeError::SubscriptOutOfRange();
    case DISP_E_BADPARAMCOUNT:
    case DISP_E_PARAMNOTOPTIONAL:
    case DISP_E_NONAMEDARGS:
        return Numbered(450, u"错误的参数号或无效的属性赋值");
    case E_INVALIDARG:
        return Numbered(5, u"无效的过程调用或参数");
    case E_OUTOFMEMORY:
        return Numbered(7, u"内存溢出");
    default:
        break;
    }
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL)
        return Numbered(HRESULT_CODE(hr), u"应用程序定义或对象定义的错误");
    // Any other failure: the system's own words for it.
    QString detail;
    wchar_t* text = nullptr;
    if (FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr) && text) {
        detail = QString::fromWCharArray(text).trimmed();
        LocalFree(text);
    }
    return {static_cast<int>(hr), detail.isEmpty() ? QStringLiteral("自动化错误") : QStringLiteral("自动化错误\r\n") + detail};
}

Connection::Connection(int callTimeoutMs) : callTimeoutMs_(callTimeoutMs), watch_(std::make_unique<Watch>(callTimeoutMs)) {}

Connection::~Connection() = default;

int Connection::DefaultCallTimeoutMs()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("BREVIX_OFFICE_WAIT", &ok);
    return ok && seconds > 0 ? seconds * 1000 : 30000;
}

HRESULT Connection::retried(const std::function<HRESULT()>& call) { return watch_->run(call); }

DISPID Connection::memberId(IDispatch* object, const char* kind, const wchar_t* name)
{
    std::wstring key = QString::fromLatin1(kind).toStdWString();
    key += L'.';
    key += name;
    if (const auto found = ids_.find(key); found != ids_.end())
        return found->second;
    DISPID id = DISPID_UNKNOWN;
    auto* names = const_cast<LPOLESTR>(name);
    const HRESULT hr = retried([&] { return object->GetIDsOfNames(IID_NULL, &names, 1, LOCALE_USER_DEFAULT, &id); });
    if (FAILED(hr)) {
        if (IsServerGone(hr) || IsRejected(hr) || hr == RPC_E_CALL_CANCELED)
            gone_ = true;
        throw AutomationFailure(hr);
    }
    ids_.emplace(std::move(key), id);
    return id;
}

Variant Connection::Invoke(IDispatch* object, const char* kind, const wchar_t* name, WORD flags,
                           std::initializer_list<VARIANT> arguments)
{
    if (!object)
        throw RuntimeError::ObjectNotSet();
    if (gone_)
        throw RuntimeError::Automation(QString());
    const DISPID id = memberId(object, kind, name);

    // IDispatch takes the arguments last to first; a property's new value
    // is the named argument DISPID_PROPERTYPUT.
    std::vector<VARIANTARG> reversed;
    reversed.reserve(arguments.size());
    for (auto it = std::rbegin(arguments); it != std::rend(arguments); ++it)
        reversed.push_back(*it);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    const bool put = flags & DISPATCH_PROPERTYPUT;
    if (put) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
    }

    Variant result;
    EXCEPINFO exception{};
    const HRESULT hr = retried([&] {
        VariantClear(result.get());
        UINT badArgument = 0;
        return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, put ? nullptr : result.get(),
                              &exception, &badArgument);
    });
    if (SUCCEEDED(hr))
        return result;
    if (IsServerGone(hr) || IsRejected(hr) || hr == RPC_E_CALL_CANCELED)
        gone_ = true;
    if (hr == DISP_E_EXCEPTION && exception.pfnDeferredFillIn)
        exception.pfnDeferredFillIn(&exception);
    const RuntimeError error = AutomationFailure(hr, &exception);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    throw error;
}

} // namespace brevix::com
