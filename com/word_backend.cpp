#include "com/word_backend.h"

#include "engine/keyboard.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <optional>
#include <utility>

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

namespace brevix::com {

namespace {

// COM on this thread for as long as anything of ours holds a reference. A
// thread already in COM (Qt's windows joined it as an STA) stays as it is.
class Apartment {
public:
    Apartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~Apartment()
    {
        if (initialised_)
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    bool initialised_;
};

// Word's enumeration values the backend passes beyond the interface's own.
enum : long {
    wdDoNotSaveChanges = 0,
    wdHeaderFooterPrimary = 1,
    wdFormatXMLDocument = 12,
    wdFormatPDF = 17,
};

ComRef<IDispatch> DispatchOf(IUnknown* unknown)
{
    ComRef<IDispatch> dispatch;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.out()))))
        throw RuntimeError::CannotCreateObject();
    return dispatch;
}

bool SameObject(IUnknown* a, IUnknown* b)
{
    ComRef<IUnknown> ia, ib;
    return a && b && SUCCEEDED(a->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ia.out())))
        && SUCCEEDED(b->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(ib.out()))) && ia.get() == ib.get();
}

} // namespace

bool IsRegistered(const QString& progId)
{
    const Apartment apartment;
    CLSID clsid;
    return SUCCEEDED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.utf16()), &clsid));
}

// One server obtained: the calls made to it and its application object.
struct Server {
    std::shared_ptr<Apartment> apartment; // released last
    Connection connection;
    bool startedByUs = false;
    Server(std::shared_ptr<Apartment> a, int callTimeoutMs) : apartment(std::move(a)), connection(callTimeoutMs) {}
};
using ServerPtr = std::shared_ptr<Server>;

// One object of the server's: its members are called by name.
class Object {
public:
    Object(ServerPtr server, ComRef<IDispatch> dispatch, const char* kind)
        : server_(std::move(server)), dispatch_(std::move(dispatch)), kind_(kind) {}

    Variant get(const wchar_t* name) const { return invoke(name, DISPATCH_PROPERTYGET, {}); }
    void put(const wchar_t* name, const Variant& value) const { invoke(name, DISPATCH_PROPERTYPUT, {value.value()}); }
    Variant call(const wchar_t* name, std::initializer_list<VARIANT> arguments = {}) const
    {
        return invoke(name, DISPATCH_METHOD, arguments);
    }
    // A member whose value is an object (a property, or an Item of a collection).
    Object object(const wchar_t* name, const char* kind, std::initializer_list<VARIANT> arguments = {}) const
    {
        return {server_, ToDispatch(invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments)), kind};
    }

    const ServerPtr& server() const { return server_; }
    IDispatch* dispatch() const { return dispatch_.get(); }

private:
    Variant invoke(const wchar_t* name, WORD flags, std::initializer_list<VARIANT> arguments) const
    {
        return server_->connection.Invoke(dispatch_.get(), kind_, name, flags, arguments);
    }
    // Nothing where an object was to come: 91, as for a Nothing reference.
    static ComRef<IDispatch> ToDispatch(const Variant& value)
    {
        const VARIANT& v = value.value();
        if (v.vt == VT_DISPATCH && v.pdispVal) {
            v.pdispVal->AddRef();
            return ComRef<IDispatch>(v.pdispVal);
        }
        if (v.vt == VT_UNKNOWN && v.punkVal) {
            ComRef<IDispatch> dispatch;
            if (SUCCEEDED(v.punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(dispatch.out()))))
                return dispatch;
        }
        throw RuntimeError::ObjectNotSet();
    }

    ServerPtr server_;
    ComRef<IDispatch> dispatch_;
    const char* kind_;
};

struct WordBackend::State {
    std::shared_ptr<Apartment> apartment = std::make_shared<Apartment>();
    WordOptions options;
    std::optional<Object> lastApplication;
    std::optional<Object> lastDocument; // kept for the headless command's save
    ServerPtr started;                  // the server CreateObject started, for the headless command
    // Where key strings go: the document last added or activated, in its application.
    std::optional<Object> keysApplication;
    std::optional<Object> keysDocument;
    engine::Keyboard keyboard;
    engine::PageNumbers pageNumbers; // what the keys set in that document
};

