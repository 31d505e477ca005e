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

bool IsLetter(const KeyStroke& key, char16_t lower)
{
    return key.key == KeyStroke::Key::Character && key.character.toLower() == QChar(lower);
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

// The window's keyboard: the Format menu's Font dialog (Alt+O, F) and the
// Insert menu's page-number dialog (Alt+I, U), as far as their access keys
// go. A menu closes on any key it has no entry for; a dialog ignores keys it
// has no use for.
void Application::pressKey(const KeyStroke& key)
{
    using Mode = KeyboardState::Mode;
    using Field = KeyboardState::Field;
    KeyboardState& k = keyboard_;
    const bool enter = key.key == KeyStroke::Key::Enter;

    switch (k.mode) {
    case Mode::Idle:
        if (key.alt && IsLetter(key, u'o'))
            k.mode = Mode::FormatMenu;
        else if (key.alt && IsLetter(key, u'i'))
            k.mode = Mode::InsertMenu;
        return;

    case Mode::FormatMenu:
        if (!key.alt && IsLetter(key, u'f')) {
            k = KeyboardState{};
            k.mode = Mode::FontDialog;
            if (active_) {
                const Selection s = active_->selection();
                k.latinFont = active_->charFormatAt(s.start).latinFont;
            }
        } else {
            k = KeyboardState{};
        }
        return;

    case Mode::InsertMenu:
        if (!key.alt && IsLetter(key, u'u')) {
            k = KeyboardState{};
            k.mode = Mode::PageNumberDialog;
            if (active_ && active_->pageNumbers().on)
                k.pageNumberAlignment = active_->pageNumbers().alignment;
        } else {
            k = KeyboardState{};
        }
        return;

    case Mode::FontDialog:
        if (key.alt && IsLetter(key, u'o')) {
            k.field = Field::LatinFont;
            k.fieldSelected = true; // focusing a box selects its text
            k.fieldEdited = false;
        } else if (!key.alt && key.key == KeyStroke::Key::Character && k.field == Field::LatinFont) {
            if (k.fieldSelected)
                k.latinFont.clear();
            k.latinFont.append(key.character);
            k.fieldSelected = false;
            k.fieldEdited = true;
            k.latinFontTyped = true;
        } else if (enter && k.fieldEdited) {
            // Takes the typed name as the box's choice.
            k.latinFont = CanonicalFontName(k.latinFont.trimmed());
            k.fieldEdited = false;
            k.fieldSelected = true;
        } else if (enter) {
            confirmDialog();
        }
        return;

    case Mode::PageNumberDialog:
        if (key.alt && IsLetter(key, u'a')) {
            k.field = Field::Alignment;
            k.fieldEdited = false;
        } else if (key.key == KeyStroke::Key::Up && !key.alt && k.field == Field::Alignment) {
            // The list reads left, centre, right; Up moves one entry towards its top.
            if (k.pageNumberAlignment == Alignment::Right)
                k.pageNumberAlignment = Alignment::Center;
            else if (k.pageNumberAlignment == Alignment::Center)
                k.pageNumberAlignment = Alignment::Left;
            k.fieldEdited = true;
        } else if (enter && k.fieldEdited) {
            k.fieldEdited = false;
        } else if (enter) {
            confirmDialog();
        }
        return;
    }
}

void Application::confirmDialog()
{
    const KeyboardState k = keyboard_;
    keyboard_ = KeyboardState{};
    if (!active_ || active_->isClosed())
        return;
    Document& doc = *active_;
    if (k.mode == KeyboardState::Mode::FontDialog) {
        const QString name = CanonicalFontName(k.latinFont.trimmed());
        if (!k.latinFontTyped || name.isEmpty())
            return;
        const Selection s = doc.selection();
        Range(doc.shared_from_this(), s.start, s.end).setLatinFontName(name);
    } else if (k.mode == KeyboardState::Mode::PageNumberDialog) {
        doc.setPageNumbers(PageNumbers{true, k.pageNumberAlignment});
    }
}

} // namespace brevix::engine
