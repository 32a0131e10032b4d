#pragma once

namespace snaplark::platform::macos {

// Typing into other applications needs the user's Accessibility permission. When the process does
// not have it yet, the system's own prompt is shown, once per call; returns whether it has it now.
bool askForAccessibility();

}  // namespace snaplark::platform::macos
