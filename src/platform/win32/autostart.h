#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace snaplark::platform::win32 {

// Whether Windows starts the agent at login: a value in the user's Run key naming this program,
// which the user has not switched off under Settings > Apps > Startup (or Task Manager's Startup
// tab).
bool startsAtLogin();
// Adds the value and marks it approved, or removes it; false when the registry refused.
bool setStartsAtLogin(bool start);

// Whether a Run value's command line starts `program` (quotes and blanks around it aside; paths
// compare without regard to case, as Windows' file names do).
bool runValueNames(std::wstring_view command, std::wstring_view program);
// Whether the startup-approval state of a Run value lets it run: absent is approved.
bool approvedToRun(const std::optional<std::vector<std::uint8_t>>& state);

}  // namespace snaplark::platform::win32
