#pragma once

#include <string>
#include <vector>

#include "platform/event_monitor.h"
#include "platform/keyboard.h"

namespace snaplark::platform {

// A desktop's input as a shell drives it: the left button of other applications observed, and
// keystrokes typed. Every handler and keystroke runs on the thread that calls dispatch().
class InputDesktop {
public:
    virtual ~InputDesktop() = default;

    // One sentence for each thing the desktop lacks, saying what does not work without it.
    virtual std::vector<std::string> missing() const = 0;
    // What stops the gestures now, a sentence each, for the user to see while it lasts.
    virtual std::vector<std::string> problems() const { return {}; }

    virtual EventMonitors& eventMonitors() = 0;
    virtual KeyboardEvents& keyboard() = 0;

    // Whether our menu is open, wherever it is drawn: every click then is ours.
    virtual void setMenuOpen(bool open) = 0;

    // The main loop watches this descriptor and calls dispatch() whenever it is readable.
    virtual int fileDescriptor() const = 0;
    virtual void dispatch() = 0;
};

}  // namespace snaplark::platform
