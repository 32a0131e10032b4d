#pragma once

#include <X11/Xlib.h>

// A mapped window of the benchmark's own at (x, y) that has the keyboard focus and the pointer,
// so that the agent's clicks land in it and the keys it types arrive here.
inline Window openFocusedWindow(Display* display, int x, int y, long eventMask)
{
    const Window window =
        XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 200, 200, 0, 0, 0);
    XSelectInput(display, window, eventMask | StructureNotifyMask);
    XMapWindow(display, window);
    for (XEvent event;;) {
        XNextEvent(display, &event);
        if (event.type == MapNotify) break;
    }
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XWarpPointer(display, None, window, 0, 0, 0, 0, 100, 100);
    return window;
}
