#pragma once
// LibreOffice Writer behind the automation interface, driven live over UNO.
//
// Every call is carried out on a document of the built-in engine kept beside
// Writer's (the shadow): it decides positions, what inserted text takes over
// and which values are refused, exactly as the built-in word processor does.
// Whenever Writer is to show the document (a screen refresh with its window
// up, the hand-over, an export), the shadow's paragraphs from the first that
// changed go over in one transfer, the engine's own DOCX of them imported by
// Writer, so Writer holds the same paragraphs, texts and formats. A transfer
// costs a few dozen UNO calls and Writer's import, whatever the calls it
// carries. The shadow also reads the keystroke phase's key strings; no key is
// ever sent to the desktop.
//
// The office is attached to when one runs, started otherwise, and left
// running with the document open: the document belongs to the editor.

#include "generator/automation.h"
#include "libreoffice/office.h"

#include <QByteArray>
#include <chrono>
#include <memory>

namespace brevix::engine {
class Document;
}

namespace brevix::libreoffice {

// Groups of UNO calls made for automation calls, and the time spent in them.
struct UnoCallStats {
    long groups = 0;
    double seconds = 0;
    struct Timer {
        explicit Timer(UnoCallStats& s) : stats(s), start(std::chrono::steady_clock::now()) {}
        ~Timer()
        {
            ++stats.groups;
            stats.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        UnoCallStats& stats;
        std::chrono::steady_clock::time_point start;
    };
};

class WriterBackend : public word::Backend {
public:
    explicit WriterBackend(OfficeOptions options = {});
    ~WriterBackend() override;

    // The office running now (429 when there is none).
    word::ApplicationRef GetObject(const QString& className) override;
    // The running office, or one started for us (429 when none can be had).
    word::ApplicationRef CreateObject(const QString& className) override;
    word::GlobalRef CreateGlobal() override;
    // Key strings go to the document last activated through this backend.
    word::KeySender& Keys() override;

    // The last document added through this backend, in Writer's own file
    // format filters: "docx" or "pdf". Throws RuntimeError.
    QByteArray ExportLastDocument(const QString& format);
    // Closes the last document, unsaved.
    void CloseLastDocument();

    // For tests and the benchmark.
    std::shared_ptr<Office> office() const;
    css::uno::Reference<css::text::XTextDocument> lastDocument() const;
    std::shared_ptr<engine::Document> lastShadow() const;
    const UnoCallStats& unoCalls() const; // the office's share of the work so far
    // The least time between two showings of a document at refreshes (0.2 s;
    // 0: at every refresh), and the characters one import may carry (100 000).
    void SetTransfers(std::chrono::milliseconds showingInterval, int stretchCharacters);

    struct State;

private:
    word::ApplicationRef Make(std::shared_ptr<Office> office);
    std::shared_ptr<State> state_;
    std::unique_ptr<word::KeySender> keys_;
};

} // namespace brevix::libreoffice
