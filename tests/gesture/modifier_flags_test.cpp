#include <gtest/gtest.h>

#include <array>
#include <string_view>

#include "gesture/modifier_flags.h"

namespace snaplark {
namespace {

struct Expected {
    ModifierFlags value;
    int row;
    std::string_view line;
};

constexpr std::array<Expected, 16> table{{
    {0x20000, 1, "shift key is pressed"},
    {0x40000, 2, "control key is pressed"},
    {0x80000, 3, "option key is pressed"},
    {0x100000, 4, "Command key is pressed"},
    {0x60000, 5, "control-shift keys are pressed"},
    {0xA0000, 6, "option-shift keys are pressed"},
    {0x120000, 7, "command-shift keys are pressed"},
    {0xC0000, 8, "control-option keys are pressed"},
    {0x140000, 9, "control-command keys are pressed"},
    {0x180000, 10, "option-command keys are pressed"},
    {0xE0000, 11, "shift-control-option keys are pressed"},
    {0x160000, 12, "shift-control-command keys are pressed"},
    {0x1C0000, 13, "control-option-command keys are pressed"},
    {0x1A0000, 14, "shift-command-option keys are pressed"},
    {0x1E0000, 15, "shift-control-option-command keys are pressed"},
    {0, defaultRowNumber, "no modifier keys are pressed"},
}};

constexpr std::string_view noModifier = "no modifier keys are pressed";

TEST(ClassifyModifiers, EveryRowWhateverTheBitsOutsideTheMask)
{
    constexpr std::array<ModifierFlags, 4> noise{0, 0xFFFF, 0x1, 0xFFFFFFFF00000000};
    for (const Expected& e : table) {
        for (ModifierFlags extra : noise) {
            const ModifierRow& row = classifyModifiers(e.value | extra);
            EXPECT_EQ(row.number, e.row) << std::hex << (e.value | extra);
            EXPECT_EQ(row.line, e.line) << std::hex << (e.value | extra);
        }
    }
}

TEST(ClassifyModifiers, AnyOtherBitOfTheMaskBlocksEveryRow)
{
    // Caps Lock, Numeric pad, Help, Function and the unnamed bits 24 to 31.
    for (int bit : {16, 21, 22, 23, 24, 27, 31}) {
        for (const Expected& e : table) {
            const ModifierFlags flags = e.value | (ModifierFlags{1} << bit);
            EXPECT_EQ(classifyModifiers(flags).number, defaultRowNumber) << std::hex << flags;
            EXPECT_EQ(classifyModifiers(flags).line, noModifier);
        }
    }
}

TEST(ClassifyModifiers, MatchesWholeSetsNotParts)
{
    using namespace modifier;
    for (const Expected& e : table) {
        for (ModifierFlags more : {shift, control, option, command}) {
            if ((e.value & more) != 0) continue;
            EXPECT_NE(classifyModifiers(e.value | more).number, e.row)
                << std::hex << (e.value | more);
        }
    }
    EXPECT_EQ(classifyModifiers(command | option).number, 10);
    EXPECT_EQ(classifyModifiers(command | shift | capsLock).number, defaultRowNumber);
}

}  // namespace
}  // namespace snaplark
