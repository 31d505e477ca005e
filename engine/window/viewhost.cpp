#include "engine/window/viewhost.h"

#include "engine/application.h"
#include "engine/window/docwindow.h"
#include "engine/window/fonts.h"

#include <QCoreApplication>
#include <QHash>
#include <QPointer>
#include <memory>

namespace brevix::docwindow {

namespace {

class WindowHost : public engine::ViewHost {
public:
    explicit WindowHost(Dialogs& dialogs) : dialogs_(dialogs) {}
    ~WindowHost() override
    {
        if (engine::CurrentViewHost() == this)
            engine::SetViewHost(nullptr);
        if (!QCoreApplication::instance())
            return; // the application took its windows with it
        const auto windows = windows_;
        for (const QPointer<DocumentWindow>& w : windows) {
            if (w) {
                w->discard();
                delete w.data();
            }
        }
    }

    DocumentWindow* find(const engine::Document& document) const
    {
        return windows_.value(&document).data();
    }
    QList<DocumentWindow*> all() const
    {
        QList<DocumentWindow*> out;
        for (const QPointer<DocumentWindow>& w : windows_) {
            if (w)
                out.append(w.data());
        }
        return out;
    }

    void documentShown(engine::Document& document) override
    {
        DocumentWindow* w = find(document);
        if (!w) {
            w = new DocumentWindow(document.shared_from_this(), dialogs_);
            windows_.insert(&document, w);
            QObject::connect(w, &DocumentWindow::closed, w, [this, key = &document](DocumentWindow* closed) {
                if (windows_.value(key) == closed)
                    windows_.remove(key);
                closed->deleteLater();
            });
        }
        w->show();
        w->requestRefresh();
    }
    void documentHidden(engine::Document& document) override
    {
        if (DocumentWindow* w = find(document))
            w->hide();
    }
    void documentActivated(engine::Document& document) override
    {
        if (DocumentWindow* w = find(document)) {
            if (w->isMinimized())
                w->showNormal();
            w->raise();
            w->activateWindow();
        }
    }
    void screenRefreshed(engine::Document& document) override
    {
        if (DocumentWindow* w = find(document))
            w->requestRefresh();
    }
    void selectionChanged(engine::Document& document) override
    {
        if (DocumentWindow* w = find(document))
            w->followSelection();
    }
    void documentClosed(engine::Document& document) override
    {
        if (DocumentWindow* w = find(document))
            w->discard();
    }

private:
    Dialogs& dialogs_;
    QHash<const engine::Document*, QPointer<DocumentWindow>> windows_;
};

std::unique_ptr<WindowHost>& Host()
{
    static std::unique_ptr<WindowHost> host;
    return host;
}

} // namespace

void InstallDocumentWindows(Dialogs& dialogs)
{
    InstallFontSubstitutions();
    UninstallDocumentWindows();
    Host() = std::make_unique<WindowHost>(dialogs);
    engine::SetViewHost(Host().get());
}

void UninstallDocumentWindows()
{
    if (engine::CurrentViewHost() == Host().get())
        engine::SetViewHost(nullptr);
    Host().reset();
}

DocumentWindow* WindowOf(const engine::Document& document)
{
    return Host() ? Host()->find(document) : nullptr;
}

QList<DocumentWindow*> DocumentWindows()
{
    return Host() ? Host()->all() : QList<DocumentWindow*>();
}

bool CloseDocumentWindows()
{
    for (DocumentWindow* w : DocumentWindows()) {
        if (!w->close())
            return false;
    }
    return true;
}

} // namespace brevix::docwindow
