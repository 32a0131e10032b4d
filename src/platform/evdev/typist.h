#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "platform/chord.h"

namespace snaplark::platform::evdev {

// Where the typist's key events go: the agent's own uinput keyboard, or a recorder in tests.
class KeySink {
public:
    virtual ~KeySink() = default;
    virtual void key(std::uint16_t code, bool down) = 0;
};

// The kernel key codes that type c and v in the compositor's keymap (the C and V positions
// unless a keymap says otherwise).
struct ChordKeys {
    std::uint16_t c;
    std::uint16_t v;
};

// Whether a chord can be typed now: the seat holds no modifier the chord does not hold itself.
bool readyToType(const Chord& chord, ModifierFlags seatFlags);
// Types a chord whole on the sink, `key` being the kernel key code for its c or v.
void typeChord(KeySink& sink, const Chord& chord, std::uint16_t key);

// Types the copy and paste chords on a keyboard of our own. A Wayland compositor merges every
// keyboard of the seat into one modifier state, so a Shift the user still holds would turn our
// Control+V into Control+Shift+V: a chord is typed once the user has let go of every modifier
// that is not the chord's, and given up when that takes longer than `patience`.
class Typist {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds patience{1000};

    Typist(KeySink& sink, ChordKeys keys) : sink_(sink), keys_(keys) {}

    void setKeys(ChordKeys keys) { keys_ = keys; }
    void keyDown(VirtualKeyCode key, ModifierFlags flags, Clock::time_point now);
    // The chord is typed whole (its key-down and key-up) once it is ready.
    void keyUp(VirtualKeyCode key);

    // Types the chords now ready, given the modifiers the seat holds and the kind of the active
    // window (known only now: the click that made a chord may also have just activated that
    // window); drops those that waited too long and returns a line about each.
    std::vector<std::string> update(ModifierFlags seatFlags, TerminalKind kind,
                                    Clock::time_point now);
    // When update() must run again even if the seat does not change.
    std::optional<Clock::time_point> deadline() const;

private:
    struct Pending {
        VirtualKeyCode key;
        ModifierFlags flags;
        Clock::time_point since;
        bool complete = false;
    };

    KeySink& sink_;
    ChordKeys keys_;
    std::deque<Pending> pending_;
};

}  // namespace snaplark::platform::evdev
