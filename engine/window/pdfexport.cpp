#include "engine/window/pdfexport.h"

#include "engine/window/fonts.h"
#include "engine/window/pagelayout.h"
#include "model/errors.h"
#include "model/savefile.h"

#include <QPageLayout>
#include <QPageSize>
#include <QFileDevice>
#include <QPainter>
#include <QPdfWriter>

namespace brevix::docwindow {

void WritePdf(const PageLayout& layout, const QString& title, QIODevice& device)
{
    // The PDF writer ignores failing writes; catch what can be seen.
    if (!device.isOpen() || !device.isWritable())
        throw RuntimeError::DeviceIO();
    QPdfWriter writer(&device);
    writer.setCreator(QStringLiteral("Brevix"));
    writer.setTitle(title);
    writer.setResolution(1200);
    writer.setPageLayout(QPageLayout(QPageSize(layout.pageSize(), QPageSize::Point), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Point));
    QPainter painter;
    if (!painter.begin(&writer))
        throw RuntimeError::DeviceIO();
    const qreal scale = writer.resolution() / 72.0;
    for (int page = 0; page < layout.pageCount(); ++page) {
        if (page > 0 && !writer.newPage())
            throw RuntimeError::DeviceIO();
        painter.save();
        painter.scale(scale, scale);
        layout.paintPage(painter, page);
        painter.restore();
    }
    if (!painter.end())
        throw RuntimeError::DeviceIO();
    if (auto* file = qobject_cast<QFileDevice*>(&device); file && file->error() != QFileDevice::NoError)
        throw RuntimeError::DeviceIO();
}

void ExportPdf(const engine::Document& document, QIODevice& device)
{
    InstallFontSubstitutions();
    PageLayout layout(document);
    layout.update();
    WritePdf(layout, document.name(), device);
}

void SavePdf(const PageLayout& layout, const QString& title, const QString& path)
{
    SaveFile(path, [&](QIODevice& device) { WritePdf(layout, title, device); });
}

void ExportPdf(const engine::Document& document, const QString& path)
{
    SaveFile(path, [&](QIODevice& device) { ExportPdf(document, device); });
}

} // namespace brevix::docwindow
