#include "engine/window/docwindow.h"

#include "engine/application.h"
#include "engine/docx.h"
#include "engine/window/pdfexport.h"
#include "model/errors.h"
#include "model/filename.h"
#include "model/issuefile.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QWheelEvent>
#include <algorithm>

namespace brevix::docwindow {

namespace {

constexpr int Gap = 16; // pixels between pages and around them

std::function<qint64()>& Clock()
{
    static std::function<qint64()> clock;
    return clock;
}

qint64 Now()
{
    if (Clock())
        return Clock()();
    static const QElapsedTimer steady = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return steady.elapsed();
}

} // namespace

// ---------------------------------------------------------------- PageView

PageView::PageView(std::shared_ptr<engine::Document> document, QWidget* parent)
    : QAbstractScrollArea(parent), doc_(std::move(document)), layout_(*doc_)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

qreal PageView::pixelsPerPoint() const
{
    return zoom_ * logicalDpiY() / 72.0;
}

int PageView::pageStride() const
{
    return qRound(layout_.pageSize().height() * pixelsPerPoint()) + Gap;
}

QRect PageView::pageRect(int page) const
{
    const QSize size = (layout_.pageSize() * pixelsPerPoint()).toSize();
    const int contentWidth = size.width() + 2 * Gap;
    const int x = viewport()->width() > contentWidth ? (viewport()->width() - size.width()) / 2
                                                     : Gap - horizontalScrollBar()->value();
    const int y = Gap + page * pageStride() - verticalScrollBar()->value();
    return QRect(QPoint(x, y), size);
}

void PageView::updateScrollBars()
{
    const QSize size = (layout_.pageSize() * pixelsPerPoint()).toSize();
    const int height = Gap + layout_.pageCount() * pageStride();
    verticalScrollBar()->setRange(0, std::max(0, height - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, size.width() + 2 * Gap - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void PageView::refreshNow()
{
    const int pages = layout_.pageCount();
    layout_.update();
    updateScrollBars();
    if (pendingPosition_ >= 0) {
        const int position = pendingPosition_;
        pendingPosition_ = -1;
        showPosition(position);
    }
    if (isVisible())
        viewport()->repaint();
    else
        viewport()->update();
    if (pages != layout_.pageCount())
        emit pagesChanged();
}

void PageView::setZoom(qreal zoom)
{
    zoom = std::clamp(zoom, 0.25, 4.0);
    if (qFuzzyCompare(zoom, zoom_))
        return;
    // Keep the middle of the view on the same spot of the document.
    const qreal anchor = (verticalScrollBar()->value() + viewport()->height() / 2.0) / pixelsPerPoint();
    zoom_ = zoom;
    updateScrollBars();
    verticalScrollBar()->setValue(qRound(anchor * pixelsPerPoint() - viewport()->height() / 2.0));
    viewport()->update();
}

void PageView::showPosition(int position)
{
    if (layout_.revision() != doc_->revision()) {
        pendingPosition_ = position; // after the next layout
        return;
    }
    const int page = layout_.pageOfPosition(position);
    qreal top = layout_.textArea().top(), bottom = top;
    for (const LineBox& line : layout_.lines(page)) {
        if (position >= line.start && (position < line.end || line.start == line.end)) {
            top = line.rect.top();
            bottom = line.rect.bottom();
            break;
        }
    }
    const int y0 = Gap + page * pageStride() + qRound(top * pixelsPerPoint());
    const int y1 = Gap + page * pageStride() + qRound(bottom * pixelsPerPoint());
    const int view = verticalScrollBar()->value();
    if (y0 >= view && y1 <= view + viewport()->height())
        return; // already in view
    verticalScrollBar()->setValue(y0 - viewport()->height() / 3);
}

int PageView::currentPage() const
{
    if (layout_.pageCount() == 0)
        return 0;
    const int middle = verticalScrollBar()->value() + viewport()->height() / 2 - Gap;
    return std::clamp(middle / std::max(1, pageStride()), 0, layout_.pageCount() - 1);
}

void PageView::paintSelection(QPainter& painter, int page) const
{
    const engine::Selection sel = doc_->selection();
    if (sel.start >= sel.end)
        return;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 90, 200, 48));
    for (const LineBox& line : layout_.lines(page)) {
        if (line.end <= sel.start || line.start >= sel.end)
            continue;
        qreal left = line.rect.left(), right = line.rect.right();
        const QVector<Fragment> frags = layout_.fragments(line);
        if (!frags.isEmpty() && sel.start > line.start) {
            for (const Fragment& f : frags) {
                if (sel.start >= f.start && sel.start < f.end) {
                    left = f.x + f.width * (sel.start - f.start) / std::max(1, f.end - f.start);
                    break;
                }
                if (sel.start >= f.end)
                    left = f.x + f.width;
            }
        }
        if (!frags.isEmpty() && sel.end < line.end) {
            for (const Fragment& f : frags) {
                if (sel.end >= f.start && sel.end < f.end) {
                    right = f.x + f.width * (sel.end - f.start) / std::max(1, f.end - f.start);
                    break;
                }
            }
        }
        if (right <= left)
            right = left + 3; // a selected empty line still shows
        painter.drawRect(QRectF(left, line.rect.top(), right - left, line.rect.height()));
    }
}

void PageView::paintEvent(QPaintEvent* event)
{
    ++paints_;
    if (layout_.revision() != doc_->revision()) {
        layout_.update();
        updateScrollBars();
    }
    QPainter painter(viewport());
    painter.fillRect(event->rect(), QColor(0x80, 0x80, 0x80));
    if (layout_.pageCount() == 0)
        return;
    const qreal scale = pixelsPerPoint();
    const int first = std::max(0, (verticalScrollBar()->value() - Gap) / std::max(1, pageStride()));
    for (int page = first; page < layout_.pageCount(); ++page) {
        const QRect rect = pageRect(page);
        if (rect.top() > viewport()->height())
            break;
        if (!rect.intersects(event->rect()))
            continue;
        painter.fillRect(rect.translated(3, 3), QColor(0x50, 0x50, 0x50)); // shadow
        painter.save();
        painter.setClipRect(rect);
        painter.translate(rect.topLeft());
        painter.scale(scale, scale);
        layout_.paintPage(painter, page);
        paintSelection(painter, page);
        painter.restore();
    }
}

void PageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PageView::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PageView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        setZoom(zoom_ * (event->angleDelta().y() > 0 ? 1.1 : 1 / 1.1));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void PageView::keyPressEvent(QKeyEvent* event)
{
    // Keys reach the word processor's own keyboard interface (its menus and
    // dialogs); navigation keys scroll while no menu or dialog is open.
    engine::Application* app = doc_->application();
    if (!app) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const bool idle = app->keyboardState().mode == engine::KeyboardState::Mode::Idle;
    const bool alt = event->modifiers() & Qt::AltModifier;
    engine::KeyStroke stroke;
    stroke.alt = alt;
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        stroke.key = engine::KeyStroke::Key::Enter;
    } else if (key == Qt::Key_Up && !idle) {
        stroke.key = engine::KeyStroke::Key::Up;
    } else if (alt && ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))) {
        stroke.character = QChar(key).toLower();
    } else if (!event->text().isEmpty() && event->text().at(0).isPrint() && !(event->modifiers() & Qt::ControlModifier)) {
        for (QChar c : event->text()) {
            stroke.character = c;
            app->pressKey(stroke);
        }
        event->accept();
        emit keyboardUsed();
        return;
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    app->pressKey(stroke);
    event->accept();
    emit keyboardUsed();
}

