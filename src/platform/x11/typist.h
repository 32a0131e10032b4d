#pragma once

#include <X11/Xlib.h>

#include <functional>
#include <optional>
#include <vector>

#include "platform/keyboard.h"
#include "platform/x11/focus.h"
#include "platform/x11/keyboard_map.h"

namespace snaplark::platform::x11 {

// Types the copy and paste chords through XTEST so that the focused client sees exactly the
// chord's modifiers: the other modifiers the user holds are let go for the chord and given back
// only if still held, a held Control is kept rather than pressed twice, and Caps Lock is taken off
// and put back. What a chord needs to know (focus, keys down, the XKB group and locks) is asked in
// one batch and waited for once.
class Typist {
public:
    // `xinputOpcode` is 0 when the server has no XInput 2.2: let-gos during a chord then go unseen.
    Typist(Display* control, const KeyboardMap& map, bool hasXkb, int xinputOpcode);

    // The key-down of the agent's virtual key with its flag word: the chord's modifiers and key.
    void keyDown(VirtualKeyCode key, ModifierFlags flags);
    // Its key-up: lets go of what the key-down pressed and gives back what it let go.
    void keyUp(VirtualKeyCode key);
    // Handles the events that reached the connection; the main loop calls it whenever the
    // connection is readable, so that nothing piles up there.
    void takeEvents();
    // The application owning the window with the keyboard focus (a round trip, unless the focus is
    // a window seen before).
    ActiveApplication activeApplication();
    // For tests: runs between the key-up's look at what the user let go and the give-back, the
    // moment a let-go would otherwise slip through.
    void setBeforeGiveBack(std::function<void()> hook) { beforeGiveBack_ = std::move(hook); }

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

    // The answers to a chord's looks.
    struct Looks {
        Window focus = None;
        KeySet down;
        int group = 0;
        bool capsLockLocked = false;
    };

    KeyCode keycodeOf(ChordKey key, int group) const;
    void fake(KeyCode key, bool press);
    Looks look();
    void handleQueued();
    void handle(XEvent& event);
    void watchRawKeys(bool watch);
    void endChord();
    std::vector<RawKey> takeRawKeys();

    Display* d_;
    const KeyboardMap& map_;
    bool hasXkb_;
    int xinputOpcode_;
    bool watching_ = false;
    unsigned rawKeysSince_ = 0;  // sequence number of the chord's look at the keyboard
    std::vector<RawKey> rawKeys_;
    TerminalKinds kinds_;
    int lastGroup_ = 0;
    std::optional<PendingChord> pending_;
    std::function<void()> beforeGiveBack_;
};

}  // namespace snaplark::platform::x11
