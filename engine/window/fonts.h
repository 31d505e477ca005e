#pragma once
// The faces documents name, mapped to the free faces installed here (and,
// last, to the faces Chinese Windows has).

#include <QString>
#include <QStringList>

namespace brevix::docwindow {

// Maps the document's face names ("隶书", "楷体_GB2312", "Times New Roman", ...)
// to the closest installed free faces through Qt's font substitution. The
// names in documents stay the original ones. Idempotent; call it once at
// start-up, before any text is laid out (also on the headless PDF path).
void InstallFontSubstitutions();

// The substitutes installed for one face name, most preferred first; empty
// for names that are not mapped.
QStringList FaceSubstitutes(const QString& family);

// Faces tried, in this order, for characters the chosen face lacks.
const QStringList& FallbackFaces();

} // namespace brevix::docwindow