namespace {

using StatePtr = std::shared_ptr<WordBackend::State>;

class FontImpl : public word::Font {
public:
    explicit FontImpl(Object font) : font_(std::move(font)) {}
    void put_Name(const QString& name) override { font_.put(L"Name", Variant::Text(name)); }
    void put_Size(float points) override { font_.put(L"Size", Variant::Single(points)); }
    void put_Bold(int value) override { font_.put(L"Bold", Variant::Long(value)); }
    void put_ColorIndex(int value) override { font_.put(L"ColorIndex", Variant::Long(value)); }
    void put_Underline(int value) override { font_.put(L"Underline", Variant::Long(value)); }

private:
    Object font_;
};

class ParagraphsImpl : public word::Paragraphs {
public:
    explicit ParagraphsImpl(Object paragraphs) : paragraphs_(std::move(paragraphs)) {}
    void put_Alignment(int value) override { paragraphs_.put(L"Alignment", Variant::Long(value)); }

private:
    Object paragraphs_;
};

class ParagraphFormatImpl : public word::ParagraphFormat {
public:
    explicit ParagraphFormatImpl(Object format) : format_(std::move(format)) {}
    void put_LineSpacingRule(int value) override { format_.put(L"LineSpacingRule", Variant::Long(value)); }
    void put_LineSpacing(float points) override { format_.put(L"LineSpacing", Variant::Single(points)); }
    void put_FirstLineIndent(float points) override { format_.put(L"FirstLineIndent", Variant::Single(points)); }
    void put_LeftIndent(float points) override { format_.put(L"LeftIndent", Variant::Single(points)); }

private:
    Object format_;
};

class BordersImpl : public word::Borders {
public:
    explicit BordersImpl(Object borders) : borders_(std::move(borders)) {}
    void put_OutsideLineStyle(int value) override { borders_.put(L"OutsideLineStyle", Variant::Long(value)); }
    void put_OutsideLineWidth(int value) override { borders_.put(L"OutsideLineWidth", Variant::Long(value)); }
    void put_OutsideColorIndex(int value) override { borders_.put(L"OutsideColorIndex", Variant::Long(value)); }

private:
    Object borders_;
};

class RangeImpl : public word::Range {
public:
    explicit RangeImpl(Object range) : range_(std::move(range)) {}

    long get_Start() override { return range_.get(L"Start").toLong(); }
    void put_Start(long position) override { range_.put(L"Start", Variant::Long(position)); }
    long get_End() override { return range_.get(L"End").toLong(); }
    void InsertAfter(const QString& text) override { range_.call(L"InsertAfter", {Variant::Text(text).value()}); }
    void Collapse(int direction) override { range_.call(L"Collapse", {Variant::Long(direction).value()}); }
    void InsertBreak(int type) override { range_.call(L"InsertBreak", {Variant::Long(type).value()}); }
    void Select() override { range_.call(L"Select"); }
    word::FontRef get_Font() override { return std::make_shared<FontImpl>(range_.object(L"Font", "Font")); }
    word::ParagraphsRef get_Paragraphs() override
    {
        return std::make_shared<ParagraphsImpl>(range_.object(L"Paragraphs", "Paragraphs"));
    }
    word::ParagraphFormatRef get_ParagraphFormat() override
    {
        return std::make_shared<ParagraphFormatImpl>(range_.object(L"ParagraphFormat", "ParagraphFormat"));
    }
    word::BordersRef get_Borders() override { return std::make_shared<BordersImpl>(range_.object(L"Borders", "Borders")); }

private:
    Object range_;
};

class DocumentImpl : public word::Document {
public:
    DocumentImpl(Object document, Object application, StatePtr state)
        : document_(std::move(document)), application_(std::move(application)), state_(std::move(state)) {}

    word::RangeRef Range(long start, long end) override
    {
        return std::make_shared<RangeImpl>(document_.object(L"Range", "Range", {Variant::Long(start).value(), Variant::Long(end).value()}));
    }
    void Activate() override
    {
        document_.call(L"Activate");
        state_->keysApplication = application_;
        state_->keysDocument = document_;
    }
    void Select() override { document_.call(L"Select"); }

private:
    Object document_;
    Object application_;
    StatePtr state_;
};

class DocumentsImpl : public word::Documents {
public:
    DocumentsImpl(Object documents, Object application, StatePtr state)
        : documents_(std::move(documents)), application_(std::move(application)), state_(std::move(state)) {}

