// File names on Windows are UTF-16 and go to the system as they are; the byte
// names POSIX needs have no part here. Where a name comes as bytes (the
// command line, made UTF-8 at start), the bytes are UTF-8.
#include "filename.h"

namespace brevix {

QString FileNameFromBytes(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

QByteArray FileNameToBytes(const QString& name) { return name.toUtf8(); }

QString DisplayFileName(const QString& name) { return name; }

// Qt's dialogs hand over the UTF-16 name itself: nothing was lost.
QString ResolveLostFileName(const QString& path) { return path; }

} // namespace brevix
