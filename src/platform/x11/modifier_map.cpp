#include "platform/x11/modifier_map.h"

#include <X11/X.h>
#include <X11/keysym.h>

#include <algorithm>

namespace snaplark::platform::x11 {
namespace {

bool holdsAny(const std::vector<Keysym>& keysyms, std::initializer_list<Keysym> wanted)
{
    return std::any_of(keysyms.begin(), keysyms.end(), [&](Keysym k) {
        return std::find(wanted.begin(), wanted.end(), k) != wanted.end();
    });
}

// Mod1 to Mod5 carry whatever the keyboard map puts there, so their role comes from their keys.
ModifierFlags roleOfVirtualModifier(const std::vector<Keysym>& keysyms)
{
    if (holdsAny(keysyms, {XK_Super_L, XK_Super_R})) return modifier::control;
    if (holdsAny(keysyms,
                 {XK_Alt_L, XK_Alt_R, XK_Meta_L, XK_Meta_R, XK_ISO_Level3_Shift, XK_Mode_switch})) {
        return modifier::option;
    }
    // Num Lock is on all day on most machines; neither lock may block a gesture.
    if (holdsAny(keysyms, {XK_Num_Lock, XK_Scroll_Lock})) return 0;
    return otherModifierFlag;
}

}  // namespace

ModifierTable::ModifierTable(const ModifierKeysyms& keysyms)
{
    flags_[ShiftMapIndex] = modifier::shift;
    flags_[LockMapIndex] = modifier::capsLock;
    flags_[ControlMapIndex] = modifier::command;
    for (int index = Mod1MapIndex; index <= Mod5MapIndex; ++index) {
        flags_[index] = roleOfVirtualModifier(keysyms[index]);
    }
}

ModifierFlags ModifierTable::translate(unsigned state) const
{
    ModifierFlags flags = 0;
    for (int index = 0; index < 8; ++index) {
        if ((state & (1u << index)) != 0) flags |= flags_[index];
    }
    return flags;
}

}  // namespace snaplark::platform::x11
