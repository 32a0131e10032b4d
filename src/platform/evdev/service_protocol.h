#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "platform/event_monitor.h"

namespace snaplark::platform::evdev::service {

// The input service's socket: a SOCK_SEQPACKET socket, one message per packet, in native byte
// order (both ends are on one machine). The agent hears left-button presses and releases and asks
// for chords; nothing else crosses.
inline constexpr const char* socketDirectory = "/run/snaplark";
inline constexpr const char* socketName = "inputd.sock";
inline constexpr std::uint8_t version = 2;

// Every message but Refused is this long; a packet of any other length is malformed.
inline constexpr std::size_t messageSize = 24;
// Refused carries a line of text after its type byte.
inline constexpr std::size_t maxPacketSize = 256;

// Service → agent.
struct Welcome {
    std::uint8_t version = service::version;
};
struct ButtonEvent {
    bool press = false;
    std::uint32_t flags = 0;  // the agent's flag word (the X11 one) of the seat at the event
    std::int64_t time = 0;    // microseconds, CLOCK_MONOTONIC
    // Unguessable and never zero: a request names the click it answers by this, so it can only
    // be made once the click was heard.
    std::uint64_t click = 0;
    // Of a release after a press with Control held: how far the pointer went, in pixels as near
    // as the devices tell, at most 65535 (the motion is read only then).
    std::uint16_t moved = 0;
};
// The service said why it did not type a requested chord.
struct Outcome {
    enum class Code : std::uint8_t {
        typed = 1,
        noGesture,      // the click named is not one this client heard, or not that gesture
        stale,          // the gesture was too long ago
        used,           // the gesture already had its chord
        modifiersHeld,  // the user kept holding other modifiers
        noKeyboard,     // the service has no virtual keyboard
    };
    Code code = Code::typed;
};
struct Refused {
    std::string reason;
};
// Another program of the session holds the service: only one is served, and this is it.
struct Busy {
    std::uint32_t pid = 0;
};
// The keys the service types c and v with for this client, in answer to its ChordKeys.
struct KeysInUse {
    std::uint16_t c = 0;
    std::uint16_t v = 0;
};
using ServiceMessage = std::variant<Welcome, ButtonEvent, Outcome, Refused, Busy, KeysInUse>;

// Agent → service. A copy chord answers a release with the copy modifiers, a paste chord a press
// with the paste modifiers; the key is the service's own choice for the client's layout.
struct ChordRequest {
    enum class Action : std::uint8_t { copy = 1, paste };
    enum class Form : std::uint8_t {
        control = 1,   // Control + the key that types c or v
        controlShift,  // Control + Shift + that key
        insert,        // Control + Insert (copy) or Shift + Insert (paste)
    };
    Action action = Action::copy;
    Form form = Form::control;
    std::uint64_t click = 0;  // the ButtonEvent this answers
};
// The kernel key codes that type c and v in the agent's keyboard layout; sent at most once per
// connection. The service types them only if some layout of the system's keyboard data has
// exactly this pair, and the C and V positions otherwise.
struct LayoutKeys {
    std::uint16_t c = 0;
    std::uint16_t v = 0;
};
using AgentMessage = std::variant<ChordRequest, LayoutKeys>;

using Packet = std::array<std::uint8_t, messageSize>;

std::string encode(const ServiceMessage& message);
std::optional<ServiceMessage> parseServiceMessage(std::span<const std::uint8_t> bytes);

Packet encode(const AgentMessage& message);
// Anything but a well-formed message (its length, type, fields and padding) is refused.
std::optional<AgentMessage> parseAgentMessage(std::span<const std::uint8_t> bytes);

// Whether a kernel key code is one the virtual keyboards may type a chord's c or v with: the
// letter rows of the main block with their punctuation keys, where every layout has its
// letters. Enter, Tab, Space, the digits and everything outside the block are not.
bool isLetterBlockKey(std::uint16_t code);

}  // namespace snaplark::platform::evdev::service
