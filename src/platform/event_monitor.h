#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

// The application whose window is active, as a platform knows it: `id` is what it is remembered
// by (an X11 class, a Wayland application id, an executable's name, a bundle identifier), `name`
// what the user reads. An empty id: the platform does not know.
struct ActiveApplication {
    std::string id;
    std::string name;
};

struct Event {
    ModifierFlags modifierFlags = 0;
    // Of a release: the button moved at least the desktop's drag distance since its press.
    bool dragged = false;
    // Of a release: 2 or 3 when it ends a double or triple click (a word or line selected).
    int clickCount = 1;
    // Where the click went, where the platform can tell.
    ActiveApplication application{};
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
