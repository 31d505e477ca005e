#pragma once
// What the two windows build alike: the placing of controls from an edition's
// layout table, the fonts, and the entry fields both windows share by name.

#include "editions/layout.h"
#include "ui/bodytextedit.h"
#include "ui/categoryframe.h"

#include <QFont>
#include <QRect>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace brevix {

// Twips to pixels at 96 dpi; Qt's high-dpi scaling takes it from there.
int TwipsToPixels(int twips);
QRect PixelRect(const ControlPlace& place);

// The windows' own dialog font (9-point Song face, as the layout was drawn for).
QFont DialogFont();
// The edit dialog's fonts: its boxes and its labels.
QFont EditBoxFont();
QFont EditLabelFont();

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& caption);
QPushButton* MakeButton(QWidget* parent, const QString& name, const QString& caption);
QLineEdit* MakeLineEdit(QWidget* parent, const QString& name);

// Places every control of the table (labels take the size of their caption),
// chains the focusable ones in the table's order and gives every control its
// name as accessible description. Throws std::logic_error when the window
// lacks a control of the table.
void ApplyLayout(QWidget* window, const WindowLayout& layout);

// The fields of one article, alike in both windows: title, source, body and
// the category frame, with their labels Label1 to Label3.
struct EntryFields {
    QLineEdit* txtTitle = nullptr;
    QLineEdit* txtSource = nullptr;
    BodyTextEdit* rtxtWord = nullptr;
    CategoryFrame* famClass = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
};

EntryFields MakeEntryFields(QWidget* window, const Edition& edition);

// Copies title, source and body, then the category when one is selected in
// `from` (otherwise `to` keeps its own).
void CopyEntry(const EntryFields& from, const EntryFields& to);

// Empties the three texts and selects no category.
void ClearEntry(const EntryFields& fields);

} // namespace brevix
