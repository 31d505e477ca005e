#pragma once
// The document as PDF, through the same page layout the window shows.
// Needs QtGui only (a QGuiApplication), so the headless command can use it.

#include "engine/document.h"

#include <QIODevice>
#include <QString>

namespace brevix::docwindow {

class PageLayout;

// Writes every page of an up-to-date layout to device (open for writing).
// Throws brevix::RuntimeError (设备 I/O 错误) when the device fails.
void WritePdf(const PageLayout& layout, const QString& title, QIODevice& device);

// Writes an up-to-date layout to path through a temporary file that replaces
// the old one only when complete. Throws brevix::RuntimeError.
void SavePdf(const PageLayout& layout, const QString& title, const QString& path);

// Lays the document out and writes it to device.
void ExportPdf(const engine::Document& document, QIODevice& device);

// Writes to path through a temporary file that replaces the old one only
// when complete. The document stays unsaved: a PDF cannot be opened again.
// Throws brevix::RuntimeError (权限被拒绝, 路径未找到, 设备 I/O 错误).
void ExportPdf(const engine::Document& document, const QString& path);

} // namespace brevix::docwindow
