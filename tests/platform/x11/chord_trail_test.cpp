// The keys a chord has let go of, followed from the typist's recorded requests. The server packs
// consecutive requests into one reply, so each case is a list of replies.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/chord_trail.h"

namespace snaplark::platform::x11 {
namespace {

constexpr std::uint8_t xtest = 140;

// A reply in words: "+K" / "-K" an XTEST press / release of key K (a 36-byte request), "~K" a
// release by another extension, "." the NoOperation that ends a chord.
std::vector<std::uint8_t> bytesOf(const std::string& reply)
{
    std::vector<std::uint8_t> bytes;
    std::istringstream words(reply);
    for (std::string word; words >> word;) {
        std::vector<std::uint8_t> request = {127, 0, 1, 0};
        if (word != ".") {
            request.assign(36, 0);
            request[0] = word[0] == '~' ? xtest + 1 : xtest;
            request[1] = 2;  // FakeInput
            request[2] = 9;  // length in 4-byte units, little-endian as on this machine
            request[4] = word[0] == '+' ? 2 : 3;
            request[5] = static_cast<std::uint8_t>(std::stoi(word.substr(1)));
        }
        bytes.insert(bytes.end(), request.begin(), request.end());
    }
    return bytes;
}

// Each case: the replies, split by "|", and the keys let go after each (Shift 50, Control 37 and
// 105, C 54, V 55).
TEST(ChordTrail, FollowsTheKeysAChordLetGo)
{
    const char* const cases[][3] = {
        {"paste, a reply each", "-50|+105|+55|-55|-105|+50|.", "50 |50 |50 |50 |50 ||"},
        {"paste packed in two replies", "-50 +105 +55|-55 -105 +50 .", "50 |"},
        {"whole paste in one reply, Shift not given back", "-50 +105 +55 -55 -105 .", ""},
        {"a copy lets go of nothing", "+105 +54|-54 -105 .", "|"},
        {"two held keys let go, one given back", "-50 -37 +55 -55 +50|.", "37 |"},
        {"another extension's request", "~50", ""},
    };
    for (const auto& [name, replies, letGo] : cases) {
        ChordTrail trail(xtest);
        std::istringstream in(replies);
        std::string seen;
        for (std::string reply; std::getline(in, reply, '|');) {
            const auto bytes = bytesOf(reply);
            trail.requests(bytes.data(), static_cast<int>(bytes.size()));
            for (int k = 0; k < 256; ++k) {
                if (trail.letGo().test(k)) seen += std::to_string(k) + " ";
            }
            seen += "|";
        }
        seen.pop_back();
        EXPECT_EQ(seen, letGo) << name;
    }
    ChordTrail trail(xtest);
    const auto cut = bytesOf("-50");
    trail.requests(cut.data(), 20);  // shorter than its own length says
    EXPECT_TRUE(trail.letGo().none()) << "a request cut short";
}

}  // namespace
}  // namespace snaplark::platform::x11
