#pragma once

#include <optional>
#include <string>

namespace snaplark::platform::macos {

// Typing into other applications needs the user's Accessibility permission. When the process does
// not have it yet, the system's own prompt is shown, once per call; returns whether it has it now.
bool askForAccessibility();

// What the process may do now, asked without any prompt.
struct Permissions {
    bool typing = true;     // Accessibility: posting key events into other applications
    bool listening = true;  // Input Monitoring: seeing other applications' input events
};
Permissions currentPermissions();

// What to tell a user whose gestures cannot work, in the status item's tool tip and, once per run,
// in the How-to-use dialog. Typing is judged when a gesture is about to type (the system asked at
// start already); listening at start, since without it no gesture ever arrives.
class PermissionNotice {
public:
    struct Notice {
        std::string toolTip;  // empty: nothing is missing (any more)
        bool showHelp = false;
    };
    // Something to tell when the answer differs from what the user was last told.
    std::optional<Notice> update(Permissions now);

private:
    Permissions told_;
    bool helpShown_ = false;
};

}  // namespace snaplark::platform::macos
