#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/input_desktop.h"
#include "platform/x11/own_windows.h"

namespace snaplark::platform::x11 {

// The agent's view of an X display: the left button of every other client, observed through the
// RECORD extension with the modifier state the server gave each event, and keystrokes typed
// through XTEST. Every handler and keystroke runs on the thread that calls dispatch().
class X11Desktop : public InputDesktop {
public:
    // Opens the display (the default one when the name is empty); on failure returns nullptr
    // and says why in `error`.
    static std::unique_ptr<X11Desktop> open(const std::string& displayName, std::string& error);
    virtual ~X11Desktop() = default;

    // Takes the one place for an agent on this display; false when another agent holds it.
    virtual bool claimSingleInstance() = 0;

    // Starts watching the left button. `ownClient` is the resource-id base of the connection
    // that holds the agent's windows: clicks the server delivers to it are not gestures.
    virtual void startObserving(std::uint32_t ownClient) = 0;
    // Where the agent's windows are; a press there may reach them late (a window manager's
    // click-to-focus grab passes it on after a round trip of its own).
    virtual void setOwnWindowRects(std::vector<RootRect> rects) = 0;
    // (A StatusNotifierItem host draws our menu in its own window, where the recorded stream
    // cannot tell it from any other: setMenuOpen says when it is open.)

    // Makes a lost connection to the display end the process with a clear message, and keeps
    // ordinary X errors (a window that vanished mid-query) from doing so.
    static void installErrorHandlers();

    // Stops the server from telling a toolkit's connection about pointer-button state changes:
    // the toolkit asks for every XKB state change, which woke it on each click anywhere.
    static void ignoreButtonStates(xcb_connection_t* toolkit);
};

}  // namespace snaplark::platform::x11
