#pragma once

#include <functional>
#include <memory>

struct wl_display;

namespace snaplark::platform::evdev {

// Hears the left-button presses the compositor delivers to our own surfaces. It listens on the
// toolkit's connection, whose surfaces are all ours, with a pointer of its own: the compositor
// sends each button event to every pointer object of the client that has the surface, so this
// hears the press whatever the toolkit makes of it (a window that a dialog of ours blocks gets
// no mouse event from the toolkit, but its press was still ours).
class OwnSurfaceButtons {
public:
    // `pressed` runs while the connection's default queue is dispatched, on the toolkit's thread.
    static std::unique_ptr<OwnSurfaceButtons> listen(wl_display* display,
                                                     std::function<void()> pressed);
    virtual ~OwnSurfaceButtons() = default;
};

}  // namespace snaplark::platform::evdev
