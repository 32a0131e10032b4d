#pragma once

#include <windows.h>

#include "platform/win32/terminal_rule.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {

// The window that receives typed keys, as the typist needs it: the foreground window, what kind
// of window it is, and the keyboard layout of the thread that has the keyboard focus.
struct Foreground {
    HWND window = nullptr;
    TerminalKind kind = TerminalKind::none;
    HKL layout = nullptr;
};
Foreground foreground();

// The key that types the character in the layout; for a layout without the letter (Cyrillic,
// Greek) the key of the letter's own code, which applications match their shortcuts against.
VirtualKey keyTyping(char character, HKL layout);

}  // namespace snaplark::platform::win32
