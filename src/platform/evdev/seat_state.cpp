#include "platform/evdev/seat_state.h"

#include <linux/input-event-codes.h>

#include <array>

namespace snaplark::platform::evdev {
namespace {

struct ModifierKey {
    std::uint16_t code;
    ModifierFlags flag;
};

constexpr std::array<ModifierKey, 8> modifierKeys{{
    {KEY_LEFTCTRL, modifier::command},
    {KEY_RIGHTCTRL, modifier::command},
    {KEY_LEFTSHIFT, modifier::shift},
    {KEY_RIGHTSHIFT, modifier::shift},
    {KEY_LEFTALT, modifier::option},
    {KEY_RIGHTALT, modifier::option},
    {KEY_LEFTMETA, modifier::control},
    {KEY_RIGHTMETA, modifier::control},
}};

constexpr int released = 0;
constexpr int pressed = 1;

// The only keys kept: the modifiers, Caps Lock and the left button. What else is typed is read
// (the device gives it) and dropped at once.
KeyBits trackedKeys()
{
    KeyBits keys;
    for (const ModifierKey& key : modifierKeys)
        keys.set(key.code);
    keys.set(KEY_CAPSLOCK);
    keys.set(BTN_LEFT);
    return keys;
}

const KeyBits tracked = trackedKeys();

}  // namespace

void SeatState::added(int device, const KeyBits& down, std::optional<bool> capsLockLed)
{
    devices_[device] = Device{down & tracked, false};
    // The compositor lights the LED on every keyboard that has one.
    if (capsLockLed) capsLock_ = *capsLockLed;
}

void SeatState::removed(int device)
{
    devices_.erase(device);
}

void SeatState::resync(int device, const KeyBits& down, std::optional<bool> capsLockLed)
{
    const auto found = devices_.find(device);
    if (found == devices_.end()) return;
    found->second.down = down & tracked;
    found->second.dropping = false;
    if (capsLockLed) capsLock_ = *capsLockLed;
}

SeatState::Outcome SeatState::handle(int device, const InputEvent& event)
{
    Outcome outcome;
    const auto found = devices_.find(device);
    if (found == devices_.end()) return outcome;
    Device& d = found->second;
    if (event.type == EV_SYN) {
        if (event.code == SYN_DROPPED) {
            d.dropping = true;
        } else if (event.code == SYN_REPORT && d.dropping) {
            outcome.resync = true;
        }
        return outcome;
    }
    // Until the drop is over, the device's events describe a state we no longer know.
    if (d.dropping) return outcome;
    if (event.type == EV_LED && event.code == LED_CAPSL) {
        capsLock_ = event.value != 0;
        return outcome;
    }
    // A repeat (2) changes nothing.
    if (event.type != EV_KEY || (event.value != pressed && event.value != released)) {
        return outcome;
    }
    if (event.code >= d.down.size() || !tracked.test(event.code)) return outcome;
    const bool press = event.value == pressed;
    // The kernel never repeats a press; a second one means this state missed the release.
    if (event.code == KEY_CAPSLOCK && press && !d.down.test(KEY_CAPSLOCK)) capsLock_ = !capsLock_;
    d.down.set(event.code, press);
    if (event.code == BTN_LEFT) outcome.click = Click{press, flags()};
    return outcome;
}

ModifierFlags SeatState::flags() const
{
    ModifierFlags flags = capsLock_ ? modifier::capsLock : 0;
    for (const auto& [id, device] : devices_) {
        for (const ModifierKey& key : modifierKeys) {
            if (device.down.test(key.code)) flags |= key.flag;
        }
    }
    return flags;
}

}  // namespace snaplark::platform::evdev
