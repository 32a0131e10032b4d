#include <gtest/gtest.h>

#include "platform/chord.h"

namespace snaplark::platform {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;

// The chord shapes every desktop backend types; the same table runs on Linux and under Wine.
TEST(Chord, PerKindOfWindow)
{
    struct Case {
        TerminalKind kind;
        VirtualKeyCode key;
        bool skip;
        bool control;
        bool shift;
        ChordKey chordKey;
    };
    const Case cases[] = {
        {TerminalKind::none, keyC, false, true, false, ChordKey::c},
        {TerminalKind::none, keyV, false, true, false, ChordKey::v},
        {TerminalKind::shiftChords, keyC, false, true, true, ChordKey::c},
        {TerminalKind::shiftChords, keyV, false, true, true, ChordKey::v},
        {TerminalKind::selectionOnly, keyC, true, false, false, ChordKey::c},
        {TerminalKind::selectionOnly, keyV, false, false, true, ChordKey::insert},
    };
    for (const Case& c : cases) {
        const Chord chord = chordFor(c.kind, c.key, modifier::command);
        EXPECT_EQ(chord.skip, c.skip);
        if (c.skip) continue;
        EXPECT_EQ(chord.control, c.control);
        EXPECT_EQ(chord.shift, c.shift);
        EXPECT_FALSE(chord.alt);
        EXPECT_FALSE(chord.super);
        EXPECT_EQ(chord.key, c.chordKey);
    }
}

TEST(Chord, KeysWithoutAPositionAreSkipped)
{
    EXPECT_TRUE(chordFor(TerminalKind::none, 0, modifier::command).skip);
    EXPECT_TRUE(chordFor(TerminalKind::none, 10, modifier::command).skip);
}

// Only the plain shortcut is changed for a terminal; other flags are typed as they are.
TEST(Chord, OtherFlagsAreTypedAsTheyAreEvenInATerminal)
{
    const Chord chord = chordFor(TerminalKind::shiftChords, keyC,
                                 modifier::command | modifier::option | modifier::control);
    EXPECT_TRUE(chord.control);
    EXPECT_FALSE(chord.shift);
    EXPECT_TRUE(chord.alt);
    EXPECT_TRUE(chord.super);
}

}  // namespace
}  // namespace snaplark::platform
