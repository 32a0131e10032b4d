#pragma once

#include <string_view>

#include "platform/chord.h"

namespace snaplark::platform {

// The kind of the application whose window has the WM_CLASS instance and class names given, or
// (on Wayland) the application id given twice.
TerminalKind terminalKindOf(std::string_view instanceName, std::string_view className);

}  // namespace snaplark::platform
