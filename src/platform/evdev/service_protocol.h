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
inline constexpr std::uint8_t version = 1;

// Every message but Refused is this long; a packet of any other length is malformed.
inline constexpr std::size_t messageSize = 16;
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
};
// The service said why it did not type a requested chord.
struct Outcome {
    enum class Code : std::uint8_t {
        typed = 1,
        noGesture,      // no matching gesture was seen
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
using ServiceMessage = std::variant<Welcome, ButtonEvent, Outcome, Refused>;

// Agent → service: the one request there is. A copy chord answers a release with the copy
// modifiers, a paste chord a press with the paste modifiers.
struct ChordRequest {
    enum class Action : std::uint8_t { copy = 1, paste };
    enum class Form : std::uint8_t {
        control = 1,   // Control + key
        controlShift,  // Control + Shift + key
        insert,        // Control + Insert (copy) or Shift + Insert (paste)
    };
    Action action = Action::copy;
    Form form = Form::control;
    std::uint16_t key = 0;  // kernel key code, a letter key; 0 for Form::insert
};

using Packet = std::array<std::uint8_t, messageSize>;

std::string encode(const ServiceMessage& message);
std::optional<ServiceMessage> parseServiceMessage(std::span<const std::uint8_t> bytes);

Packet encode(const ChordRequest& request);
// Anything but a well-formed request (its length, type, fields and padding) is refused.
std::optional<ChordRequest> parseChordRequest(std::span<const std::uint8_t> bytes);

// Whether a kernel key code is one of the 26 letter keys, the only keys a chord may use.
bool isLetterKey(std::uint16_t code);

}  // namespace snaplark::platform::evdev::service
