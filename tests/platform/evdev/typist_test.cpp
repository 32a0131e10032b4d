// The Wayland typist's timing rule: a chord is typed once the user holds no modifier that is not
// the chord's, and given up after its patience; what it types, in order.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <string>
#include <vector>

#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev {
namespace {

using namespace std::chrono_literals;
using Clock = Typist::Clock;

class Recorder final : public KeySink {
public:
    void key(std::uint16_t code, bool down) override
    {
        text += (down ? "+" : "-") + nameOf(code) + " ";
    }
    std::string text;

private:
    static std::string nameOf(std::uint16_t code)
    {
        switch (code) {
        case KEY_LEFTCTRL: return "ctrl";
        case KEY_LEFTSHIFT: return "shift";
        case KEY_INSERT: return "insert";
        case KEY_C: return "c";
        case KEY_V: return "v";
        case KEY_I: return "i";
        default: return std::to_string(code);
        }
    }
};

constexpr VirtualKeyCode copyKey = 8;
constexpr VirtualKeyCode pasteKey = 9;
constexpr ModifierFlags command = modifier::command;
constexpr ModifierFlags shift = modifier::shift;

struct Step {
    int atMs;
    ModifierFlags seat;  // the seat's modifiers from then on
};

struct Case {
    const char* name;
    TerminalKind kind;
    VirtualKeyCode key;
    std::vector<Step> seat;  // the first step is the moment of the chord's request
    const char* typed;
    std::size_t dropped;
};

class Timing : public testing::TestWithParam<Case> {};

TEST_P(Timing, TypesWhenTheSeatAllows)
{
    const Case& c = GetParam();
    Recorder recorder;
    Typist typist(recorder, {KEY_C, KEY_V});
    const Clock::time_point start{};
    typist.keyDown(c.key, command, start);
    typist.keyUp(c.key);
    std::size_t dropped = 0;
    for (const Step& step : c.seat) {
        const auto at = start + std::chrono::milliseconds(step.atMs);
        dropped += typist.update(step.seat, c.kind, at).size();
    }
    EXPECT_EQ(recorder.text, c.typed);
    EXPECT_EQ(dropped, c.dropped);
    EXPECT_FALSE(typist.deadline().has_value()) << "a chord is still waiting";
}

const Case cases[] = {
    {"CopyWithControlHeldAtOnce",
     TerminalKind::none,
     copyKey,
     {{0, command}},
     "+ctrl +c -c -ctrl ",
     0},
    {"PasteWaitsForShift",
     TerminalKind::none,
     pasteKey,
     {{0, command | shift}, {40, command | shift}, {90, command}},
     "+ctrl +v -v -ctrl ",
     0},
    {"PasteWhenBothLetGo",
     TerminalKind::none,
     pasteKey,
     {{0, command | shift}, {50, 0}},
     "+ctrl +v -v -ctrl ",
     0},
    {"AltOrSuperHeldWaitToo",
     TerminalKind::none,
     copyKey,
     {{0, command | modifier::option | modifier::control}, {30, command}},
     "+ctrl +c -c -ctrl ",
     0},
    {"CapsLockIsNoHeldModifier",
     TerminalKind::none,
     copyKey,
     {{0, command | modifier::capsLock}},
     "+ctrl +c -c -ctrl ",
     0},
    {"GivenUpAfterPatience",
     TerminalKind::none,
     pasteKey,
     {{0, command | shift}, {999, command | shift}, {1000, command | shift}, {1100, 0}},
     "",
     1},
    // A terminal's paste holds Shift itself: the user's Shift is no reason to wait.
    {"TerminalPasteKeepsShift",
     TerminalKind::shiftChords,
     pasteKey,
     {{0, command | shift}},
     "+ctrl +shift +v -v -shift -ctrl ",
     0},
    // Shift+Insert has no Control: the user's Control must go first.
    {"SelectionPasteWaitsForControl",
     TerminalKind::selectionOnly,
     pasteKey,
     {{0, command | shift}, {20, command}, {60, 0}},
     "+shift +insert -insert -shift ",
     0},
    {"SkippedChordTypesNothing", TerminalKind::selectionOnly, copyKey, {{0, command}}, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Seat, Timing, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Typist, ChordsKeepTheirOrderAndTheKeymapsKeys)
{
    Recorder recorder;
    Typist typist(recorder, {KEY_I, KEY_V});
    const Clock::time_point start{};
    typist.keyDown(pasteKey, command, start);
    typist.keyUp(pasteKey);
    typist.keyDown(copyKey, command, start + 10ms);
    typist.keyUp(copyKey);
    typist.update(command | shift, TerminalKind::none, start + 20ms);
    EXPECT_EQ(recorder.text, "");
    ASSERT_TRUE(typist.deadline().has_value());
    EXPECT_EQ(*typist.deadline(), start + Typist::patience);
    typist.update(command, TerminalKind::none, start + 30ms);
    EXPECT_EQ(recorder.text, "+ctrl +v -v -ctrl +ctrl +i -i -ctrl ");
}

// The window a click activates is known a moment after the click: the chord is chosen when it is
// typed, not when it was asked for.
TEST(Typist, ChoosesTheChordForTheWindowActiveWhenItTypes)
{
    Recorder recorder;
    Typist typist(recorder, {KEY_C, KEY_V});
    const Clock::time_point start{};
    typist.keyDown(pasteKey, command, start);
    typist.keyUp(pasteKey);
    typist.update(command | shift, TerminalKind::none, start);
    typist.update(command, TerminalKind::selectionOnly, start + 50ms);
    typist.update(0, TerminalKind::selectionOnly, start + 60ms);
    EXPECT_EQ(recorder.text, "+shift +insert -insert -shift ");
}

}  // namespace
}  // namespace snaplark::platform::evdev
