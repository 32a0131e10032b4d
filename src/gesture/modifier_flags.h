#pragma once

#include <cstdint>
#include <string_view>

#include "platform/event_monitor.h"

namespace snaplark {

using platform::ModifierFlags;

namespace modifier = platform::modifier;
// Bits 16 to 31; the low half only tells which key of a left/right pair is down.
inline constexpr ModifierFlags deviceIndependentMask = 0xFFFF0000;

struct ModifierRow {
    int number;  // 1 to 15, or defaultRowNumber
    ModifierFlags maskedValue;
    std::string_view line;
};

inline constexpr int defaultRowNumber = 0;
inline constexpr int copyRowNumber = 4;   // Command alone, judged at the release
inline constexpr int pasteRowNumber = 7;  // Command and Shift, judged at the press

// The row whose modifier set equals the flag word's device-independent bits exactly; the default
// row ("no modifier keys are pressed") when none does, Caps Lock and the other lock or keypad bits
// included.
const ModifierRow& classifyModifiers(ModifierFlags flags);

}  // namespace snaplark
