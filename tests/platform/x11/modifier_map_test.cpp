// How an X event's modifier bits read, by the keys the server's modifier map puts on each.
// gtest first: X.h defines None, which gtest uses as a name.
// clang-format off
#include <gtest/gtest.h>
#include <X11/X.h>
#include <X11/keysym.h>
// clang-format on

#include <tuple>

#include "platform/x11/modifier_map.h"

namespace snaplark::platform::x11 {
namespace {

using namespace modifier;

TEST(ModifierTable, ReadsEachModifierByItsKeys)
{
    // A stock Debian desktop (pc105, us): Shift, Lock, Control, Mod1 to Mod5.
    const ModifierKeysyms stock = {{{XK_Shift_L, XK_Shift_R},
                                    {XK_Caps_Lock},
                                    {XK_Control_L, XK_Control_R},
                                    {XK_Alt_L, XK_Alt_R, XK_Meta_L},
                                    {XK_Num_Lock},
                                    {},
                                    {XK_Super_L, XK_Super_R, XK_Super_L, XK_Hyper_L},
                                    {XK_ISO_Level3_Shift, XK_Mode_switch}}};
    // Mod1 to Mod5 moved: Meta alone, Alt, Super, Scroll Lock, Hyper alone.
    const ModifierKeysyms moved = {{stock[0],
                                    stock[1],
                                    stock[2],
                                    {XK_Meta_L},
                                    {XK_Alt_L},
                                    {XK_Super_L},
                                    {XK_Scroll_Lock},
                                    {XK_Hyper_L}}};
    const std::tuple<const ModifierKeysyms&, unsigned, ModifierFlags> cases[] = {
        // Shift, Control (Command), Super (Control) and Alt (Option) read end to end in
        // gestures.sh.
        {stock, Mod5Mask, option},                 // AltGr too
        {stock, LockMask, capsLock},               // a locked Caps Lock blocks the gestures
        {stock, ControlMask | Mod2Mask, command},  // Num Lock on changes nothing
        {stock, Mod3Mask, otherModifierFlag},      // an unused modifier blocks both gestures
        {stock, ControlMask | Button1Mask | (1u << 13), command},  // nor buttons, nor the group
        {moved, Mod1Mask, option},
        {moved, Mod2Mask, option},
        {moved, Mod3Mask, control},
        {moved, Mod4Mask | ControlMask, command},
        {moved, Mod5Mask, otherModifierFlag},
    };
    for (const auto& [map, state, flags] : cases)
        EXPECT_EQ(ModifierTable(map).translate(state), flags) << std::hex << state;
}

}  // namespace
}  // namespace snaplark::platform::x11
