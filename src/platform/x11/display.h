#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <memory>

namespace snaplark::platform::x11 {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

// Where nested windows are walked, no real tree is deeper than this.
inline constexpr int maxWindowDepth = 32;

}  // namespace snaplark::platform::x11
