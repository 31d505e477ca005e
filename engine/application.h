#pragma once
// The built-in word processor's application: its open documents, its window
// state (visible, active document) and the keyboard interface of its window
// (menus and two dialogs). A window library shows documents by installing a
// ViewHost; without one the engine runs headless.
//
// Applications live in a process-wide list, like instances registered with
// the system: running() finds one to attach to. An application leaves the
// list when it quits.

#include "engine/document.h"
#include "engine/keyboard.h"

#include <QString>
#include <memory>
#include <vector>

namespace brevix::engine {

class Application;

// What a document window needs to hear. Calls arrive on the thread that
// drives the engine, synchronously, inside the automation call.
class ViewHost {
public:
    virtual ~ViewHost() = default;
    // The application became visible with this document open, or a document
    // was added to a visible application: show its window.
    virtual void documentShown(Document& document) = 0;
    // Visible was switched off.
    virtual void documentHidden(Document& /*document*/) {}
    // Activate: bring this document's window to the front.
    virtual void documentActivated(Document& document) = 0;
    // ScreenRefresh: repaint if document.revision() moved since the last paint.
    virtual void screenRefreshed(Document& document) = 0;
    virtual void selectionChanged(Document& /*document*/) {}
    // The document left its application (closed or the application quit):
    // drop the window without asking.
    virtual void documentClosed(Document& /*document*/) {}
};

// The view host of this process (nullptr: headless). Not owned.
void SetViewHost(ViewHost* host);
ViewHost* CurrentViewHost();

class Application : public std::enable_shared_from_this<Application> {
public:
    // A new application, entered in the process-wide list.
    static std::shared_ptr<Application> create();
    // The first application in the list still running, or nullptr.
    static std::shared_ptr<Application> running();
    static std::vector<std::shared_ptr<Application>> all();
    // The application whose window was last brought to the front (made
    // visible or activated) and is still visible: where typed keys go.
    static std::shared_ptr<Application> foreground();

    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // A new blank document, which becomes the active one.
    std::shared_ptr<Document> addDocument();
    const std::vector<std::shared_ptr<Document>>& documents() const { return documents_; }
    Document* activeDocument() const { return active_; }
    void activateDocument(Document& document);
    // Closes without saving (the window asks first); ranges on it fail afterwards.
    void closeDocument(Document& document);

    bool isVisible() const { return visible_; }
    void setVisible(bool visible);
    void activate();
    void screenRefresh();
    // Closes every document and leaves the process-wide list.
    void quit();
    bool hasQuit() const { return quit_; }

    // The keyboard of the application's window: what the active document's
    // window does with a key press. Keys it does not understand change nothing.
    void pressKey(const KeyStroke& key);
    const KeyboardState& keyboardState() const { return keyboard_.state(); }

    // Counters for tests and for the window's refresh coalescing.
    int screenRefreshCount() const { return refreshes_; }

private:
    Application() = default;
    void notifySelection(Document& document);

    std::vector<std::shared_ptr<Document>> documents_;
    Document* active_ = nullptr;
    bool visible_ = false;
    bool quit_ = false;
    int refreshes_ = 0;
    int nextNumber_ = 1;
    Keyboard keyboard_;

    friend class Document;
};

} // namespace brevix::engine
