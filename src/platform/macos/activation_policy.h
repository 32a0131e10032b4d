#pragma once

#include "platform/application.h"

namespace snaplark::platform::macos {

// Gives the shared NSApplication the policy: prohibited keeps the agent out of the Dock, regular
// gives it a Dock icon while its windows are used. Needs the application object to exist.
void setApplicationActivationPolicy(ActivationPolicy policy);

}  // namespace snaplark::platform::macos
