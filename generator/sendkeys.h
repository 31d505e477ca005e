#pragma once
// The key-string notation of the keystroke phase, and a key sender for a real
// desktop that only ever types into the word processor's own window.

#include "engine/keys.h"
#include "generator/automation.h"

#include <QString>
#include <QVector>

namespace brevix {

// "%" = the next key with Alt held down; "{ENTER}" and "{UP}" (names in any
// case); "{c}" for a single character c types c (so "%" and "{" can be typed);
// every other character is typed as it is. Throws RuntimeError 5 for a string
// it cannot read (unknown or unclosed brace name, "%" with no key after it).
QVector<engine::KeyStroke> ParseSendKeys(const QString& keys);

// Puts key strokes into the desktop's input queue (addressed to whichever
// window has the input focus).
class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    // With wait, returns once the receiving window has processed the keys.
    virtual void Inject(const QVector<engine::KeyStroke>& strokes, bool wait) = 0;
};

// Tells whether the window that has the input focus now belongs to the word
// processor.
class FocusProbe {
public:
    virtual ~FocusProbe() = default;
    virtual bool FocusIsWordProcessor() = 0;
};

// Sends keys on a real desktop. Before each key string it asks the probe
// where the focus is; once the focus is found outside the word processor the
// keystroke phase is over: that string and every later one of the phase are
// dropped without error, so no keys land in another program.
class DesktopKeySender : public word::KeySender {
public:
    DesktopKeySender(KeyInjector& injector, FocusProbe& probe);

    void BeginPhase() override;
    void SendKeys(const QString& keys, bool wait) override;

    // True once the phase was ended because the focus left the word processor.
    bool PhaseEnded() const { return ended_; }

private:
    KeyInjector& injector_;
    FocusProbe& probe_;
    bool ended_ = false;
};

} // namespace brevix
