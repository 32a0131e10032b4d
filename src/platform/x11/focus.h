#pragma once

#include <X11/Xlib.h>

#include <unordered_map>
#include <vector>

#include "platform/terminal_rule.h"

namespace snaplark::platform::x11 {

// The application owning a focused window, and its terminal kind: the WM_CLASS of that window, or
// of its nearest ancestor that has one. Kept per window, so that a gesture in a window seen before
// costs no round trip; a window's entry is dropped when its or an ancestor's WM_CLASS changes, or
// one of them is reparented or destroyed (the events are asked for on the windows walked).
class TerminalKinds {
public:
    explicit TerminalKinds(Display* display) : d_(display) {}

    TerminalKind of(Window focus);
    // The application by its WM_CLASS class, which names it for people too ("Firefox").
    ActiveApplication applicationOf(Window focus);
    // Every event the connection receives passes here; those about watched windows drop entries.
    void handle(const XEvent& event);

private:
    struct Entry {
        TerminalKind kind;
        ActiveApplication application;
        std::vector<Window> path;  // the focused window up to the one with WM_CLASS
    };

    const Entry& entryOf(Window focus);
    Entry walk(Window focus);
    void forget(Window window);

    Display* d_;
    std::unordered_map<Window, Entry> entries_;
};

}  // namespace snaplark::platform::x11
