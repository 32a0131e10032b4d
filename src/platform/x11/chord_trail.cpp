#include "platform/x11/chord_trail.h"

#include <cstring>

namespace snaplark::platform::x11 {
namespace {

constexpr std::uint8_t keyPress = 2;
constexpr std::uint8_t keyRelease = 3;

}  // namespace

// The typist lets go of modifiers the user holds for a chord and gives them back after it; its own
// presses and their releases don't count. The server packs a client's requests recorded one
// after another into one reply.
void ChordTrail::requests(const std::uint8_t* data, int length)
{
    for (int at = 0; at + 4 <= length;) {
        const std::uint8_t* request = data + at;
        std::uint16_t units = 0;
        std::memcpy(&units, request + 2, sizeof units);
        std::uint32_t size = units * 4u;
        if (units == 0 && at + 8 <= length) {
            // A big request: its length follows.
            std::uint32_t bigUnits = 0;
            std::memcpy(&bigUnits, request + 4, sizeof bigUnits);
            size = bigUnits * 4u;
        }
        if (size < 4 || size > static_cast<std::uint32_t>(length - at)) return;
        this->request(request, static_cast<int>(size));
        at += static_cast<int>(size);
    }
}

void ChordTrail::request(const std::uint8_t* request, int length)
{
    if (request[0] == noOperation) {
        pressedByUs_.reset();
        letGo_.reset();
        return;
    }
    if (length < 8 || request[0] != xtest_ || request[1] != fakeInput) return;
    const std::uint8_t type = request[4];
    const std::uint8_t key = request[5];
    if (type == keyPress) {
        if (letGo_.test(key)) {
            letGo_.reset(key);
        } else {
            pressedByUs_.set(key);
        }
    } else if (type == keyRelease) {
        if (pressedByUs_.test(key)) {
            pressedByUs_.reset(key);
        } else {
            letGo_.set(key);
        }
    }
}

}  // namespace snaplark::platform::x11
