#pragma once
// Shows the engine's documents in document windows: the engine's view host.
// Without it installed the engine runs headless.

#include "model/dialogs.h"

#include <QList>

namespace brevix::engine {
class Document;
}

namespace brevix::docwindow {

class DocumentWindow;

// Installs the document windows as the engine's view host: a document gets
// its window when its application becomes visible. Message boxes and file
// dialogs of the windows go through dialogs, which must outlive them.
// Call once at start-up, after InstallFontSubstitutions().
void InstallDocumentWindows(Dialogs& dialogs);
// Removes the view host and closes every window without asking.
void UninstallDocumentWindows();

// The window showing a document, or nullptr.
DocumentWindow* WindowOf(const engine::Document& document);
QList<DocumentWindow*> DocumentWindows();

// Closes every document window, each asking about its unsaved document;
// false when the user cancelled one (that window and the ones after it stay).
bool CloseDocumentWindows();

} // namespace brevix::docwindow
