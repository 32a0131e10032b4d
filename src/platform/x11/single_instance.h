#pragma once

#include <X11/Xlib.h>

namespace snaplark::platform::x11 {

// Takes the one place for an agent on this display; false when another agent holds it. The place
// is held until the connection closes.
bool claimSingleInstance(Display* display);

}  // namespace snaplark::platform::x11
