#pragma once

#include <X11/Xlib.h>

#include <array>
#include <bitset>
#include <vector>

#include "platform/x11/modifier_map.h"

namespace snaplark::platform::x11 {

using KeySet = std::bitset<256>;

// XKB keeps up to four groups (layouts) at once.
inline constexpr int keyboardGroups = 4;

// What the agent needs of the server's keyboard and pointer maps, read once and again whenever
// they change.
struct KeyboardMap {
    std::vector<unsigned char> pointerMap;  // physical button → logical button
    ModifierTable modifiers{ModifierKeysyms{}};
    // Per group, the key that types c (and v) there: applications match shortcuts by the active
    // layout's keysym. A group without such a key (Cyrillic, Greek…) gets the key in the ANSI
    // C (V) position, which is what applications match there.
    std::array<KeyCode, keyboardGroups> c{};
    std::array<KeyCode, keyboardGroups> v{};
    KeyCode insert = 0;
    std::vector<KeyCode> controls;  // every key on the Control modifier, in the map's order
    std::vector<KeyCode> shifts;    // and on Shift
    KeyCode alt = 0;
    KeyCode super = 0;
    KeySet holdable;  // keys on Shift, Control and Mod1-5 that are not locks
    std::array<unsigned char, 256> modifierBits{};  // per key, the modifiers it sets in a state

    unsigned logicalButton(unsigned physical) const
    {
        return physical >= 1 && physical <= pointerMap.size() ? pointerMap[physical - 1] : physical;
    }
};

KeyboardMap readKeyboardMap(Display* display, bool hasXkb);

}  // namespace snaplark::platform::x11
