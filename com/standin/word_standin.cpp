// word_standin.exe: an automation server standing in for Word where none is
// installed, for the tests and the benchmark.
// Out of process, registered as a local server (/RegServer [PROGID],
// /UnregServer [PROGID]; Word.Application unless told otherwise), it offers
// through IDispatch the members of Word's object model the bulletins use,
// carried out by the built-in engine, so that a document made through COM
// can be compared with the engine's own. It checks argument types more
// strictly than Word: each member takes exactly the VARIANT type Word
// documents, so a wrong type in the client shows as 类型不匹配.
//
// Members of its own, for the tests: Application.BrevixProcessId,
// Application.BrevixRejectCalls = N (the next N incoming calls are
// rejected, as a busy Word rejects them), Application.BrevixState.
// Document.SaveAs2 writes the engine's DOCX (12) or PDF (17).
//
// Like Word it stays running, visible or hidden, until it is told to quit;
// it ends once no client holds its application then.

#include "builtin/builtin_backend.h"
#include "builtin/engine_range_format.h"
#include "engine/application.h"
#include "engine/docx.h"
#include "engine/window/pdfexport.h"

#include <QGuiApplication>
#include <atomic>
#include <functional>
#include <vector>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <shellapi.h>

using namespace brevix;

namespace {

// One CLSID per class name the stand-in can be registered under.
CLSID ClassIdOf(const std::wstring& progId)
{
    static const CLSID word = {0x6c0b7a3e, 0x2d1f, 0x4b8e, {0x9a, 0x51, 0x3f, 0x20, 0x7e, 0x11, 0xc4, 0x01}};
    static const CLSID wps = {0x6c0b7a3e, 0x2d1f, 0x4b8e, {0x9a, 0x51, 0x3f, 0x20, 0x7e, 0x11, 0xc4, 0x02}};
    return _wcsicmp(progId.c_str(), L"Word.Application") == 0 ? word : wps;
}

std::wstring ClassIdText(const CLSID& clsid)
{
    wchar_t text[64];
    StringFromGUID2(clsid, text, 64);
    return text;
}

void SetKey(const std::wstring& path, const std::wstring& value)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
}

int Register(const std::wstring& progId)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const std::wstring clsid = ClassIdText(ClassIdOf(progId));
    SetKey(L"CLSID\\" + clsid + L"\\LocalServer32", L"\"" + std::wstring(exe) + L"\" " + progId);
    SetKey(L"CLSID\\" + clsid + L"\\ProgID", progId);
    SetKey(progId + L"\\CLSID", clsid);
    return 0;
}

int Unregister(const std::wstring& progId)
{
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClassIdText(ClassIdOf(progId))).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, progId.c_str());
    return 0;
}

std::atomic<long> g_rejectCalls{0};

// COM objects of ours are deleted as what they are, never through the
// interface, whose destructor COM leaves non-virtual.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"

// Rejects incoming calls while asked to, as Word does while a dialog is open.
class BusyFilter : public IMessageFilter {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = (iid == IID_IUnknown || iid == IID_IMessageFilter) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    // Calls on the object model only (GetIDsOfNames, Invoke): a client's
    // releases are never refused.
    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO call) override
    {
        if (g_rejectCalls > 0 && call && call->iid == IID_IDispatch && call->wMethod >= 5) {
            --g_rejectCalls;
            return SERVERCALL_REJECTED;
        }
        return SERVERCALL_ISHANDLED;
    }
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    DWORD STDMETHODCALLTYPE MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

// The arguments of one call, first to last, and its result.
struct Call {
    std::vector<VARIANT*> arguments;
    VARIANT* result;

