#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace snaplark::platform {

// What the program gives the platform's application loop: its delegate and the classes its
// storyboard scenes name.
struct ApplicationModule {
    std::function<std::unique_ptr<ApplicationDelegate>(Platform&)> makeDelegate;
    std::function<void(ClassRegistry&, Platform&)> registerClasses;
};

// Runs the application loop of the backend linked into the program: constructs the delegate,
// sends it applicationDidFinishLaunching once launched, and returns the process's exit status.
int applicationMain(int argc, char** argv, const ApplicationModule& module);

}  // namespace snaplark::platform