// ---------------------------------------------------------- DocumentWindow

DocumentWindow::DocumentWindow(std::shared_ptr<engine::Document> document, Dialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), doc_(std::move(document)), dialogs_(dialogs)
{
    view_ = new PageView(doc_, this);
    setCentralWidget(view_);

    QMenu* file = menuBar()->addMenu(QStringLiteral("文件(&F)"));
    // These commands open a dialog (closing may ask to save): they run from
    // the event loop, so that a press through the accessibility layer returns
    // at once, as the composer's push buttons do, instead of when the dialog closes.
    const auto addCommand = [this, file](const QString& text, auto command) {
        QAction* action = file->addAction(text);
        connect(action, &QAction::triggered, this, command, Qt::QueuedConnection);
        return action;
    };
    QAction* save = addCommand(QStringLiteral("另存为 DOCX(&A)..."), [this] { saveAsDocx(); });
    save->setShortcut(QKeySequence::SaveAs);
    QAction* pdf = addCommand(QStringLiteral("导出 PDF(&E)..."), [this] { exportPdf(); });
    QAction* print = addCommand(QStringLiteral("打印(&P)..."), [this] { this->print(); });
    print->setShortcut(QKeySequence::Print);
    file->addSeparator();
    QAction* close = addCommand(QStringLiteral("关闭(&C)"), [this] { this->close(); });
    close->setShortcut(QKeySequence::Close);

    QMenu* viewMenu = menuBar()->addMenu(QStringLiteral("视图(&V)"));
    viewMenu->addAction(QStringLiteral("放大"), QKeySequence::ZoomIn, this, [this] { view_->setZoom(view_->zoom() * 1.25); });
    viewMenu->addAction(QStringLiteral("缩小"), QKeySequence::ZoomOut, this, [this] { view_->setZoom(view_->zoom() / 1.25); });
    viewMenu->addAction(QStringLiteral("实际大小"), QKeySequence(Qt::CTRL | Qt::Key_0), this, [this] { view_->setZoom(1.0); });

    QToolBar* tools = addToolBar(QStringLiteral("文件"));
    tools->setObjectName(QStringLiteral("fileToolBar"));
    tools->setMovable(false);
    tools->setToolButtonStyle(Qt::ToolButtonTextOnly);
    tools->addAction(save);
    tools->addAction(pdf);
    tools->addAction(print);
    tools->addSeparator();
    tools->addAction(close);

    pageLabel_ = new QLabel(this);
    keyboardLabel_ = new QLabel(this);
    statusBar()->addWidget(pageLabel_);
    statusBar()->addPermanentWidget(keyboardLabel_);

    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &DocumentWindow::repaintNow);
    // A word processor repaints by itself once changes stop coming (the
    // last steps of a generator are followed by no ScreenRefresh, keys
    // change the document); a cheap check now and then does the same.
    idleTimer_.setInterval(IdleInterval);
    connect(&idleTimer_, &QTimer::timeout, this, [this] {
        if (view_->layout().revision() != doc_->revision() && !refreshTimer_.isActive())
            repaintNow();
    });
    connect(view_, &PageView::pagesChanged, this, [this] {
        updateStatus();
        updateTitle();
    });
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { updateStatus(); });
    connect(view_, &PageView::keyboardUsed, this, [this] {
        updateStatus();
        requestRefresh();
    });

    QSize size(880, 1000);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize() * 0.9);
    resize(size);
    view_->setFocus();
    updateTitle();
    updateStatus();
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::setClock(std::function<qint64()> clock) { Clock() = std::move(clock); }

