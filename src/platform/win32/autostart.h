#pragma once

namespace snaplark::platform::win32 {

// Whether Windows starts the agent at login: a value in the user's Run key naming this program.
bool startsAtLogin();
// Adds or removes that value; false when the registry refused.
bool setStartsAtLogin(bool start);

}  // namespace snaplark::platform::win32