    VARIANT& at(size_t i, VARTYPE type)
    {
        if (i >= arguments.size())
            throw HRESULT(DISP_E_BADPARAMCOUNT);
        if (arguments[i]->vt != type)
            throw HRESULT(DISP_E_TYPEMISMATCH);
        return *arguments[i];
    }
    long Long(size_t i) { return at(i, VT_I4).lVal; }
    float Single(size_t i) { return at(i, VT_R4).fltVal; }
    bool Bool(size_t i) { return at(i, VT_BOOL).boolVal != VARIANT_FALSE; }
    QString Text(size_t i)
    {
        const BSTR text = at(i, VT_BSTR).bstrVal;
        return QString::fromWCharArray(text, static_cast<qsizetype>(SysStringLen(text)));
    }
    // Optional arguments the client leaves out come as VT_ERROR, DISP_E_PARAMNOTFOUND.
    void omitted(size_t from)
    {
        for (size_t i = from; i < arguments.size(); ++i)
            if (arguments[i]->vt != VT_ERROR || arguments[i]->scode != DISP_E_PARAMNOTFOUND)
                throw HRESULT(DISP_E_TYPEMISMATCH);
    }
    void count(size_t n)
    {
        if (arguments.size() != n)
            throw HRESULT(DISP_E_BADPARAMCOUNT);
    }
    void give(long value) { if (result) { result->vt = VT_I4; result->lVal = value; } }
    void give(float value) { if (result) { result->vt = VT_R4; result->fltVal = value; } }
    void give(const QString& text)
    {
        if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), static_cast<UINT>(text.size()));
        }
    }
    void give(IDispatch* object) // takes the new object's reference
    {
        if (result) {
            result->vt = VT_DISPATCH;
            result->pdispVal = object;
        } else {
            object->Release();
        }
    }
};

enum Flags : WORD { Get = DISPATCH_PROPERTYGET, Put = DISPATCH_PROPERTYPUT, Method = DISPATCH_METHOD };

struct Member {
    const wchar_t* name;
    WORD flags; // what it answers to
    std::function<void(Call&)> run;
};

// An object of the stand-in: IDispatch over a table of members.
class Object : public IDispatch {
public:
    explicit Object(std::vector<Member> members) : members_(std::move(members)) {}
    virtual ~Object() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            released();
        return left;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            for (size_t m = 0; m < members_.size() && i == 0; ++m)
                if (_wcsicmp(members_[m].name, names[i]) == 0)
                    ids[i] = static_cast<DISPID>(m + 1);
            if (ids[i] == DISPID_UNKNOWN)
                hr = DISP_E_UNKNOWNNAME;
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT*) override
    {
        if (id < 1 || static_cast<size_t>(id) > members_.size())
            return DISP_E_MEMBERNOTFOUND;
        const Member& member = members_[static_cast<size_t>(id - 1)];
        if (!(member.flags & flags))
            return DISP_E_MEMBERNOTFOUND;
        const bool put = flags & DISPATCH_PROPERTYPUT;
        if (put != (params->cNamedArgs == 1 && params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT) || params->cNamedArgs > 1)
            return DISP_E_NONAMEDARGS;
        Call call;
        for (UINT i = params->cArgs; i > 0; --i)
            call.arguments.push_back(&params->rgvarg[i - 1]);
        call.result = put ? nullptr : result;
        if (call.result)
            VariantInit(call.result);
        try {
            member.run(call);
            return S_OK;
        } catch (HRESULT hr) {
            return hr;
        } catch (const RuntimeError& error) {
            // As Word reports its errors: the number in FACILITY_CONTROL, and the description.
            if (exception) {
                *exception = EXCEPINFO{};
                exception->bstrSource = SysAllocString(L"Brevix Word stand-in");
                const QString& text = error.description();
                exception->bstrDescription = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.utf16()), static_cast<UINT>(text.size()));
                exception->scode = error.number() > 0 && error.number() < 0x10000
                    ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, error.number())
                    : static_cast<HRESULT>(error.number());
            }
            return DISP_E_EXCEPTION;
        }
    }

protected:
    virtual void released() { delete this; }

private:
    std::vector<Member> members_;
    std::atomic<ULONG> refs_{1};
};

IDispatch* Make(std::vector<Member> members) { return new Object(std::move(members)); }