void DocumentWindow::requestRefresh()
{
    ++refreshRequests_;
    if (view_->layout().revision() == doc_->revision() && !followSelection_)
        return; // nothing visible changed
    const qint64 since = Now() - lastRepaint_;
    if (lastRepaint_ < 0 || since >= RefreshInterval) {
        // Repaint now: a generator that does not yield to the event loop
        // still shows its progress.
        repaintNow();
    } else if (!refreshTimer_.isActive()) {
        refreshTimer_.start(static_cast<int>(RefreshInterval - since));
    }
}

void DocumentWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    idleTimer_.start();
}

void DocumentWindow::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    idleTimer_.stop();
}

void DocumentWindow::followSelection()
{
    followSelection_ = true;
    if (!refreshTimer_.isActive())
        refreshTimer_.start(RefreshInterval);
}

void DocumentWindow::repaintNow()
{
    refreshTimer_.stop();
    ++refreshRepaints_;
    if (followSelection_) {
        followSelection_ = false;
        view_->showPosition(doc_->selection().start);
    }
    view_->refreshNow();
    lastRepaint_ = Now();
    updateStatus();
    updateTitle();
}

void DocumentWindow::updateTitle()
{
    const QString name = doc_->name().isEmpty() ? QStringLiteral("文档") : doc_->name();
    setWindowTitle(name + QStringLiteral("[*] - Brevix"));
    setWindowModified(doc_->isModified());
}

void DocumentWindow::updateStatus()
{
    const int pages = view_->layout().pageCount();
    pageLabel_->setText(QStringLiteral("第 %1 页，共 %2 页").arg(pages ? view_->currentPage() + 1 : 0).arg(pages));

    QString keyboard;
    if (const engine::Application* app = doc_->application()) {
        using Mode = engine::KeyboardState::Mode;
        const engine::KeyboardState& k = app->keyboardState();
        switch (k.mode) {
        case Mode::Idle:
            break;
        case Mode::FormatMenu:
            keyboard = QStringLiteral("格式菜单");
            break;
        case Mode::InsertMenu:
            keyboard = QStringLiteral("插入菜单");
            break;
        case Mode::FontDialog:
            keyboard = QStringLiteral("字体 — 西文字体：") + k.latinFont;
            break;
        case Mode::PageNumberDialog: {
            static const QString names[] = {QStringLiteral("左侧"), QStringLiteral("居中"), QStringLiteral("右侧"),
                                            QStringLiteral("两端")};
            keyboard = QStringLiteral("页码 — 对齐方式：") + names[static_cast<int>(k.pageNumberAlignment) & 3];
            break;
        }
        }
    }
    keyboardLabel_->setText(keyboard);
}

