#pragma once

#include <string_view>

#include "platform/chord.h"

namespace snaplark::platform::win32 {

// The kind of the window whose window class name is given: the Windows console host and Windows
// Terminal take Ctrl+Shift+C and Ctrl+Shift+V; PuTTY and mintty copy what is selected by
// themselves, so a copy chord would only send ^C to the program, and paste with Shift+Insert.
TerminalKind consoleKindOf(std::string_view windowClass);

}  // namespace snaplark::platform::win32
