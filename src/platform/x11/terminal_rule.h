#pragma once

#include <string_view>

#include "platform/chord.h"

namespace snaplark::platform::x11 {

// The kind of the application whose window has the WM_CLASS instance and class names given.
TerminalKind terminalKindOf(std::string_view instanceName, std::string_view className);

}  // namespace snaplark::platform::x11
