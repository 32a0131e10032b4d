#include "platform/evdev/service_protocol.h"

#include <linux/input-event-codes.h>

#include <algorithm>
#include <cstring>

namespace snaplark::platform::evdev::service {
namespace {

enum Type : std::uint8_t {
    welcomeType = 1,
    buttonType = 2,
    outcomeType = 3,
    refusedType = 4,
    busyType = 5,
    keysInUseType = 6,
    chordType = 16,
    layoutKeysType = 17,
};

template <typename T> void put(Packet& packet, std::size_t at, T value)
{
    std::memcpy(packet.data() + at, &value, sizeof value);
}

template <typename T> T get(std::span<const std::uint8_t> bytes, std::size_t at)
{
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

// Fields a message does not use are zero, so that a later version can give them a meaning.
bool zeroFrom(std::span<const std::uint8_t> bytes, std::size_t from, std::size_t to)
{
    return std::all_of(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       bytes.begin() + static_cast<std::ptrdiff_t>(to),
                       [](std::uint8_t b) { return b == 0; });
}

std::string toString(const Packet& packet)
{
    return {reinterpret_cast<const char*>(packet.data()), packet.size()};
}

// Two key codes at bytes 2 and 4, the rest zero.
Packet keyPair(std::uint8_t type, std::uint16_t c, std::uint16_t v)
{
    Packet packet{};
    packet[0] = type;
    put(packet, 2, c);
    put(packet, 4, v);
    return packet;
}
bool isKeyPair(std::span<const std::uint8_t> bytes)
{
    return bytes[1] == 0 && zeroFrom(bytes, 6, messageSize);
}

}  // namespace

bool isLetterBlockKey(std::uint16_t code)
{
    return (code >= KEY_Q && code <= KEY_RIGHTBRACE) || (code >= KEY_A && code <= KEY_GRAVE) ||
           (code >= KEY_BACKSLASH && code <= KEY_SLASH) || code == KEY_102ND;
}

std::string encode(const ServiceMessage& message)
{
    Packet packet{};
    if (const auto* welcome = std::get_if<Welcome>(&message)) {
        packet[0] = welcomeType;
        packet[1] = welcome->version;
    } else if (const auto* button = std::get_if<ButtonEvent>(&message)) {
        packet[0] = buttonType;
        packet[1] = button->press ? 1 : 0;
        put(packet, 2, button->moved);
        put(packet, 4, button->flags);
        put(packet, 8, button->time);
        put(packet, 16, button->click);
    } else if (const auto* outcome = std::get_if<Outcome>(&message)) {
        packet[0] = outcomeType;
        packet[1] = static_cast<std::uint8_t>(outcome->code);
    } else if (const auto* busy = std::get_if<Busy>(&message)) {
        packet[0] = busyType;
        put(packet, 4, busy->pid);
    } else if (const auto* keys = std::get_if<KeysInUse>(&message)) {
        packet = keyPair(keysInUseType, keys->c, keys->v);
    } else {
        const std::string& reason = std::get<Refused>(message).reason;
        return static_cast<char>(refusedType) + reason.substr(0, maxPacketSize - 1);
    }
    return toString(packet);
}

std::optional<ServiceMessage> parseServiceMessage(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty()) return std::nullopt;
    if (bytes[0] == refusedType) {
        if (bytes.size() > maxPacketSize) return std::nullopt;
        return Refused{{reinterpret_cast<const char*>(bytes.data()) + 1, bytes.size() - 1}};
    }
    if (bytes.size() != messageSize) return std::nullopt;
    switch (bytes[0]) {
    case welcomeType:
        if (!zeroFrom(bytes, 2, messageSize)) return std::nullopt;
        return Welcome{bytes[1]};
    case buttonType: {
        const auto click = get<std::uint64_t>(bytes, 16);
        if (bytes[1] > 1 || click == 0) return std::nullopt;
        return ButtonEvent{bytes[1] == 1, get<std::uint32_t>(bytes, 4), get<std::int64_t>(bytes, 8),
                           click, get<std::uint16_t>(bytes, 2)};
    }
    case outcomeType:
        if (bytes[1] < 1 || bytes[1] > static_cast<std::uint8_t>(Outcome::Code::noKeyboard) ||
            !zeroFrom(bytes, 2, messageSize)) {
            return std::nullopt;
        }
        return Outcome{static_cast<Outcome::Code>(bytes[1])};
    case busyType:
        if (!zeroFrom(bytes, 1, 4) || !zeroFrom(bytes, 8, messageSize)) return std::nullopt;
        return Busy{get<std::uint32_t>(bytes, 4)};
    case keysInUseType:
        if (!isKeyPair(bytes)) return std::nullopt;
        return KeysInUse{get<std::uint16_t>(bytes, 2), get<std::uint16_t>(bytes, 4)};
    default: return std::nullopt;
    }
}

Packet encode(const AgentMessage& message)
{
    if (const auto* keys = std::get_if<LayoutKeys>(&message)) {
        return keyPair(layoutKeysType, keys->c, keys->v);
    }
    const auto& request = std::get<ChordRequest>(message);
    Packet packet{};
    packet[0] = chordType;
    packet[1] = static_cast<std::uint8_t>(request.action);
    packet[2] = static_cast<std::uint8_t>(request.form);
    put(packet, 8, request.click);
    return packet;
}

std::optional<AgentMessage> parseAgentMessage(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() != messageSize) return std::nullopt;
    if (bytes[0] == layoutKeysType) {
        if (!isKeyPair(bytes)) return std::nullopt;
        return LayoutKeys{get<std::uint16_t>(bytes, 2), get<std::uint16_t>(bytes, 4)};
    }
    if (bytes[0] != chordType || !zeroFrom(bytes, 3, 8) || !zeroFrom(bytes, 16, messageSize)) {
        return std::nullopt;
    }
    if (bytes[1] < 1 || bytes[1] > 2 || bytes[2] < 1 || bytes[2] > 3) return std::nullopt;
    const auto click = get<std::uint64_t>(bytes, 8);
    if (click == 0) return std::nullopt;
    return ChordRequest{static_cast<ChordRequest::Action>(bytes[1]),
                        static_cast<ChordRequest::Form>(bytes[2]), click};
}

}  // namespace snaplark::platform::evdev::service
