#pragma once

#include <bitset>
#include <cstdint>

namespace snaplark::platform::x11 {

// Follows, in the recorded stream of the typist's own requests, which keys the user held that a
// chord has let go of: a button event in that window still reads them as held. The typist's
// XTEST key presses and releases and its end-of-chord NoOperation arrive here in server order,
// several to a recorded reply.
class ChordTrail {
public:
    // The requests followed: XTEST's FakeInput (its minor opcode) and the core NoOperation.
    static constexpr std::uint8_t fakeInput = 2;
    static constexpr std::uint8_t noOperation = 127;

    explicit ChordTrail(std::uint8_t xtestOpcode) : xtest_(xtestOpcode) {}

    // The requests of one recorded reply, each as sent (length in 4-byte units at offset 2).
    void requests(const std::uint8_t* data, int length);
    const std::bitset<256>& letGo() const { return letGo_; }

private:
    void request(const std::uint8_t* request, int length);

    std::uint8_t xtest_;
    std::bitset<256> pressedByUs_;
    std::bitset<256> letGo_;
};

}  // namespace snaplark::platform::x11
