#pragma once

#include <bitset>
#include <cstdint>
#include <map>
#include <optional>

#include "platform/event_monitor.h"

namespace snaplark::platform::evdev {

// The fields of a kernel input event that matter here.
struct InputEvent {
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
};

// The keys a device reports, by kernel key code (KEY_MAX is 0x2ff).
using KeyBits = std::bitset<0x300>;

struct Click {
    bool press = false;
    ModifierFlags flags = 0;
    std::int64_t time = 0;  // microseconds, CLOCK_MONOTONIC, when the device reported it
    std::uint64_t id = 0;   // the input service's number for it; 0 when read from the devices
    // Of a release after a press with Control held: how far the pointer went in between, in
    // pixels as near as the devices tell (motion is read only then).
    int moved = 0;
};

// The left button and the keyboard modifiers of one seat, followed from every input device's
// events as the compositor receives them: Control on one keyboard and a click on any mouse make a
// gesture, as in the compositor. Each device's keys are kept apart, so a key let go on one device
// does not end the same key held on another. Caps Lock counts when locked: toggled by its presses
// and set by the LED the compositor lights; Num Lock is ignored. The flag word is the X11 one:
// Control is Command, Super is Control, Alt and AltGr are Option.
class SeatState {
public:
    // A device appeared, with the keys it already has down and its Caps Lock LED (none for a
    // device without one).
    void added(int device, const KeyBits& down, std::optional<bool> capsLockLed);
    void removed(int device);

    struct Outcome {
        std::optional<Click> click;
        // The kernel dropped events of this device: read its keys again and call resync().
        bool resync = false;
    };
    Outcome handle(int device, const InputEvent& event);
    // The device's keys after a drop, read when the drop ended.
    void resync(int device, const KeyBits& down, std::optional<bool> capsLockLed);

    ModifierFlags flags() const;

private:
    struct Device {
        KeyBits down;
        bool dropping = false;
    };

    std::map<int, Device> devices_;
    bool capsLock_ = false;
};

}  // namespace snaplark::platform::evdev
