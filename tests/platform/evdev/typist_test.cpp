// The Wayland typist's timing rule: a chord is typed once the user holds no modifier that is not
// the chord's, and given up after its patience; what it types, in order.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <vector>

#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev {
namespace {

using namespace std::chrono_literals;
using namespace modifier;

// Each key as its code when pressed, minus its code when let go.
struct Recorder final : KeySink {
    void key(std::uint16_t code, bool down) override { keys.push_back(down ? code : -code); }
    std::vector<int> keys;
};

constexpr VirtualKeyCode copyKey = 8;
constexpr VirtualKeyCode pasteKey = 9;

class TypistTest : public testing::Test {
protected:
    // The agent asks for a chord with the shortcut's flags, key-down then key-up.
    void ask(VirtualKeyCode key, std::chrono::milliseconds at = 0ms)
    {
        typist.keyDown(key, command, start + at);
        typist.keyUp(key);
    }
    // The seat holds these modifiers at that moment, in a window of no terminal kind unless given;
    // returns how many chords were given up.
    std::size_t seat(ModifierFlags flags, std::chrono::milliseconds ms, TerminalKind kind = {})
    {
        return typist.update(flags, kind, start + ms).size();
    }
    Recorder recorder;
    Typist typist{recorder, {KEY_C, KEY_V}};
    const Typist::Clock::time_point start{};
};

// Shift, Alt or Super still held hold the chord back; Caps Lock and its own Control do not.
TEST_F(TypistTest, WaitsForTheUsersOtherModifiersToGo)
{
    ask(pasteKey);
    seat(command | shift, 0ms);
    seat(command | option | control, 40ms);
    EXPECT_EQ(recorder.keys, std::vector<int>{});
    seat(command | capsLock, 90ms);
    EXPECT_EQ(recorder.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_V, -KEY_V, -KEY_LEFTCTRL}));
}

TEST_F(TypistTest, GivesUpAfterOneSecond)
{
    ask(pasteKey);
    EXPECT_EQ(typist.deadline(), start + 1s);
    EXPECT_EQ(seat(command | shift, 999ms), 0u);
    EXPECT_EQ(seat(command | shift, 1000ms), 1u);
    seat(0, 1100ms);
    EXPECT_EQ(recorder.keys, std::vector<int>{});
}

// Chords go out in the order asked, each with the keys of the keymap in use.
TEST_F(TypistTest, KeepsOrderAndTheKeymapsKeys)
{
    typist.setKeys({KEY_I, KEY_DOT});
    ask(pasteKey);
    ask(copyKey, 10ms);
    seat(command, 30ms);
    EXPECT_EQ(recorder.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_DOT, -KEY_DOT, -KEY_LEFTCTRL,
                                               KEY_LEFTCTRL, KEY_I, -KEY_I, -KEY_LEFTCTRL}));
}

// The window a click activates is known a moment after the click: the chord is chosen when it is
// typed, for the window then active. There a selection-only terminal types nothing for copy, and
// its Shift+Insert has no Control, so the user's must go first; a terminal's Ctrl+Shift+V holds
// Shift itself, so the user's is no reason to wait.
TEST_F(TypistTest, ChoosesTheChordWhenItTypes)
{
    ask(copyKey);
    ask(pasteKey);
    seat(command | shift, 0ms);
    seat(command, 50ms, TerminalKind::selectionOnly);
    EXPECT_EQ(recorder.keys, std::vector<int>{});
    seat(0, 60ms, TerminalKind::selectionOnly);
    ask(pasteKey, 70ms);
    seat(command | shift, 70ms, TerminalKind::shiftChords);
    EXPECT_EQ(recorder.keys, (std::vector<int>{KEY_LEFTSHIFT, KEY_INSERT, -KEY_INSERT,
                                               -KEY_LEFTSHIFT, KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_V,
                                               -KEY_V, -KEY_LEFTSHIFT, -KEY_LEFTCTRL}));
}

}  // namespace
}  // namespace snaplark::platform::evdev
