#include <gtest/gtest.h>

#include <tuple>

#include "platform/chord.h"

namespace snaplark::platform {
namespace {

// The chord shapes every desktop backend types; the same table runs on Linux and under Wine.
// Only the plain shortcut is changed for a terminal; other flags are typed as they are.
TEST(Chord, PerKindOfWindowAndFlags)
{
    using namespace modifier;
    using K = TerminalKind;
    constexpr VirtualKeyCode keyC = 8;
    constexpr VirtualKeyCode keyV = 9;
    const auto fields = [](const Chord& c) {
        return std::tie(c.skip, c.control, c.shift, c.alt, c.super, c.key);
    };
    const std::tuple<TerminalKind, VirtualKeyCode, ModifierFlags, Chord> cases[] = {
        // kind, key, flags; skip, control, shift, alt, super, key
        {K::none, keyC, command, {false, true, false, false, false, ChordKey::c}},
        {K::shiftChords, keyC, command, {false, true, true, false, false, ChordKey::c}},
        {K::selectionOnly, keyV, command, {false, false, true, false, false, ChordKey::insert}},
        {K::selectionOnly, keyV, command | control, {false, true, false, false, true, ChordKey::v}},
        {K::insertChords, keyC, command, {false, true, false, false, false, ChordKey::insert}},
        {K::insertChords, keyV, command, {false, false, true, false, false, ChordKey::insert}},
    };
    for (const auto& [kind, key, flags, want] : cases)
        EXPECT_EQ(fields(chordFor(kind, key, flags)), fields(want)) << static_cast<int>(kind);
    // Nothing is typed for copy in a selection-only terminal, nor for a key without a position.
    EXPECT_TRUE(chordFor(K::selectionOnly, keyC, command).skip);
    EXPECT_TRUE(chordFor(K::none, 0, command).skip);
}

}  // namespace
}  // namespace snaplark::platform
