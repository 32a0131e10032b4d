#pragma once

#include <string_view>

#include "platform/user_defaults.h"

namespace snaplark {

// The only persisted data: one Boolean per gesture, absent until its checkbox is first clicked.
inline constexpr std::string_view enableCopyKey = "boolEnableCopy";
inline constexpr std::string_view enablePasteKey = "boolEnablePaste";

// The one rule by which a switch is read back: a stored value replaces the field, a key without a
// value leaves it as it is.
void refreshSwitchFromSettings(platform::UserDefaults& defaults, std::string_view key, bool& field);

}  // namespace snaplark
