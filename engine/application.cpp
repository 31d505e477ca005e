#include "engine/application.h"

#include <algorithm>

namespace brevix::engine {

namespace {

ViewHost* g_host = nullptr;
std::weak_ptr<Application> g_foreground;

std::vector<std::shared_ptr<Application>>& Registry()
{
    static std::vector<std::shared_ptr<Application>> apps;
    return apps;
}

} // namespace

void SetViewHost(ViewHost* host) { g_host = host; }
ViewHost* CurrentViewHost() { return g_host; }

std::shared_ptr<Application> Application::create()
{
    std::shared_ptr<Application> app(new Application);
    Registry().push_back(app);
    return app;
}

std::shared_ptr<Application> Application::running()
{
    const auto& apps = Registry();
    return apps.empty() ? nullptr : apps.front();
}

std::vector<std::shared_ptr<Application>> Application::all() { return Registry(); }

std::shared_ptr<Application> Application::foreground()
{
    auto app = g_foreground.lock();
    return app && app->visible_ && !app->quit_ ? app : nullptr;
}

Application::~Application()
{
    for (const auto& doc : documents_) {
        doc->closed_ = true;
        doc->app_ = nullptr;
    }
}

std::shared_ptr<Document> Application::addDocument()
{
    auto doc = std::make_shared<Document>();
    doc->app_ = this;
    doc->setName(QStringLiteral("文档%1").arg(nextNumber_++));
    documents_.push_back(doc);
    active_ = doc.get();
    if (visible_ && g_host)
        g_host->documentShown(*doc);
    return doc;
}

void Application::activateDocument(Document& document)
{
    document.checkOpen();
    active_ = &document;
    if (visible_)
        g_foreground = weak_from_this();
    if (visible_ && g_host)
        g_host->documentActivated(document);
}

void Application::closeDocument(Document& document)
{
    auto it = std::find_if(documents_.begin(), documents_.end(), [&](const auto& d) { return d.get() == &document; });
    if (it == documents_.end())
        return;
    const std::shared_ptr<Document> keep = *it; // alive for the observer
    documents_.erase(it);
    keep->closed_ = true;
    keep->app_ = nullptr;
    if (active_ == &document)
        active_ = documents_.empty() ? nullptr : documents_.back().get();
    if (g_host)
        g_host->documentClosed(document);
}

void Application::setVisible(bool visible)
{
    if (visible == visible_)
        return;
    visible_ = visible;
    if (visible)
        g_foreground = weak_from_this();
    if (!g_host)
        return;
    // Copy: an observer may close documents while being told.
    const auto docs = documents_;
    for (const auto& doc : docs) {
        if (visible)
            g_host->documentShown(*doc);
        else
            g_host->documentHidden(*doc);
    }
}

void Application::activate()
{
    if (visible_)
        g_foreground = weak_from_this();
    if (visible_ && active_ && g_host)
        g_host->documentActivated(*active_);
}

void Application::screenRefresh()
{
    ++refreshes_;
    if (visible_ && active_ && g_host)
        g_host->screenRefreshed(*active_);
}

void Application::quit()
{
    if (quit_)
        return;
    while (!documents_.empty())
        closeDocument(*documents_.back());
    quit_ = true;
    visible_ = false;
    std::erase_if(Registry(), [this](const auto& a) { return a.get() == this; });
}

void Application::notifySelection(Document& document)
{
    if (visible_ && g_host)
        g_host->selectionChanged(document);
}

void Application::pressKey(const KeyStroke& key)
{
    keyboard_.press(key, active_ && !active_->isClosed() ? active_ : nullptr);
}

} // namespace brevix::engine
