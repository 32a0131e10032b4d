#pragma once

#include <windows.h>

namespace snaplark::platform::win32 {

// Whether the window belongs to a process of a higher integrity level than the agent's (a program
// run as administrator while the agent is not): Windows then keeps the agent's SendInput out of it
// without an error (UIPI), so no gesture can type there.
bool runsAboveUs(HWND window);

}  // namespace snaplark::platform::win32