// Font, Paragraphs, ParagraphFormat and Borders of an engine range: the
// setters of the built-in backend, behind Word's member names.
IDispatch* FontOf(std::shared_ptr<word::EngineRangeFormat> f)
{
    return Make({
        {L"Name", Put, [f](Call& c) { c.count(1); f->put_Name(c.Text(0)); }},
        {L"Size", Put, [f](Call& c) { c.count(1); f->put_Size(c.Single(0)); }},
        {L"Bold", Put, [f](Call& c) { c.count(1); f->put_Bold(static_cast<int>(c.Long(0))); }},
        {L"ColorIndex", Put, [f](Call& c) { c.count(1); f->put_ColorIndex(static_cast<int>(c.Long(0))); }},
        {L"Underline", Put, [f](Call& c) { c.count(1); f->put_Underline(static_cast<int>(c.Long(0))); }},
    });
}

std::shared_ptr<word::EngineRangeFormat> FormatOf(const std::shared_ptr<engine::Range>& range)
{
    return std::make_shared<word::EngineRangeFormat>(range, word::EngineRangeFormat::Hooks{[range] {
        if (range->document().isClosed())
            throw engine::ObjectDeleted();
    }});
}

IDispatch* RangeOf(std::shared_ptr<engine::Range> r)
{
    auto format = [r] { return FormatOf(r); };
    return Make({
        {L"Start", Get | Put, [r](Call& c) {
             if (c.result) {
                 c.give(static_cast<long>(r->start()));
             } else {
                 c.count(1);
                 r->setStart(static_cast<int>(c.Long(0)));
             }
         }},
        {L"End", Get, [r](Call& c) { c.give(static_cast<long>(r->end())); }},
        {L"InsertAfter", Method, [r](Call& c) { c.count(1); r->insertAfter(c.Text(0)); }},
        {L"Collapse", Method, [r](Call& c) {
             c.count(1);
             const long direction = c.Long(0);
             if (direction != 0 && direction != 1)
                 throw engine::ValueOutOfRange();
             r->collapse(direction == 0);
         }},
        {L"InsertBreak", Method, [r](Call& c) {
             c.count(1);
             if (c.Long(0) != 7)
                 throw engine::ValueOutOfRange();
             r->insertPageBreak();
         }},
        {L"Select", Method, [r](Call&) { r->select(); }},
        {L"Font", Get, [format](Call& c) { c.give(FontOf(format())); }},
        {L"Paragraphs", Get, [format](Call& c) {
             auto f = format();
             c.give(Make({{L"Alignment", Put, [f](Call& a) { a.count(1); f->put_Alignment(static_cast<int>(a.Long(0))); }}}));
         }},
        {L"ParagraphFormat", Get, [format](Call& c) {
             auto f = format();
             c.give(Make({
                 {L"LineSpacingRule", Put, [f](Call& a) { a.count(1); f->put_LineSpacingRule(static_cast<int>(a.Long(0))); }},
                 {L"LineSpacing", Put, [f](Call& a) { a.count(1); f->put_LineSpacing(a.Single(0)); }},
                 {L"FirstLineIndent", Put, [f](Call& a) { a.count(1); f->put_FirstLineIndent(a.Single(0)); }},
                 {L"LeftIndent", Put, [f](Call& a) { a.count(1); f->put_LeftIndent(a.Single(0)); }},
             }));
         }},
        {L"Borders", Get, [format](Call& c) {
             auto f = format();
             c.give(Make({
                 {L"OutsideLineStyle", Put, [f](Call& a) { a.count(1); f->put_OutsideLineStyle(static_cast<int>(a.Long(0))); }},
                 {L"OutsideLineWidth", Put, [f](Call& a) { a.count(1); f->put_OutsideLineWidth(static_cast<int>(a.Long(0))); }},
                 {L"OutsideColorIndex", Put, [f](Call& a) { a.count(1); f->put_OutsideColorIndex(static_cast<int>(a.Long(0))); }},
             }));
         }},
    });
}

void CheckOpen(const engine::Document& d)
{
    if (d.isClosed())
        throw engine::ObjectDeleted();
}

