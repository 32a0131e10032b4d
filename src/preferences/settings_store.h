#pragma once

#include <string_view>
#include <vector>

#include "platform/event_monitor.h"
#include "platform/user_defaults.h"

namespace snaplark {

// The persisted data: one Boolean per gesture, absent until its checkbox is first clicked; the
// choice to copy only after a selection (off until chosen); the applications the gestures are
// paused in (none until one is paused).
inline constexpr std::string_view enableCopyKey = "boolEnableCopy";
inline constexpr std::string_view enablePasteKey = "boolEnablePaste";
inline constexpr std::string_view copyOnlyAfterSelectionKey = "boolCopyOnlyAfterSelection";
inline constexpr std::string_view pausedApplicationsKey = "arrayPausedApplications";

// The paused applications, stored as one string: a line each, its id, a tab and its readable name
// (every store keeps a string). A missing value or one that is not a string is none; a line
// without a name is named by its id.
std::vector<platform::ActiveApplication> pausedApplications(platform::UserDefaults& defaults);
void setPausedApplications(platform::UserDefaults& defaults,
                           const std::vector<platform::ActiveApplication>& applications);

// The one rule by which a switch is read back: a stored value replaces the field, a key without a
// value leaves it as it is.
void refreshSwitchFromSettings(platform::UserDefaults& defaults, std::string_view key, bool& field);

}  // namespace snaplark
