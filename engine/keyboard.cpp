#include "engine/keyboard.h"

#include "engine/document.h"

namespace brevix::engine {

namespace {

bool IsLetter(const KeyStroke& key, char16_t lower)
{
    return key.key == KeyStroke::Key::Character && key.character.toLower() == QChar(lower);
}

} // namespace

// The window's keyboard: the Format menu's Font dialog (Alt+O, F) and the
// Insert menu's page-number dialog (Alt+I, U), as far as their access keys
// go. A menu closes on any key it has no entry for; a dialog ignores keys it
// has no use for.
void Keyboard::press(const KeyStroke& key, Document* active)
{
    using Mode = KeyboardState::Mode;
    using Field = KeyboardState::Field;
    KeyboardState& k = state_;
    const bool enter = key.key == KeyStroke::Key::Enter;

    switch (k.mode) {
    case Mode::Idle:
        if (key.alt && IsLetter(key, u'o'))
            k.mode = Mode::FormatMenu;
        else if (key.alt && IsLetter(key, u'i'))
            k.mode = Mode::InsertMenu;
        return;

    case Mode::FormatMenu:
        if (!key.alt && IsLetter(key, u'f')) {
            k = KeyboardState{};
            k.mode = Mode::FontDialog;
            if (active) {
                const Selection s = active->selection();
                k.latinFont = active->charFormatAt(s.start).latinFont;
            }
        } else {
            k = KeyboardState{};
        }
        return;

    case Mode::InsertMenu:
        if (!key.alt && IsLetter(key, u'u')) {
            k = KeyboardState{};
            k.mode = Mode::PageNumberDialog;
            if (active && active->pageNumbers().on)
                k.pageNumberAlignment = active->pageNumbers().alignment;
        } else {
            k = KeyboardState{};
        }
        return;

    case Mode::FontDialog:
        if (key.alt && IsLetter(key, u'o')) {
            k.field = Field::LatinFont;
            k.fieldSelected = true; // focusing a box selects its text
            k.fieldEdited = false;
        } else if (!key.alt && key.key == KeyStroke::Key::Character && k.field == Field::LatinFont) {
            if (k.fieldSelected)
                k.latinFont.clear();
            k.latinFont.append(key.character);
            k.fieldSelected = false;
            k.fieldEdited = true;
            k.latinFontTyped = true;
        } else if (enter && k.fieldEdited) {
            // Takes the typed name as the box's choice.
            k.latinFont = CanonicalFontName(k.latinFont.trimmed());
            k.fieldEdited = false;
            k.fieldSelected = true;
        } else if (enter) {
            confirm(active);
        }
        return;

    case Mode::PageNumberDialog:
        if (key.alt && IsLetter(key, u'a')) {
            k.field = Field::Alignment;
            k.fieldEdited = false;
        } else if (key.key == KeyStroke::Key::Up && !key.alt && k.field == Field::Alignment) {
            // The list reads left, centre, right; Up moves one entry towards its top.
            if (k.pageNumberAlignment == Alignment::Right)
                k.pageNumberAlignment = Alignment::Center;
            else if (k.pageNumberAlignment == Alignment::Center)
                k.pageNumberAlignment = Alignment::Left;
            k.fieldEdited = true;
        } else if (enter && k.fieldEdited) {
            k.fieldEdited = false;
        } else if (enter) {
            confirm(active);
        }
        return;
    }
}

void Keyboard::confirm(Document* active)
{
    const KeyboardState k = state_;
    state_ = KeyboardState{};
    if (!active)
        return;
    Document& doc = *active;
    if (k.mode == KeyboardState::Mode::FontDialog) {
        const QString name = CanonicalFontName(k.latinFont.trimmed());
        if (!k.latinFontTyped || name.isEmpty())
            return;
        const Selection s = doc.selection();
        Range(doc.shared_from_this(), s.start, s.end).setLatinFontName(name);
    } else if (k.mode == KeyboardState::Mode::PageNumberDialog) {
        doc.setPageNumbers(PageNumbers{true, k.pageNumberAlignment});
    }
}

} // namespace brevix::engine
