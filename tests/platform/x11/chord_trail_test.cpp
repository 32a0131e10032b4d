// The keys a chord has let go of, followed from the typist's recorded requests. The server packs
// consecutive requests into one reply, so each case is a list of replies.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/x11/chord_trail.h"

namespace snaplark::platform::x11 {
namespace {

constexpr std::uint8_t xtest = 140;
constexpr std::uint8_t shift = 50, control = 37, controlR = 105, keyV = 55, keyC = 54;

// "+K" / "-K": XTEST press / release of key K (a 36-byte request); "." the NoOperation mark.
using Reply = std::vector<std::string>;

std::vector<std::uint8_t> bytesOf(const Reply& reply)
{
    std::vector<std::uint8_t> bytes;
    for (const std::string& r : reply) {
        if (r == ".") {
            bytes.insert(bytes.end(), {127, 0, 1, 0});
            continue;
        }
        std::vector<std::uint8_t> request(36, 0);
        request[0] = xtest;
        request[1] = 2;  // FakeInput
        request[2] = 9;  // length in 4-byte units, little-endian as on this machine
        request[4] = r[0] == '+' ? 2 : 3;
        request[5] = static_cast<std::uint8_t>(std::stoi(r.substr(1)));
        bytes.insert(bytes.end(), request.begin(), request.end());
    }
    return bytes;
}

std::string keysOf(const std::bitset<256>& keys)
{
    std::string text;
    for (int k = 0; k < 256; ++k) {
        if (keys.test(k)) text += std::to_string(k) + " ";
    }
    return text;
}

std::string s(int key)
{
    return std::to_string(key);
}

struct Case {
    const char* name;
    std::vector<Reply> replies;
    std::vector<std::string> letGoAfterEach;
};

TEST(ChordTrail, FollowsTheKeysAChordLetGo)
{
    const Case cases[] = {
        {"paste, each request its own reply",
         {{"-" + s(shift)},
          {"+" + s(controlR)},
          {"+" + s(keyV)},
          {"-" + s(keyV)},
          {"-" + s(controlR)},
          {"+" + s(shift)},
          {"."}},
         {"50 ", "50 ", "50 ", "50 ", "50 ", "", ""}},
        {"paste packed in two replies",
         {{"-" + s(shift), "+" + s(controlR), "+" + s(keyV)},
          {"-" + s(keyV), "-" + s(controlR), "+" + s(shift), "."}},
         {"50 ", ""}},
        {"whole paste in one reply, the user's Shift not given back",
         {{"-" + s(shift), "+" + s(controlR), "+" + s(keyV), "-" + s(keyV), "-" + s(controlR),
           "."}},
         {""}},
        {"a copy lets go of nothing",
         {{"+" + s(controlR), "+" + s(keyC)}, {"-" + s(keyC), "-" + s(controlR), "."}},
         {"", ""}},
        {"two held keys let go, one given back",
         {{"-" + s(shift), "-" + s(control), "+" + s(keyV), "-" + s(keyV), "+" + s(shift)}, {"."}},
         {"37 ", ""}},
    };
    for (const Case& c : cases) {
        ChordTrail trail(xtest);
        for (std::size_t i = 0; i < c.replies.size(); ++i) {
            const auto bytes = bytesOf(c.replies[i]);
            trail.requests(bytes.data(), static_cast<int>(bytes.size()));
            EXPECT_EQ(keysOf(trail.letGo()), c.letGoAfterEach[i]) << c.name << ", reply " << i;
        }
    }
}

TEST(ChordTrail, IgnoresOtherRequestsAndCutRequests)
{
    ChordTrail trail(xtest);
    std::vector<std::uint8_t> other = bytesOf({"-" + s(shift)});
    other[0] = 141;  // another extension's request
    trail.requests(other.data(), static_cast<int>(other.size()));
    EXPECT_TRUE(trail.letGo().none());
    const auto cut = bytesOf({"-" + s(shift)});
    trail.requests(cut.data(), 20);  // shorter than its own length says
    EXPECT_TRUE(trail.letGo().none());
}

}  // namespace
}  // namespace snaplark::platform::x11
