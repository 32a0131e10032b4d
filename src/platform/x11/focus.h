#pragma once

#include <X11/Xlib.h>

#include "platform/x11/terminal_rule.h"

namespace snaplark::platform::x11 {

// The terminal kind of the application with keyboard focus: the WM_CLASS of the focused window,
// or of its nearest ancestor that has one.
TerminalKind focusedTerminalKind(Display* display);

}  // namespace snaplark::platform::x11
