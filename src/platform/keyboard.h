#pragma once

#include <cstdint>
#include <memory>

#include "platform/event_monitor.h"

namespace snaplark::platform {

using VirtualKeyCode = std::uint16_t;

enum class EventTap : std::uint32_t {
    hid = 0,  // where the system's own keyboard input enters
};

class KeyboardEvent {
public:
    virtual ~KeyboardEvent() = default;
    // The event's modifier flags become exactly the word given.
    virtual void setFlags(ModifierFlags flags) = 0;
};

class KeyboardEvents {
public:
    virtual ~KeyboardEvents() = default;
    // A new key event owned by the caller, or nullptr when none can be made.
    virtual std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key,
                                                               bool keyDown) = 0;
    // Delivers the event to the application with keyboard focus as if it had been typed.
    virtual void post(EventTap tap, const KeyboardEvent& event) = 0;
};

}  // namespace snaplark::platform