    // Template and NewTemplate left out, as Word's own defaults give a blank document.
    word::DocumentRef Add() override
    {
        const Variant omitted = Variant::Omitted();
        Object document = documents_.object(L"Add", "Document", {omitted.value(), omitted.value()});
        state_->lastDocument = document;
        state_->keysApplication = application_;
        state_->keysDocument = document;
        state_->pageNumbers = {};
        return std::make_shared<DocumentImpl>(std::move(document), application_, state_);
    }

private:
    Object documents_;
    Object application_;
    StatePtr state_;
};

class ApplicationImpl : public word::Application {
public:
    ApplicationImpl(Object application, StatePtr state) : application_(std::move(application)), state_(std::move(state)) {}
    // A server we started and never showed would stay hidden, holding what
    // was typeset so far where nobody can see it: it is shown instead.
    ~ApplicationImpl() override
    {
        if (!application_.server()->startedByUs || shown_ || state_->options.headless
            || application_.server()->connection.isGone())
            return;
        try {
            application_.put(L"Visible", Variant::Bool(true));
        } catch (const RuntimeError&) {
        }
    }

    word::DocumentsRef get_Documents() override
    {
        return std::make_shared<DocumentsImpl>(application_.object(L"Documents", "Documents"), application_, state_);
    }
    void put_Visible(bool visible) override
    {
        if (state_->options.headless)
            return;
        application_.put(L"Visible", Variant::Bool(visible));
        shown_ = visible;
    }
    void ScreenRefresh() override { application_.call(L"ScreenRefresh"); }
    void Activate() override
    {
        if (state_->options.headless)
            return;
        // Windows lets only the program in front give the front away.
        CoAllowSetForegroundWindow(application_.dispatch(), nullptr);
        application_.call(L"Activate");
    }

private:
    Object application_;
    StatePtr state_;
    bool shown_ = false;
};

class GlobalImpl : public word::Global {
public:
    explicit GlobalImpl(StatePtr state) : state_(std::move(state)) {}
    float InchesToPoints(float inches) override
    {
        if (!state_->lastApplication)
            throw RuntimeError::CannotCreateObject();
        return state_->lastApplication->call(L"InchesToPoints", {Variant::Single(inches).value()}).toSingle();
    }

private:
    StatePtr state_;
};

// The two dialogs the key strings reach, carried out in the server's document.
class WordKeyboardTarget : public engine::KeyboardTarget {
public:
    explicit WordKeyboardTarget(WordBackend::State& state) : state_(state) {}
    // Only a name typed into the dialog is ever applied: its old value is not asked for.
    QString selectionLatinFont() override { return {}; }
    engine::PageNumbers pageNumbers() override { return state_.pageNumbers; }
    void setSelectionLatinFont(const QString& name) override
    {
        state_.keysApplication->object(L"Selection", "Selection").object(L"Font", "Font").put(L"Name", Variant::Text(name));
    }
    void setPageNumbers(const engine::PageNumbers& numbers) override
    {
        const Variant first = Variant::Long(1);
        const Variant primary = Variant::Long(wdHeaderFooterPrimary);
        const Variant alignment = Variant::Long(static_cast<long>(numbers.alignment)); // left 0, centre 1, right 2
        const Variant onFirstPage = Variant::Bool(true);
        state_.keysDocument->object(L"Sections", "Sections")
            .object(L"Item", "Section", {first.value()})
            .object(L"Footers", "HeadersFooters")
            .object(L"Item", "HeaderFooter", {primary.value()})
            .object(L"PageNumbers", "PageNumbers")
            .call(L"Add", {alignment.value(), onFirstPage.value()});
        state_.pageNumbers = numbers;
    }

private:
    WordBackend::State& state_;
};

class WordKeySender : public word::KeySender {
public:
    explicit WordKeySender(StatePtr state) : state_(std::move(state)) {}
    void SendKeys(const QString& keys, bool /*wait: done when this returns*/) override
    {
        const QVector<engine::KeyStroke> strokes = engine::ParseSendKeys(keys);
        if (!state_->keysDocument)
            return;
        WordKeyboardTarget target(*state_);
        for (const engine::KeyStroke& stroke : strokes)
            state_->keyboard.press(stroke, &target);
    }

private:
    StatePtr state_;
};

} // namespace

