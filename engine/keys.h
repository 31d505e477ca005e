#pragma once
// One key press as the engine's window receives it, and the key-string
// notation of the keystroke phase that stands for a row of them.

#include <QChar>
#include <QString>
#include <QVector>

namespace brevix::engine {

struct KeyStroke {
    enum class Key { Character, Enter, Up };
    Key key = Key::Character;
    QChar character; // for Key::Character: the key typed, as written (letters in any case)
    bool alt = false; // pressed with Alt held down
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

// "%" = the next key with Alt held down; "{ENTER}" and "{UP}" (names in any
// case); "{c}" for a single character c types c (so "%" and "{" can be typed);
// every other character is typed as it is. Throws RuntimeError 5 for a string
// it cannot read (unknown or unclosed brace name, "%" with no key after it).
QVector<KeyStroke> ParseSendKeys(const QString& keys);

} // namespace brevix::engine
