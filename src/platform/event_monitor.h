#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace snaplark::platform {

// The modifier-flag word of a mouse event, in the bit layout the gesture engine classifies.
using ModifierFlags = std::uint64_t;

// The named bits of the flag word; every backend translates its platform's modifiers into these.
namespace modifier {
inline constexpr ModifierFlags capsLock = 0x10000;
inline constexpr ModifierFlags shift = 0x20000;
inline constexpr ModifierFlags control = 0x40000;
inline constexpr ModifierFlags option = 0x80000;
inline constexpr ModifierFlags command = 0x100000;
inline constexpr ModifierFlags numericPad = 0x200000;
inline constexpr ModifierFlags help = 0x400000;
inline constexpr ModifierFlags function = 0x800000;
}  // namespace modifier

struct Event {
    ModifierFlags modifierFlags = 0;
};

enum EventMask : std::uint64_t {
    leftMouseDownMask = 1u << 1,
    leftMouseUpMask = 1u << 2,
};

class MonitorToken {
public:
    virtual ~MonitorToken() = default;
};

class EventMonitors {
public:
    virtual ~EventMonitors() = default;
    // Observes matching events sent to other applications and calls the handler for each, on the
    // main thread, in event order. Returns a token, or nullptr when no monitor could be installed.
    // The monitor stays installed for the life of the process whatever becomes of the token.
    virtual std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) = 0;
};

}  // namespace snaplark::platform
