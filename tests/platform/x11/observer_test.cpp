// The observer's two readings of the recorded stream, without a server: the keys a chord has let go
// of, followed from the typist's requests (the server packs consecutive requests into one reply),
// and clicks in our own windows told from others by where the server delivered them.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/x11/chord_trail.h"
#include "platform/x11/own_windows.h"

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
        if (word == ".") {
            bytes.insert(bytes.end(), {127, 0, 1, 0});
            continue;
        }
        // FakeInput (2), 9 units long (little-endian as on this machine), press 2 or release 3.
        const auto major = static_cast<std::uint8_t>(word[0] == '~' ? xtest + 1 : xtest);
        const auto type = static_cast<std::uint8_t>(word[0] == '+' ? 2 : 3);
        const auto key = static_cast<std::uint8_t>(std::stoi(word.substr(1)));
        bytes.insert(bytes.end(), {major, 2, 9, 0, type, key});
        bytes.resize(bytes.size() + 30);
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
            for (int k = 0; k < 256; ++k)
                if (trail.letGo().test(k)) seen += std::to_string(k) + " ";
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

using Clock = OwnClicks::Clock;

// Runs a little script against the judge and returns what it let through, as "P<time>" for a
// press and "R<time>" for a release, in order. Steps:
//   P10, R10   the device event at that time (at 50,50, or inside our window with "P10*")
//   p10, r10   its delivery to our own client
//   |          the end of a batch: everything sent so far was read
//   +400       that many milliseconds pass
//   M, m       our menu opens, closes, in another client's window
std::string run(const std::string& steps)
{
    OwnClicks judge;
    judge.setOwnRects({{100, 100, 200, 100}});
    Clock::time_point now{};
    std::string out;
    std::istringstream words(steps);
    for (std::string step; words >> step;) {
        const char kind = step[0];
        const auto number = [&] { return static_cast<std::uint32_t>(std::stoul(step.substr(1))); };
        const int at = step.back() == '*' ? 150 : 50;
        if (kind == '|')
            judge.endOfBatch();
        else if (kind == 'M' || kind == 'm')
            judge.setMenuOpenElsewhere(kind == 'M');
        else if (kind == '+')
            now += std::chrono::milliseconds(number());
        else if (kind == 'p' || kind == 'r')
            judge.deliveredToUs(kind == 'p', number());
        else
            judge.recorded({kind == 'P', 1, number(), 0, at, at, {}}, now);
        for (const ButtonEvent& e : judge.takeSettled(now))
            out += (e.press ? "P" : "R") + std::to_string(e.time) + " ";
    }
    return out;
}

TEST(OwnClicks, JudgesByWhereTheServerDeliveredEachPress)
{
    const char* const cases[][3] = {
        {"a click elsewhere settles at the end of its batch", "P1 R2 |", "P1 R2 "},
        {"nothing settles before the batch is read to its end", "P1 R2", ""},
        {"a click delivered to us is ours", "P1 p1 R2 r2 |", ""},
        {"a drag out of our window goes with its press", "P1 p1 | R9 |", ""},
        {"a drag into our window goes with its press", "P1 | R9 r9 |", "P1 R9 "},
        {"a release whose press was not seen goes by its delivery", "R3 r3 |", ""},
        {"a press in our window waits for a late delivery", "P5* | +20 R6 | p5 r6 |", ""},
        {"until its deadline", "P5* | +299", ""},
        {"then it is a gesture, what came after it follows", "P5* | P7 R8 | +300", "P5 P7 R8 "},
        {"a delivery for another time does not count", "P1 p2 |", "P1 "},
        {"a click in our menu drawn by another client is ours", "M P1 R2 |", ""},
        {"and closes it, for hosts that never say so", "M P1 R2 | P3 R4 |", "P3 R4 "},
        {"a menu that said it closed", "M m P1 R2 |", "P1 R2 "},
    };
    for (const auto& [what, steps, expected] : cases)
        EXPECT_EQ(run(steps), expected) << what;
}

}  // namespace
}  // namespace snaplark::platform::x11
