#pragma once

#include "platform/application_main.h"

namespace snaplark {

// The agent as the platform's application loop runs it.
platform::ApplicationModule applicationModule();

}  // namespace snaplark
