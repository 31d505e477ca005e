#pragma once
// Saving a document as DOCX (WordprocessingML in a zip package).

#include "engine/document.h"

#include <QIODevice>
#include <QString>
#include <climits>

namespace brevix::engine {

// word/document.xml of the package, as bytes (for tests and measurements);
// of paragraphs [firstParagraph, endParagraph) only when given.
QByteArray DocumentXml(const Document& document, int firstParagraph = 0, int endParagraph = INT_MAX);

// Writes the package to device (open for writing): the whole document, or
// paragraphs [firstParagraph, endParagraph) of it. Throws brevix::RuntimeError
// (设备 I/O 错误) when the device fails.
void WriteDocx(const Document& document, QIODevice& device, int firstParagraph = 0, int endParagraph = INT_MAX);

// Writes the package to path through a temporary file that replaces the old
// one only when complete; marks the document saved. Throws brevix::RuntimeError.
void SaveDocx(Document& document, const QString& path);

} // namespace brevix::engine
