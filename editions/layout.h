#pragma once
// Where the controls of the two composer windows stand in each edition: every
// control's rectangle in twips, listed in tab order. The windows create their
// controls by name and place them from these tables, so the window code holds
// nothing per edition.

#include "editions/edition.h"

#include <QString>
#include <QVector>

namespace brevix {

struct ControlPlace {
    QString name; // object name
    // Twips, relative to the window's client area, or to the frame for the
    // category options.
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct WindowLayout {
    QVector<ControlPlace> controls; // every control of the window, in tab order

    const ControlPlace* find(const QString& name) const;
};

struct EditionLayout {
    WindowLayout form1; // the main window
    WindowLayout form2; // the edit dialog
};

const EditionLayout& Brevix2003Layout();
const EditionLayout& BrevixLayout();

// The layout belonging to an edition (by its program name). Throws
// std::invalid_argument for an edition without one.
const EditionLayout& LayoutOf(const Edition& edition);

} // namespace brevix
