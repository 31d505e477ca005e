#include "builtin/builtin_backend.h"

#include "builtin/automation_values.h"
#include "builtin/engine_range_format.h"
#include "engine/failures.h"

#include <algorithm>
#include <limits>

namespace brevix::builtin {

using engine::ValueOutOfRange;

struct BuiltinBackend::State {
    std::vector<std::shared_ptr<engine::Application>> applications;
    std::weak_ptr<engine::Document> lastDocument;
};

namespace {

// Calls on an application that has quit fail like calls on a word processor
// whose process has gone.
void CheckRunning(const engine::Application& app)
{
    if (app.hasQuit())
        throw RuntimeError::Automation(QString());
}

void CheckOpen(const engine::Document& doc)
{
    if (doc.isClosed())
        throw engine::ObjectDeleted();
}


class RangeImpl : public word::Range {
public:
    explicit RangeImpl(std::shared_ptr<engine::Range> range) : range_(std::move(range)) {}

    long get_Start() override { check(); return range_->start(); }
    void put_Start(long position) override
    {
        check();
        range_->setStart(word::PositionArgument(position));
    }
    long get_End() override { check(); return range_->end(); }
    void InsertAfter(const QString& text) override { check(); range_->insertAfter(text); }
    void Collapse(int direction) override
    {
        check();
        if (direction != word::wdCollapseEnd && direction != word::wdCollapseStart)
            throw ValueOutOfRange();
        range_->collapse(direction == word::wdCollapseEnd);
    }
    void InsertBreak(int type) override
    {
        check();
        if (type == word::wdPageBreak)
            range_->insertPageBreak();
        else if (type == 6) // wdLineBreak
            range_->insertAfter(QStringView(u"\v"));
        else
            throw ValueOutOfRange();
    }
    void Select() override { check(); range_->select(); }
    word::FontRef get_Font() override { return format(); }
    word::ParagraphsRef get_Paragraphs() override { return format(); }
    word::ParagraphFormatRef get_ParagraphFormat() override { return format(); }
    word::BordersRef get_Borders() override { return format(); }

    engine::Range& engineRange() { return *range_; }

    std::shared_ptr<word::EngineRangeFormat> format()
    {
        check();
        return std::make_shared<word::EngineRangeFormat>(range_, word::EngineRangeFormat::Hooks{[r = range_] { CheckOpen(r->document()); }});
    }

private:
    void check() const { CheckOpen(range_->document()); }
    std::shared_ptr<engine::Range> range_;
};

class DocumentImpl : public word::Document {
public:
    explicit DocumentImpl(std::shared_ptr<engine::Document> doc) : doc_(std::move(doc)) {}

    word::RangeRef Range(long start, long end) override
    {
        CheckOpen(*doc_);
        return std::make_shared<RangeImpl>(doc_->range(word::PositionArgument(start), word::PositionArgument(end)));
    }
    void Activate() override
    {
        CheckOpen(*doc_);
        doc_->application()->activateDocument(*doc_);
    }
    void Select() override
    {
        CheckOpen(*doc_);
        doc_->selectAll();
    }

    const std::shared_ptr<engine::Document>& engineDocument() const { return doc_; }

private:
    std::shared_ptr<engine::Document> doc_;
};

class DocumentsImpl : public word::Documents {
public:
    DocumentsImpl(std::shared_ptr<engine::Application> app, std::shared_ptr<BuiltinBackend::State> state)
        : app_(std::move(app)), state_(std::move(state))
    {
    }
    word::DocumentRef Add() override
    {
        CheckRunning(*app_);
        auto doc = app_->addDocument();
        state_->lastDocument = doc;
        return std::make_shared<DocumentImpl>(std::move(doc));
    }

private:
    std::shared_ptr<engine::Application> app_;
    std::shared_ptr<BuiltinBackend::State> state_;
};

class ApplicationImpl : public word::Application {
public:
    ApplicationImpl(std::shared_ptr<engine::Application> app, std::shared_ptr<BuiltinBackend::State> state)
        : app_(std::move(app)), state_(std::move(state))
    {
    }
    word::DocumentsRef get_Documents() override
    {
        CheckRunning(*app_);
        return std::make_shared<DocumentsImpl>(app_, state_);
    }
    void put_Visible(bool visible) override
    {
        CheckRunning(*app_);
        app_->setVisible(visible);
    }
    void ScreenRefresh() override
    {
        CheckRunning(*app_);
        app_->screenRefresh();
    }
    void Activate() override
    {
        CheckRunning(*app_);
        app_->activate();
    }

    const std::shared_ptr<engine::Application>& engineApplication() const { return app_; }

private:
    std::shared_ptr<engine::Application> app_;
    std::shared_ptr<BuiltinBackend::State> state_;
};


// Keys reach the engine's own window: the application in front. With none
// shown there is no window of ours to type into, so the keys are dropped.
class EngineKeySender : public word::KeySender {
public:
    void SendKeys(const QString& keys, bool /*wait: the engine handles keys synchronously*/) override
    {
        const QVector<engine::KeyStroke> strokes = engine::ParseSendKeys(keys);
        const auto app = engine::Application::foreground();
        if (!app)
            return;
        for (const engine::KeyStroke& stroke : strokes)
            app->pressKey(stroke);
    }
};


} // namespace

BuiltinBackend::BuiltinBackend() : state_(std::make_shared<State>()), keys_(std::make_unique<EngineKeySender>()) {}

BuiltinBackend::~BuiltinBackend() = default;

word::ApplicationRef BuiltinBackend::GetObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    auto app = engine::Application::running();
    if (!app)
        throw RuntimeError::CannotCreateObject();
    if (std::find(state_->applications.begin(), state_->applications.end(), app) == state_->applications.end())
        state_->applications.push_back(app);
    return std::make_shared<ApplicationImpl>(std::move(app), state_);
}

word::ApplicationRef BuiltinBackend::CreateObject(const QString& className)
{
    if (!word::IsWordApplicationClass(className))
        throw RuntimeError::CannotCreateObject();
    auto app = engine::Application::create();
    state_->applications.push_back(app);
    return std::make_shared<ApplicationImpl>(std::move(app), state_);
}

word::GlobalRef BuiltinBackend::CreateGlobal() { return std::make_shared<word::PointsGlobal>(); }

word::KeySender& BuiltinBackend::Keys() { return *keys_; }

const std::vector<std::shared_ptr<engine::Application>>& BuiltinBackend::applications() const
{
    return state_->applications;
}

std::shared_ptr<engine::Document> BuiltinBackend::lastDocument() const { return state_->lastDocument.lock(); }

std::shared_ptr<engine::Document> EngineDocumentOf(word::Document& document)
{
    auto* impl = dynamic_cast<DocumentImpl*>(&document);
    if (!impl)
        throw RuntimeError::TypeMismatch();
    return impl->engineDocument();
}

std::shared_ptr<engine::Application> EngineApplicationOf(word::Application& application)
{
    auto* impl = dynamic_cast<ApplicationImpl*>(&application);
    if (!impl)
        throw RuntimeError::TypeMismatch();
    return impl->engineApplication();
}

engine::Range& EngineRangeOf(word::Range& range)
{
    auto* impl = dynamic_cast<RangeImpl*>(&range);
    if (!impl)
        throw RuntimeError::TypeMismatch();
    return impl->engineRange();
}

} // namespace brevix::builtin
