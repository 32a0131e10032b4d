#pragma once

#include <array>
#include <cstddef>
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
    // The key's state as the system has it now; input still on its way may change it.
    virtual bool isDown(VirtualKey key) const = 0;
    // The kind of the foreground window.
    virtual TerminalKind foregroundKind() const = 0;
    // The key that types the character in the focused window's keyboard layout.
    virtual VirtualKey keyTyping(char character) const = 0;
    // Types the strokes, in order, as one uninterrupted run of input; returns how many of them
    // went in, from the first.
    virtual std::size_t type(const std::vector<KeyStroke>& strokes) = 0;
};

// Types the copy and paste chords so that the focused window sees exactly the chord: the whole
// chord, with its own modifiers pressed and let go, the user's other modifiers let go before it and
// given back after it, goes in one run that no other input can split. The keys the user holds are
// read from the system when the chord is made, which may not yet show a key the user has just let
// go or pressed; so each key the chord touches is watched until the chord's last event on it has
// come round through the keyboard hook, and a key event of the user's that came round before it
// decides how the key must end (Windows takes input in the hook's order).
class Typist {
public:
    explicit Typist(KeyboardDevice& device) : device_(device) {}

    // The key-down of the agent's virtual key with its flag word: makes the chord.
    void keyDown(VirtualKeyCode key, ModifierFlags flags);
    // Its key-up: types the chord.
    void keyUp(VirtualKeyCode key);

    // A key event as the keyboard hook saw it; `ours` when this typist typed it. True when
    // settle() has keys to set as the user left them.
    bool keyObserved(VirtualKey key, bool up, bool ours);
    // Sets the keys the user moved while a chord went through as the user left them.
    void settle();
    // The hooks were installed again: events typed before may never come round.
    void forgetWatches() { watches_ = {}; }

    // The modifier keys, left and right of each pair.
    static constexpr VirtualKey leftShift = 0xA0, rightShift = 0xA1, leftControl = 0xA2,
                                rightControl = 0xA3, leftAlt = 0xA4, rightAlt = 0xA5,
                                leftWin = 0x5B, rightWin = 0x5C;
    // An unassigned key, tapped before Alt or Win is let go so that the let-go opens neither the
    // window's menu bar nor the Start menu.
    static constexpr VirtualKey maskKey = 0xE8;
    static constexpr VirtualKey insertKey = 0x2D;

private:
    struct Watch {
        int oursToCome = 0;              // our events on the key not yet seen by the hook
        bool endsDown = false;           // how our last event leaves it
        std::optional<bool> userDown;    // the user's last event on it meanwhile
        std::optional<bool> correction;  // down or up, for settle()
    };

    VirtualKey keyOf(ChordKey key) const;
    // Types the strokes and watches each key they touch.
    void send(const std::vector<KeyStroke>& strokes);

    KeyboardDevice& device_;
    std::optional<std::pair<VirtualKeyCode, std::vector<KeyStroke>>> chord_;
    std::array<Watch, 256> watches_{};
};

}  // namespace snaplark::platform::win32
