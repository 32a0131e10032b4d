#pragma once

#include <cstdint>
#include <functional>

#include "platform/event_monitor.h"

namespace snaplark::platform::win32 {

// Reads one virtual key's state: whether it is down, or for a lock key whether it is toggled on.
struct KeyProbe {
    std::function<bool(int virtualKey)> down;
    std::function<bool(int virtualKey)> toggled;
};

// The flag word of the keyboard state at a mouse event, as the agent classifies it: Ctrl plays
// Command's role (copy is Ctrl+C on Windows), the Windows key takes Control's, Alt is Option,
// Shift is Shift and Caps Lock toggled on is Caps Lock. Num Lock, Scroll Lock and the input-method
// mode keys (Kana, Hangul) are ignored: they stay on all day on many machines.
ModifierFlags modifierFlagsOf(const KeyProbe& keys);

}  // namespace snaplark::platform::win32
