#pragma once
// The engine's document window: one per document, non-modal. It shows the
// document as pages while a generator typesets it, repainting on
// ScreenRefresh (coalesced), and offers saving as DOCX, exporting PDF,
// printing and closing (asking to save an unsaved document).

#include "engine/document.h"
#include "engine/window/pagelayout.h"
#include "model/dialogs.h"

#include <QAbstractScrollArea>
#include <QMainWindow>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QPrinter;

namespace brevix::docwindow {

// The pages of one document, stacked vertically on a grey desk.
class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PageView(std::shared_ptr<engine::Document> document, QWidget* parent = nullptr);

    PageLayout& layout() { return layout_; }
    const PageLayout& layout() const { return layout_; }

    // Lays out what changed and repaints the visible pages at once.
    void refreshNow();

    // 1.0 shows pages at their real size.
    qreal zoom() const { return zoom_; }
    void setZoom(qreal zoom);
    // Scrolls so that the line holding position is in view.
    void showPosition(int position);
    int currentPage() const; // the page at the middle of the view
    int paintCount() const { return paints_; }

signals:
    void pagesChanged();
    void keyboardUsed(); // a key went to the word processor's keyboard interface

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    qreal pixelsPerPoint() const;
    int pageStride() const; // page height plus the gap, pixels
    QRect pageRect(int page) const; // in viewport coordinates
    void updateScrollBars();
    void paintSelection(QPainter& painter, int page) const;

    std::shared_ptr<engine::Document> doc_;
    PageLayout layout_;
    qreal zoom_ = 1.0;
    int paints_ = 0;
    int pendingPosition_ = -1;
};

class DocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    DocumentWindow(std::shared_ptr<engine::Document> document, Dialogs& dialogs, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    engine::Document& document() const { return *doc_; }
    const std::shared_ptr<engine::Document>& documentRef() const { return doc_; }
    PageView* view() const { return view_; }

    // ScreenRefresh: repaints at most once per interval, however often it is
    // asked; a request while nothing changed costs nothing.
    void requestRefresh();
    // The selection moved: the view follows it at the next repaint.
    void followSelection();
    // Counters: refresh requests received, and repaints they caused.
    int refreshRequests() const { return refreshRequests_; }
    int refreshRepaints() const { return refreshRepaints_; }
    bool refreshPending() const { return refreshTimer_.isActive(); }

    // Commands. Each reports its own failure in an error box and returns
    // whether it was done.
    bool saveAsDocx();
    bool exportPdf();
    void print();
    // Prints every page to a printer set up by the caller.
    void printTo(QPrinter& printer) const;

    // Closes without asking: the engine dropped the document.
    void discard();

    // The milliseconds the refresh interval is measured in, on every window;
    // tests hand in a clock of their own, null puts back the steady one.
    static void setClock(std::function<qint64()> clock);

    static constexpr int RefreshInterval = 50; // ms between repaints while typesetting
    static constexpr int IdleInterval = 250;   // ms between checks for changes nobody announced

signals:
    void closed(DocumentWindow* window);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void repaintNow();
    void updateTitle();
    void updateStatus();
    void reportError(const QString& description);
    std::optional<QString> askPath(const QString& filter, const QString& suffix);

    std::shared_ptr<engine::Document> doc_;
    Dialogs& dialogs_;
    PageView* view_;
    QLabel* pageLabel_;
    QLabel* keyboardLabel_;
    QTimer refreshTimer_;
    QTimer idleTimer_;
    qint64 lastRepaint_ = -1; // by the clock; -1: never
    bool followSelection_ = false;
    bool discarded_ = false;
    int refreshRequests_ = 0;
    int refreshRepaints_ = 0;
    QString lastPath_;
};

} // namespace brevix::docwindow
