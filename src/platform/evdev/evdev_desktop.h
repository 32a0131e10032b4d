#pragma once

#include <memory>
#include <string>

#include "platform/input_desktop.h"

namespace snaplark::platform::evdev {

// Input on a Wayland session: the seat read from the kernel's input devices (every device, so
// that it sees what the compositor sees, whichever application has focus) and chords typed on a
// uinput keyboard of our own; or, where the input service runs, clicks heard from it and chords
// asked of it, with no access to any device. Clicks that the compositor delivered to our own
// surfaces, and those in our menu drawn by the tray host, are ours (see OwnClicks).
class EvdevDesktop : public InputDesktop {
public:
    struct Paths {
        std::string input = "/dev/input";
        std::string uinput = "/dev/uinput";
        // The input service's socket: used when it exists, instead of the two above.
        std::string service = "/run/snaplark/inputd.sock";
    };
    static std::unique_ptr<EvdevDesktop> open(const Paths& paths);

    // Takes the one place for an agent in this session (a lock on a file in the runtime
    // directory, held for the process's life); false when another agent holds it.
    static bool claimSingleInstance(const std::string& lockPath);

    // Whether any of our windows or popups is shown: only then may a press be ours and wait for
    // its delivery.
    virtual void setOwnSurfacesShown(bool shown) = 0;
    // The compositor delivered a left-button press to one of our surfaces.
    virtual void deliveredPress() = 0;

    // Whether the compositor itself says which window is active (foreign-toplevel).
    virtual bool knowsActiveWindow() const = 0;
    // The active window's application id as the desktop reported it some other way (a KWin
    // script, a GNOME Shell extension), with its name where the desktop gave one; used where the
    // compositor does not say.
    virtual void setReportedActiveWindow(const std::string& applicationId,
                                         const std::string& name = {}) = 0;
};

}  // namespace snaplark::platform::evdev
