#pragma once

#include <memory>
#include <string>

#include "platform/input_desktop.h"

namespace snaplark::platform::evdev {

// Input on a Wayland session: the seat read from the kernel's input devices (every device, so
// that it sees what the compositor sees, whichever application has focus) and chords typed on a
// uinput keyboard of our own. The compositor tells no one else where a click goes, so clicks
// while the pointer is on one of our surfaces, or while our menu is open, are ours.
class EvdevDesktop : public InputDesktop {
public:
    struct Paths {
        std::string input = "/dev/input";
        std::string uinput = "/dev/uinput";
    };
    static std::unique_ptr<EvdevDesktop> open(const Paths& paths);

    // Takes the one place for an agent in this session (a lock on a file in the runtime
    // directory, held for the process's life); false when another agent holds it.
    static bool claimSingleInstance(const std::string& lockPath);

    // Whether the pointer is on one of our surfaces, as the toolkit knows.
    virtual void setPointerOnOwnSurface(bool on) = 0;
};

}  // namespace snaplark::platform::evdev