WordBackend::WordBackend(WordOptions options)
    : state_(std::make_shared<State>()), keys_(std::make_unique<WordKeySender>(state_))
{
    state_->options = std::move(options);
}

WordBackend::~WordBackend() = default;

word::ApplicationRef WordBackend::GetObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    for (const QString& progId : state_->options.progIds) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.utf16()), &clsid)))
            continue;
        auto server = std::make_shared<Server>(state_->apartment, state_->options.callTimeoutMs);
        ComRef<IUnknown> running;
        if (FAILED(server->connection.Bounded([&] { return GetActiveObject(clsid, nullptr, running.out()); })))
            continue;
        Object application(server, DispatchOf(running.get()), "Application");
        state_->lastApplication = application;
        return std::make_shared<ApplicationImpl>(std::move(application), state_);
    }
    throw RuntimeError::CannotCreateObject();
}

word::ApplicationRef WordBackend::CreateObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    for (const QString& progId : state_->options.progIds) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(reinterpret_cast<LPCOLESTR>(progId.utf16()), &clsid)))
            continue;
        auto server = std::make_shared<Server>(state_->apartment, state_->options.callTimeoutMs);
        // A server that answers CreateObject with the instance already
        // running was not started by us.
        ComRef<IUnknown> running;
        server->connection.Bounded([&] { return GetActiveObject(clsid, nullptr, running.out()); });
        ComRef<IDispatch> created;
        if (FAILED(server->connection.Bounded([&] {
                return CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(created.out()));
            })))
            continue;
        server->startedByUs = !SameObject(running.get(), created.get());
        Object application(server, std::move(created), "Application");
        state_->lastApplication = application;
        if (server->startedByUs)
            state_->started = server;
        return std::make_shared<ApplicationImpl>(std::move(application), state_);
    }
    throw RuntimeError::CannotCreateObject();
}

word::GlobalRef WordBackend::CreateGlobal() { return std::make_shared<GlobalImpl>(state_); }

word::KeySender& WordBackend::Keys() { return *keys_; }

QByteArray WordBackend::SaveLastDocument(const QString& format)
{
    if (!state_->lastDocument)
        throw RuntimeError::CannotCreateObject();
    // The server writes into a folder of ours, which goes with what is in it.
    const QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/brevix-word-XXXXXX"));
    if (!folder.isValid())
        throw RuntimeError::PathFileAccess();
    const bool pdf = format == u"pdf";
    const QString path = QDir::toNativeSeparators(folder.filePath(pdf ? QStringLiteral("bulletin.pdf") : QStringLiteral("bulletin.docx")));
    const Variant name = Variant::Text(path);
    const Variant fileFormat = Variant::Long(pdf ? wdFormatPDF : wdFormatXMLDocument);
    try {
        state_->lastDocument->call(L"SaveAs2", {name.value(), fileFormat.value()});
    } catch (const RuntimeError& error) {
        if (error.number() != 438) // SaveAs2 came with Word 2010; older ones have SaveAs
            throw;
        state_->lastDocument->call(L"SaveAs", {name.value(), fileFormat.value()});
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError::FileNotFound();
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw RuntimeError::DeviceIO();
    return bytes;
}

void WordBackend::CloseLastDocument()
{
    if (!state_->lastDocument || state_->lastDocument->server()->connection.isGone())
        return;
    try {
        state_->lastDocument->call(L"Close", {Variant::Long(wdDoNotSaveChanges).value()});
    } catch (const RuntimeError&) {
        // Closed already, or the server refuses: nothing of ours to lose.
    }
    state_->lastDocument.reset();
    state_->keysDocument.reset();
}

void WordBackend::QuitIfStarted()
{
    const ServerPtr server = std::exchange(state_->started, nullptr);
    if (!server || server->connection.isGone() || !state_->lastApplication || state_->lastApplication->server() != server)
        return;
    try {
        state_->lastApplication->call(L"Quit", {Variant::Long(wdDoNotSaveChanges).value()});
    } catch (const RuntimeError&) {
    }
    state_->lastApplication.reset();
    state_->keysApplication.reset();
}

} // namespace brevix::com
