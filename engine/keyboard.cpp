#include "engine/keyboard.h"

#include "engine/document.h"

namespace brevix::engine {

namespace {

bool IsLetter(const KeyStroke& key, char16_t lower)
{
    return key.key == KeyStroke::Key::Character && key.character.toLower() == QChar(lower);
}

// An engine document: its selection and its page numbers.
class DocumentTarget : public KeyboardTarget {
public:
    explicit DocumentTarget(Document& doc) : doc_(doc) {}
    QString selectionLatinFont() override { return doc_.charFormatAt(doc_.selection().start).latinFont; }
    PageNumbers pageNumbers() override { return doc_.pageNumbers(); }
    void setSelectionLatinFont(const QString& name) override
    {
        const Selection s = doc_.selection();
        Range(doc_.shared_from_this(), s.start, s.end).setLatinFontName(name);
    }
    void setPageNumbers(const PageNumbers& numbers) override { doc_.setPageNumbers(numbers); }

private:
    Document& doc_;
};

} // namespace

void Keyboard::press(const KeyStroke& key, Document* active)
{
    if (!active) {
        press(key, static_cast<KeyboardTarget*>(nullptr));
        return;
    }
    DocumentTarget target(*active);
    press(key, &target);
}

// The window's keyboard: the Format menu's Font dialog (Alt+O, F) and the
// Insert menu's page-number dialog (Alt+I, U), as far as their access keys
// go. A menu closes on any key it has no entry for; a dialog ignores keys it
// has no use for.
void Keyboard::press(const KeyStroke& key, KeyboardTarget* active)
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
            if (active)
                k.latinFont = active->selectionLatinFont();
        } else {
            k = KeyboardState{};
        }
        return;

    case Mode::InsertMenu:
        if (!key.alt && IsLetter(key, u'u')) {
            k = KeyboardState{};
            k.mode = Mode::PageNumberDialog;
            if (active) {
                if (const PageNumbers numbers = active->pageNumbers(); numbers.on)
                    k.pageNumberAlignment = numbers.alignment;
            }
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

void Keyboard::confirm(KeyboardTarget* active)
{
    const KeyboardState k = state_;
    state_ = KeyboardState{};
    if (!active)
        return;
    if (k.mode == KeyboardState::Mode::FontDialog) {
        const QString name = CanonicalFontName(k.latinFont.trimmed());
        if (!k.latinFontTyped || name.isEmpty())
            return;
        active->setSelectionLatinFont(name);
    } else if (k.mode == KeyboardState::Mode::PageNumberDialog) {
        active->setPageNumbers(PageNumbers{true, k.pageNumberAlignment});
    }
}

} // namespace brevix::engine
