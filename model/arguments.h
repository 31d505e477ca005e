#pragma once
// File names as the command line gives them. Every path taken from argv
// goes through here, so how raw bytes become a path is decided in one place.

#include <QFile>
#include <QString>

namespace brevix {

// The file name an argument names, decoded as the file system encodes names.
inline QString PathFromArgument(const char* argument) { return QFile::decodeName(argument); }

} // namespace brevix
