#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "platform/x11/modifier_map.h"

namespace snaplark::platform::x11 {
namespace {

// The X modifier bits and their indices in the server's modifier map.
enum : unsigned {
    ShiftMask = 1u << 0,
    LockMask = 1u << 1,
    ControlMask = 1u << 2,
    Mod1Mask = 1u << 3,
    Mod2Mask = 1u << 4,
    Mod3Mask = 1u << 5,
    Mod4Mask = 1u << 6,
    Mod5Mask = 1u << 7,
    Button1Mask = 1u << 8,
    Button3Mask = 1u << 10,
};
enum {
    ShiftMapIndex,
    LockMapIndex,
    ControlMapIndex,
    Mod1MapIndex,
    Mod2MapIndex,
    Mod3MapIndex,
    Mod4MapIndex,
    Mod5MapIndex
};

// The modifier map of a stock Debian desktop (pc105, us).
ModifierKeysyms stockMap()
{
    ModifierKeysyms map;
    map[ShiftMapIndex] = {XK_Shift_L, XK_Shift_R};
    map[LockMapIndex] = {XK_Caps_Lock};
    map[ControlMapIndex] = {XK_Control_L, XK_Control_R};
    map[Mod1MapIndex] = {XK_Alt_L, XK_Alt_R, XK_Meta_L};
    map[Mod2MapIndex] = {XK_Num_Lock};
    map[Mod4MapIndex] = {XK_Super_L, XK_Super_R, XK_Super_L, XK_Hyper_L};
    map[Mod5MapIndex] = {XK_ISO_Level3_Shift, XK_Mode_switch};
    return map;
}

TEST(ModifierTable, TranslatesTheStockMap)
{
    const ModifierTable table(stockMap());
    struct Case {
        unsigned state;
        ModifierFlags flags;
    };
    const Case cases[] = {
        {0, 0},
        {ShiftMask, 0x20000},
        {ControlMask, 0x100000},             // Control stands for Command
        {Mod4Mask, 0x40000},                 // Super for Control
        {Mod1Mask, 0x80000},                 // Alt for Option
        {Mod5Mask, 0x80000},                 // AltGr too
        {LockMask, 0x10000},                 // a locked Caps Lock blocks the gestures
        {Mod2Mask, 0},                       // Num Lock on changes nothing
        {ControlMask | Mod2Mask, 0x100000},  // so a copy works with Num Lock on
        {ControlMask | ShiftMask | Mod2Mask, 0x120000},
        {Mod3Mask, otherModifierFlag},  // an unused modifier blocks both gestures
        {ControlMask | Button1Mask | Button3Mask, 0x100000},  // buttons held are not modifiers
        {ControlMask | (1u << 13), 0x100000},                 // nor is the keyboard group
    };
    for (const Case& c : cases)
        EXPECT_EQ(table.translate(c.state), c.flags) << std::hex << c.state;
}

TEST(ModifierTable, FollowsRemappedModifiers)
{
    // Super on Mod3 and Num Lock on Mod4, Alt moved to Mod2, Hyper alone on Mod5.
    ModifierKeysyms map = stockMap();
    map[Mod1MapIndex] = {};
    map[Mod2MapIndex] = {XK_Alt_L};
    map[Mod3MapIndex] = {XK_Super_L};
    map[Mod4MapIndex] = {XK_Num_Lock};
    map[Mod5MapIndex] = {XK_Hyper_L};
    const ModifierTable table(map);
    EXPECT_EQ(table.translate(Mod3Mask), 0x40000u);
    EXPECT_EQ(table.translate(Mod2Mask), 0x80000u);
    EXPECT_EQ(table.translate(Mod4Mask | ControlMask), 0x100000u);
    EXPECT_EQ(table.translate(Mod5Mask), otherModifierFlag);
    EXPECT_EQ(table.translate(Mod1Mask), otherModifierFlag);
}

TEST(ModifierTable, ScrollLockIsIgnoredAndMetaIsOption)
{
    ModifierKeysyms map = stockMap();
    map[Mod1MapIndex] = {XK_Meta_L};
    map[Mod3MapIndex] = {XK_Scroll_Lock};
    const ModifierTable table(map);
    EXPECT_EQ(table.translate(Mod3Mask | ControlMask), 0x100000u);
    EXPECT_EQ(table.translate(Mod1Mask), 0x80000u);
}

}  // namespace
}  // namespace snaplark::platform::x11
