#pragma once

#include <string>
#include <vector>

#include "platform/click_tracker.h"
#include "platform/event_monitor.h"
#include "platform/keyboard.h"

namespace snaplark::platform {

// Something that stops a gesture, for the user to act on.
struct Problem {
    std::string key;       // the same for as long as the condition lasts
    std::string summary;   // what does not work: the tool tip's line and a notification's
    std::string remedy;    // what to do about it: the How-to-use dialog's paragraph
    std::string fixTitle;  // the button that mends it where one action can; empty for none
};

// A desktop's input as a shell drives it: the left button of other applications observed, and
// keystrokes typed. Every handler and keystroke runs on the thread that calls dispatch().
class InputDesktop {
public:
    virtual ~InputDesktop() = default;

    // One sentence for each thing the desktop lacks, saying what does not work without it.
    virtual std::vector<std::string> missing() const = 0;
    // What stops the gestures now, for the user to see while it lasts; by default what is
    // missing.
    virtual std::vector<Problem> problems() const
    {
        std::vector<Problem> problems;
        for (const std::string& line : missing())
            problems.push_back({line, line, line, {}});
        return problems;
    }

    // Whether this desktop can ever tell which application is active, and which one is now (not
    // one of ours); an empty id while it does not know.
    virtual bool knowsActiveApplications() const { return false; }
    virtual ActiveApplication activeApplication() const { return {}; }

    // The desktop's drag distance and double-click interval, for telling drags and double clicks.
    virtual void setClickSettings(ClickTracker::Settings /*settings*/) {}

    virtual EventMonitors& eventMonitors() = 0;
    virtual KeyboardEvents& keyboard() = 0;

    // Whether our menu is open, wherever it is drawn: every click then is ours.
    virtual void setMenuOpen(bool open) = 0;

    // The main loop watches this descriptor and calls dispatch() whenever it is readable.
    virtual int fileDescriptor() const = 0;
    virtual void dispatch() = 0;
};

}  // namespace snaplark::platform
