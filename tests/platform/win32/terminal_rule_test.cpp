#include <gtest/gtest.h>

#include "platform/win32/terminal_rule.h"

namespace snaplark::platform::win32 {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;
constexpr ModifierFlags command = 0x100000;

TEST(ConsoleRule, KnowsConsolesByWindowClass)
{
    EXPECT_EQ(consoleKindOf("ConsoleWindowClass"), ConsoleKind::shiftChords);
    EXPECT_EQ(consoleKindOf("CASCADIA_HOSTING_WINDOW_CLASS"), ConsoleKind::shiftChords);
    EXPECT_EQ(consoleKindOf("PuTTY"), ConsoleKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("mintty"), ConsoleKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("Notepad"), ConsoleKind::none);
    EXPECT_EQ(consoleKindOf("consolewindowclass"), ConsoleKind::none);
    EXPECT_EQ(consoleKindOf(""), ConsoleKind::none);
}

TEST(ConsoleRule, ChordsPerKindOfWindow)
{
    struct Case {
        ConsoleKind kind;
        VirtualKeyCode key;
        bool skip;
        bool control;
        bool shift;
        ChordKey chordKey;
    };
    const Case cases[] = {
        {ConsoleKind::none, keyC, false, true, false, ChordKey::c},
        {ConsoleKind::none, keyV, false, true, false, ChordKey::v},
        {ConsoleKind::shiftChords, keyC, false, true, true, ChordKey::c},
        {ConsoleKind::shiftChords, keyV, false, true, true, ChordKey::v},
        {ConsoleKind::selectionOnly, keyC, true, false, false, ChordKey::c},
        {ConsoleKind::selectionOnly, keyV, false, false, true, ChordKey::insert},
    };
    for (const Case& c : cases) {
        const Chord chord = chordFor(c.kind, c.key, command);
        EXPECT_EQ(chord.skip, c.skip);
        if (c.skip) continue;
        EXPECT_EQ(chord.control, c.control);
        EXPECT_EQ(chord.shift, c.shift);
        EXPECT_FALSE(chord.alt);
        EXPECT_FALSE(chord.win);
        EXPECT_EQ(chord.key, c.chordKey);
    }
}

TEST(ConsoleRule, KeysWithoutAPositionAreSkipped)
{
    EXPECT_TRUE(chordFor(ConsoleKind::none, 0, command).skip);
    EXPECT_TRUE(chordFor(ConsoleKind::none, 7, command).skip);
}

TEST(ConsoleRule, OtherFlagsAreTypedAsTheyAreEvenInAConsole)
{
    const Chord chord = chordFor(ConsoleKind::shiftChords, keyC, command | 0x80000 | 0x40000);
    EXPECT_TRUE(chord.control);
    EXPECT_FALSE(chord.shift);
    EXPECT_TRUE(chord.alt);
    EXPECT_TRUE(chord.win);
}

}  // namespace
}  // namespace snaplark::platform::win32