IDispatch* DocumentOf(std::shared_ptr<engine::Document> d)
{
    // Sections(1).Footers(wdHeaderFooterPrimary).PageNumbers.Add(alignment, first page)
    auto pageNumbers = [d] {
        return Make({{L"Add", Method, [d](Call& c) {
                          c.count(2);
                          const long alignment = c.Long(0);
                          c.Bool(1);
                          if (alignment < 0 || alignment > 2)
                              throw engine::ValueOutOfRange();
                          CheckOpen(*d);
                          d->setPageNumbers({true, static_cast<engine::Alignment>(alignment)});
                      }}});
    };
    auto item = [](long wanted, std::function<IDispatch*()> make) {
        return Make({{L"Item", Method | Get, [wanted, make](Call& c) {
                          c.count(1);
                          if (c.Long(0) != wanted)
                              throw HRESULT(DISP_E_BADINDEX);
                          c.give(make());
                      }}});
    };
    auto save = [d](Call& c) {
        if (c.arguments.size() < 2)
            throw HRESULT(DISP_E_BADPARAMCOUNT);
        const QString path = c.Text(0);
        const long format = c.Long(1);
        c.omitted(2);
        CheckOpen(*d);
        if (format == 12)
            engine::SaveDocx(*d, path);
        else if (format == 17)
            docwindow::ExportPdf(*d, path);
        else
            throw engine::ValueOutOfRange();
    };
    return Make({
        {L"Range", Method, [d](Call& c) {
             c.count(2);
             CheckOpen(*d);
             c.give(RangeOf(d->range(static_cast<int>(c.Long(0)), static_cast<int>(c.Long(1)))));
         }},
        {L"Activate", Method, [d](Call&) { CheckOpen(*d); d->application()->activateDocument(*d); }},
        {L"Select", Method, [d](Call&) { CheckOpen(*d); d->selectAll(); }},
        {L"Sections", Get, [d, item, pageNumbers](Call& c) {
             CheckOpen(*d);
             c.give(item(1, [item, pageNumbers] {
                 return Make({{L"Footers", Get, [item, pageNumbers](Call& f) {
                                   f.give(item(1, [pageNumbers] {
                                       return Make({{L"PageNumbers", Get, [pageNumbers](Call& p) { p.give(pageNumbers()); }}});
                                   }));
                               }}});
             }));
         }},
        {L"SaveAs2", Method, save},
        {L"SaveAs", Method, save},
        {L"Close", Method, [d](Call& c) {
             c.count(1);
             if (c.Long(0) != 0)
                 throw engine::ValueOutOfRange(); // saving is not stood in for
             CheckOpen(*d);
             d->application()->closeDocument(*d);
         }},
    });
}

