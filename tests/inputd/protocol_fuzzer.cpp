// Feeds arbitrary packets to both ends' parsers: a malformed one must be refused, never read past
// its end, and a message that is accepted must encode back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "platform/evdev/service_protocol.h"

using namespace snaplark::platform::evdev::service;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span bytes(data, size);
    if (const auto message = parseAgentMessage(bytes)) {
        const Packet again = encode(*message);
        if (size != again.size() || std::memcmp(again.data(), data, size) != 0) std::abort();
    }
    if (const auto message = parseServiceMessage(bytes)) {
        const std::string again = encode(*message);
        if (!parseServiceMessage(
                std::span(reinterpret_cast<const std::uint8_t*>(again.data()), again.size()))) {
            std::abort();
        }
    }
    return 0;
}
