#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/event_monitor.h"
#include "platform/object.h"

namespace snaplark::platform {

enum class ActivationPolicy : long {
    regular = 0,     // an ordinary application with its own windows and task-bar entry
    prohibited = 2,  // no task-bar entry and never activated
};

// The words a desktop's users know the shortcut keys by: macOS names Command (⌘), Linux and
// Windows name Control.
enum class KeyboardWords { command, control };

// Something that stops the gestures now, as the How-to-use dialog tells it: what is wrong and
// what to do, and the title of a button that mends it where one action can.
struct HelpNote {
    std::string text;
    std::string fixTitle;  // empty: nothing to press
};

class Application {
public:
    virtual ~Application() = default;
    virtual KeyboardWords keyboardWords() const { return KeyboardWords::command; }
    // Whether the platform can ever tell which application is active; the status menu offers to
    // pause the gestures in one only then.
    virtual bool knowsActiveApplications() const { return false; }
    // The application whose window is active now (not one of ours); an empty id while unknown.
    virtual ActiveApplication activeApplication() const { return {}; }
    // What stops the gestures now; most platforms never know of anything.
    virtual std::vector<HelpNote> helpNotes() const { return {}; }
    // The button of helpNotes()[note] was pressed.
    virtual void applyFix(std::size_t /*note*/) {}
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    // Ends the application after the delegate's applicationWillTerminate.
    virtual void terminate(Object* sender) = 0;
};

class ApplicationDelegate : public Responder {
public:
    virtual void applicationDidFinishLaunching() = 0;
    virtual void applicationWillTerminate() = 0;
};

// The platform's action dispatch: an action with a target goes to it; one without goes to the
// application when it is terminate and to the delegate otherwise.
void sendAction(Application& application, ApplicationDelegate* delegate, Selector action,
                Responder* target, Object* sender);

}  // namespace snaplark::platform