// The application: an engine application of this process.
class ApplicationObject : public Object {
public:
    explicit ApplicationObject(std::shared_ptr<engine::Application> app) : Object(members(app)), app_(std::move(app)) {}

private:
    static std::vector<Member> members(const std::shared_ptr<engine::Application>& app)
    {
        auto running = [app] {
            if (app->hasQuit())
                throw RuntimeError::Automation(QString());
        };
        return {
            {L"Documents", Get, [app, running](Call& c) {
                 running();
                 c.give(Make({{L"Add", Method, [app](Call& a) {
                                   a.omitted(0);
                                   a.give(DocumentOf(app->addDocument()));
                               }}}));
             }},
            {L"Visible", Put, [app, running](Call& c) {
                 running();
                 c.count(1);
                 app->setVisible(c.Bool(0));
             }},
            {L"ScreenRefresh", Method, [app, running](Call&) { running(); app->screenRefresh(); }},
            {L"Activate", Method, [app, running](Call&) { running(); app->activate(); }},
            {L"InchesToPoints", Method, [running](Call& c) {
                 running();
                 c.count(1);
                 c.give(c.Single(0) * 72.0f);
             }},
            {L"Selection", Get, [app, running](Call& c) {
                 running();
                 engine::Document* active = app->activeDocument();
                 if (!active)
                     throw RuntimeError(4248, QStringLiteral("该命令无效，因为没有打开的文档。"));
                 const engine::Selection s = active->selection();
                 auto range = std::make_shared<engine::Range>(active->shared_from_this(), s.start, s.end);
                 c.give(Make({{L"Font", Get, [range](Call& f) { f.give(FontOf(FormatOf(range))); }}}));
             }},
            {L"ActiveDocument", Get, [app, running](Call& c) {
                 running();
                 engine::Document* active = app->activeDocument();
                 if (!active)
                     throw RuntimeError(4248, QStringLiteral("该命令无效，因为没有打开的文档。"));
                 c.give(DocumentOf(active->shared_from_this()));
             }},
            {L"Quit", Method, [app](Call& c) {
                 c.omitted(c.arguments.empty() || c.arguments[0]->vt != VT_I4 ? 0 : 1);
                 app->quit();
             }},
            {L"BrevixProcessId", Get, [](Call& c) { c.give(static_cast<long>(GetCurrentProcessId())); }},
            {L"BrevixRejectCalls", Put, [](Call& c) { c.count(1); g_rejectCalls = c.Long(0); }},
            // "visible, N documents, all selected" (or "part selected"), "quit".
            {L"BrevixState", Get, [app](Call& c) {
                 if (app->hasQuit()) {
                     c.give(QStringLiteral("quit"));
                     return;
                 }
                 QString state = QStringLiteral("%1, %2 documents").arg(app->isVisible() ? "visible" : "hidden").arg(app->documents().size());
                 if (engine::Document* active = app->activeDocument()) {
                     const engine::Selection s = active->selection();
                     state += s.start == 0 && s.end >= active->length() - 1 ? QStringLiteral(", all selected") : QStringLiteral(", part selected");
                 }
                 c.give(state);
             }},
        };
    }

    // Word stays until told to quit, also hidden: a client that never quits
    // the one it started leaves it running.
    void released() override
    {
        if (app_->hasQuit())
            PostQuitMessage(0);
    }

    std::shared_ptr<engine::Application> app_;
};

class Factory : public IClassFactory {
public:
    explicit Factory(CLSID clsid) : clsid_(clsid) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        *out = (iid == IID_IUnknown || iid == IID_IClassFactory) ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override
    {
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* app = new ApplicationObject(engine::Application::create());
        // GetObject finds it, as it finds a running Word.
        RegisterActiveObject(app, clsid_, ACTIVEOBJECT_WEAK, &activeObject_);
        const HRESULT hr = app->QueryInterface(iid, out);
        app->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
    DWORD activeObject() const { return activeObject_; }

private:
    CLSID clsid_;
    DWORD activeObject_ = 0;
};

#pragma GCC diagnostic pop

} // namespace

int main(int, char**)
{
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring progId = L"Word.Application";
    bool reg = false, unreg = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring a = argv[i];
        if (_wcsicmp(a.c_str(), L"/RegServer") == 0 || _wcsicmp(a.c_str(), L"-RegServer") == 0)
            reg = true;
        else if (_wcsicmp(a.c_str(), L"/UnregServer") == 0 || _wcsicmp(a.c_str(), L"-UnregServer") == 0)
            unreg = true;
        else if (a.find(L'.') != std::wstring::npos)
            progId = a;
    }
    LocalFree(argv);
    if (reg)
        return Register(progId);
    if (unreg)
        return Unregister(progId);

    // Fonts and page layout for the PDF, without a screen.
    int qtArgc = 3;
    char name[] = "word_standin", platform[] = "-platform", offscreen[] = "offscreen";
    char* qtArgv[] = {name, platform, offscreen, nullptr};
    QGuiApplication qt(qtArgc, qtArgv);

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BusyFilter filter;
    CoRegisterMessageFilter(&filter, nullptr);
    const CLSID clsid = ClassIdOf(progId);
    Factory factory(clsid);
    DWORD cookie = 0;
    // One server per instance, as each CreateObject of Word starts one.
    if (FAILED(CoRegisterClassObject(clsid, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE, &cookie)))
        return 1;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (factory.activeObject())
        RevokeActiveObject(factory.activeObject(), nullptr);
    CoRevokeClassObject(cookie);
    CoRegisterMessageFilter(nullptr, nullptr);
    CoUninitialize();
    return 0;
}
