#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/macos/observer.h"

namespace snaplark::platform::macos {

// Whether Snaplark may post key events into other applications, asked without a prompt.
bool typingAllowed();
// Asks the system to show its own prompt for that permission.
void askToAllowTyping();

// What the system lets Snaplark do now.
struct Access {
    bool typing = true;
    Clicks clicks = Clicks::seen;
};

// A few words kept across runs, each tagged with the install (version and build) that wrote it.
class InstallNotes {
public:
    virtual ~InstallNotes() = default;
    virtual std::string note(std::string_view key) = 0;  // empty when there is none
    virtual void setNote(std::string_view key, const std::string& value) = 0;
};

// What to tell a user whose gestures cannot work: a line for the status item's tool tip and, once
// per install (not at every launch or login), the How-to-use dialog and the system's prompt.
class PermissionNotice {
public:
    struct Notice {
        std::string toolTip;  // empty: nothing is missing (any more)
        bool showHelp = false;
        bool askSystem = false;  // the system's prompt for typing
    };
    PermissionNotice(InstallNotes& notes, std::string install);

    // Something to tell when the answer differs from what the user was last told.
    std::optional<Notice> update(Access now);

private:
    InstallNotes& notes_;
    const std::string install_;
    std::optional<std::string> told_;
};

}  // namespace snaplark::platform::macos
