#pragma once

#include <X11/Xlib.h>

#include <optional>
#include <vector>

#include "platform/keyboard.h"
#include "platform/x11/keyboard_map.h"
#include "platform/x11/terminal_rule.h"

namespace snaplark::platform::x11 {

// Types the copy and paste chords through XTEST so that the focused client sees exactly the
// chord's modifiers: the other modifiers the user holds are let go for the chord and given back
// only if still held, a held Control is kept rather than pressed twice, and Caps Lock is taken off
// and put back.
class Typist {
public:
    // `xinputOpcode` is 0 when the server has no XInput 2.2: let-gos during a chord then go unseen.
    Typist(Display* control, const KeyboardMap& map, bool hasXkb, int xinputOpcode)
        : d_(control), map_(map), hasXkb_(hasXkb), xinputOpcode_(xinputOpcode)
    {
    }

    // The key-down of the agent's virtual key with its flag word: the chord's modifiers and key.
    void keyDown(VirtualKeyCode key, ModifierFlags flags);
    // Its key-up: lets go of what the key-down pressed and gives back what it let go.
    void keyUp(VirtualKeyCode key);

private:
    // What a key-down changed, so that its key-up can undo exactly that.
    struct PendingChord {
        KeyCode key = 0;
        std::vector<KeyCode> pressed;   // modifiers this chord pressed, in order
        std::vector<KeyCode> released;  // modifiers the user held that this chord let go
        bool capsLockWasLocked = false;
    };
    struct RawKey {
        KeyCode key;
        bool press;
    };

    KeyCode keycodeOf(ChordKey key, int group) const;
    void fake(KeyCode key, bool press);
    KeySet keysDown();
    void watchRawKeys(bool watch);
    std::vector<RawKey> takeRawKeys();

    Display* d_;
    const KeyboardMap& map_;
    bool hasXkb_;
    int xinputOpcode_;
    unsigned long rawKeysSince_ = 0;  // serial of the chord's look at the keyboard
    int lastGroup_ = 0;
    std::optional<PendingChord> pending_;
};

}  // namespace snaplark::platform::x11
