#pragma once
// The keyboard interface of a document window: the menus and the two dialogs
// a key string can reach, applied to the document in front. What the dialogs
// read and change goes through KeyboardTarget, so a backend can carry the
// keys' effect into another word processor's document.

#include "engine/format.h"
#include "engine/keys.h"

#include <QString>

namespace brevix::engine {

class Document;

// Where the keyboard interface is: a menu or dialog open, and which field.
struct KeyboardState {
    enum class Mode { Idle, FormatMenu, InsertMenu, FontDialog, PageNumberDialog };
    enum class Field { None, LatinFont, Alignment };
    Mode mode = Mode::Idle;
    Field field = Field::None;
    bool fieldEdited = false;   // the focused field's value was changed and not yet confirmed
    bool fieldSelected = false; // the field's text is selected: typing replaces it
    QString latinFont;          // the font dialog's Latin-font field
    bool latinFontTyped = false; // only a field the user changed is applied
    Alignment pageNumberAlignment = Alignment::Right;
};

// What the two dialogs read from and set in the document they act on.
class KeyboardTarget {
public:
    virtual ~KeyboardTarget() = default;
    virtual QString selectionLatinFont() = 0; // the font dialog opens with it
    virtual PageNumbers pageNumbers() = 0;
    virtual void setSelectionLatinFont(const QString& name) = 0;
    virtual void setPageNumbers(const PageNumbers& numbers) = 0;
};

class Keyboard {
public:
    // What the window does with a key press; active is the document the
    // window shows (nullptr: none, and a confirmed dialog changes nothing).
    // Keys it does not understand change nothing.
    void press(const KeyStroke& key, Document* active);
    void press(const KeyStroke& key, KeyboardTarget* target);
    const KeyboardState& state() const { return state_; }

private:
    void confirm(KeyboardTarget* target);
    KeyboardState state_;
};

} // namespace brevix::engine
