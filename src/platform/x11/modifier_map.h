#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "platform/event_monitor.h"

namespace snaplark::platform::x11 {

// X11 keysyms are 29-bit values; kept as plain integers so this table needs no X headers.
using Keysym = unsigned long;

// The eight X modifiers in server order: Shift, Lock, Control, Mod1 to Mod5, each with the
// keysyms of the keys the server's modifier map puts on it.
using ModifierKeysyms = std::array<std::vector<Keysym>, 8>;

// Translates the modifier bits of an X event's state into the flag word the agent classifies:
// Control plays Command's role (copy is Ctrl+C on Linux), Super takes Control's, Alt and AltGr are
// Option, a locked Caps Lock is Caps Lock, Num Lock and Scroll Lock are ignored, and any other
// modifier (Hyper, an empty Mod3…) blocks both gestures.
class ModifierTable {
public:
    explicit ModifierTable(const ModifierKeysyms& keysyms);
    ModifierFlags translate(unsigned state) const;
    ModifierFlags flagsOf(int modifierIndex) const { return flags_[modifierIndex]; }

private:
    std::array<ModifierFlags, 8> flags_{};
};

// A flag bit no gesture row contains, for modifiers without a place in the table.
inline constexpr ModifierFlags otherModifierFlag = modifier::function;

}  // namespace snaplark::platform::x11
