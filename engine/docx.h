#pragma once
// Saving a document as DOCX (WordprocessingML in a zip package).

#include "engine/document.h"

#include <QIODevice>
#include <QString>

namespace brevix::engine {

// word/document.xml of the package, as bytes (for tests and measurements).
QByteArray DocumentXml(const Document& document);

// Writes the whole package to device (open for writing). Throws
// brevix::RuntimeError (设备 I/O 错误) when the device fails.
void WriteDocx(const Document& document, QIODevice& device);

// Writes the package to path through a temporary file that replaces the old
// one only when complete; marks the document saved. Throws brevix::RuntimeError.
void SaveDocx(Document& document, const QString& path);

} // namespace brevix::engine
