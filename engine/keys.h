#pragma once
// One key press as the engine's window receives it.

#include <QChar>

namespace brevix::engine {

struct KeyStroke {
    enum class Key { Character, Enter, Up };
    Key key = Key::Character;
    QChar character; // for Key::Character: the key typed, as written (letters in any case)
    bool alt = false; // pressed with Alt held down
    friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

} // namespace brevix::engine
