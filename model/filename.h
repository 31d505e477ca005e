#pragma once
// File names as the file system holds them: strings of bytes, usually but not
// always UTF-8. Qt decodes names as UTF-8 and loses every byte that is not;
// here such a byte b is kept as the lone surrogate U+DC00 + b, so any name
// survives the trip through a QString and back. Hand such names only to the
// functions of savefile.h, never to QFile.

#include <QByteArray>
#include <QString>

namespace brevix {

QString FileNameFromBytes(const QByteArray& bytes);
QByteArray FileNameToBytes(const QString& name);

// For showing a name to the editor: each kept byte as U+FFFD.
QString DisplayFileName(const QString& name);

// A path as Qt's dialogs and listings give it, with the bytes that were not
// UTF-8 already turned into U+FFFD: the existing path it stands for, found
// component by component. A path that exists as given, or whose lost
// component matches no entry or several, comes back unchanged.
// Costs one directory listing per component that holds U+FFFD.
QString ResolveLostFileName(const QString& path);

} // namespace brevix
