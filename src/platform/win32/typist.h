#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/keyboard.h"
#include "platform/win32/terminal_rule.h"

namespace snaplark::platform::win32 {

// A Windows virtual-key code; the left and right keys of a modifier pair have codes of their own.
using VirtualKey = std::uint8_t;

struct KeyStroke {
    VirtualKey key = 0;
    bool up = false;
    bool operator==(const KeyStroke&) const = default;
};

// What the typist needs of the desktop. Kept small so that the typing rules can be tested
// against a keyboard of the test's own.
class KeyboardDevice {
public:
    virtual ~KeyboardDevice() = default;
    // The key's logical state, as the next input event will find it.
    virtual bool isDown(VirtualKey key) const = 0;
    // The kind of the foreground window.
    virtual TerminalKind foregroundKind() const = 0;
    // The key that types the character in the foreground window's keyboard layout.
    virtual VirtualKey keyTyping(char character) const = 0;
    // Types the strokes, in order, as one uninterrupted run of input.
    virtual void type(const std::vector<KeyStroke>& strokes) = 0;
};

// Types the copy and paste chords so that the focused window sees exactly the chord's modifiers:
// the other modifiers the user holds are let go for the chord and given back afterwards, and a
// give-back the user has meanwhile let go of is let go again once it has come round through the
// keyboard hook (Windows does not drop a key-up of a key that is already up, so the order in which
// the system took the two decides whether the key ends up down).
class Typist {
public:
    explicit Typist(KeyboardDevice& device) : device_(device) {}

    // The key-down of the agent's virtual key with its flag word: the chord's modifiers and key.
    void keyDown(VirtualKeyCode key, ModifierFlags flags);
    // Its key-up: lets go of what the key-down pressed and gives back what it let go.
    void keyUp(VirtualKeyCode key);

    // A key event as the keyboard hook saw it; `ours` when this typist typed it. True when
    // settle() has keys to let go of again.
    bool keyObserved(VirtualKey key, bool up, bool ours);
    // Lets go of the keys given back that the user had let go of meanwhile.
    void settle();

    // The modifier keys the typist lets go of and gives back, left and right of each pair.
    static constexpr VirtualKey leftShift = 0xA0, rightShift = 0xA1, leftControl = 0xA2,
                                rightControl = 0xA3, leftAlt = 0xA4, rightAlt = 0xA5,
                                leftWin = 0x5B, rightWin = 0x5C;
    // An unassigned key, tapped before Alt or Win is let go so that the let-go opens neither the
    // window's menu bar nor the Start menu.
    static constexpr VirtualKey maskKey = 0xE8;
    static constexpr VirtualKey insertKey = 0x2D;

private:
    struct PendingChord {
        VirtualKey key = 0;
        std::vector<VirtualKey> pressed;   // modifiers this chord pressed, in order
        std::vector<VirtualKey> released;  // modifiers the user held that this chord let go
    };

    VirtualKey keyOf(ChordKey key) const;

    KeyboardDevice& device_;
    std::optional<PendingChord> pending_;
    std::optional<VirtualKeyCode> skipped_;  // the window takes no chord for this key
    std::bitset<256> awaitingReturn_;        // given back; the give-back has not come round yet
    std::bitset<256> letGoAgain_;
};

}  // namespace snaplark::platform::win32