void DocumentWindow::reportError(const QString& description)
{
    dialogs_.message(QStringLiteral("发生错误！\r\n") + description, Buttons::Ok, Icon::None);
}

std::optional<QString> DocumentWindow::askPath(const QString& filter, const QString& suffix)
{
    QString initial = lastPath_;
    if (initial.isEmpty())
        initial = doc_->name() + suffix;
    else
        initial = QFileInfo(initial).path() + u'/' + QFileInfo(initial).completeBaseName() + suffix;
    std::optional<QString> path = dialogs_.saveFileName(filter, initial);
    if (!path || path->isEmpty())
        return std::nullopt;
    if (QFileInfo(*path).suffix().isEmpty())
        *path += suffix;
    // The file dialog leaves the overwrite question to us, as in the composer.
    if (!ConfirmOverwrite(*path, dialogs_))
        return std::nullopt;
    return path;
}

bool DocumentWindow::saveAsDocx()
{
    const std::optional<QString> path = askPath(QStringLiteral("Word 文档 (*.docx)"), QStringLiteral(".docx"));
    if (!path)
        return false;
    try {
        engine::SaveDocx(*doc_, *path);
    } catch (const RuntimeError& e) {
        reportError(e.description());
        return false;
    }
    lastPath_ = *path;
    doc_->setName(DisplayFileName(QFileInfo(*path).fileName()));
    updateTitle();
    return true;
}

bool DocumentWindow::exportPdf()
{
    const std::optional<QString> path = askPath(QStringLiteral("PDF 文件 (*.pdf)"), QStringLiteral(".pdf"));
    if (!path)
        return false;
    try {
        PageLayout& layout = view_->layout();
        layout.update();
        SavePdf(layout, doc_->name(), *path);
    } catch (const RuntimeError& e) {
        reportError(e.description());
        return false;
    }
    lastPath_ = *path;
    return true;
}

void DocumentWindow::printTo(QPrinter& printer) const
{
    const PageLayout& layout = view_->layout();
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(layout.pageSize(), QPageSize::Point), QPageLayout::Portrait,
                                      QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    if (!printer.docName().isEmpty() || !doc_->name().isEmpty())
        printer.setDocName(doc_->name());
    int from = 0, to = layout.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = std::max(0, printer.fromPage() - 1);
        to = std::min(to, printer.toPage() - 1);
    }
    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const qreal scale = printer.resolution() / 72.0;
    for (int page = from; page <= to; ++page) {
        if (page > from)
            printer.newPage();
        painter.save();
        painter.scale(scale, scale);
        layout.paintPage(painter, page);
        painter.restore();
    }
    painter.end();
}

void DocumentWindow::print()
{
    view_->layout().update();
    auto* printer = new QPrinter(QPrinter::HighResolution);
    auto* dialog = new QPrintDialog(printer, this);
    dialog->setWindowTitle(QStringLiteral("打印"));
    dialog->setMinMax(1, std::max(1, view_->layout().pageCount()));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // Window-modal and opened, not exec'd: the composer stays usable.
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QDialog::accepted, this, [this, printer] { printTo(*printer); });
    connect(dialog, &QObject::destroyed, this, [printer] { delete printer; });
    dialog->open();
}

void DocumentWindow::discard()
{
    discarded_ = true;
    close();
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (!discarded_ && !doc_->isClosed() && doc_->isModified()) {
        switch (dialogs_.message(QStringLiteral("文档尚未保存，是否保存？"), Buttons::YesNoCancel, Icon::None)) {
        case Answer::Yes:
            if (!saveAsDocx()) {
                event->ignore();
                return;
            }
            break;
        case Answer::No:
            break;
        default:
            event->ignore();
            return;
        }
    }
    event->accept();
    refreshTimer_.stop();
    idleTimer_.stop();
    const bool wasDiscarded = discarded_;
    discarded_ = true; // the engine's close notice below must not ask again
    if (!wasDiscarded && !doc_->isClosed()) {
        if (engine::Application* app = doc_->application())
            app->closeDocument(*doc_);
    }
    emit closed(this);
}

} // namespace brevix::docwindow
