#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/application_main.h"

namespace snaplark::platform::sim {

// What outlives one run of the agent: the settings store and the application package. Platform
// effects are reported on `out` as lines beginning with "@".
struct SimWorld {
    explicit SimWorld(std::ostream& out);

    std::ostream& out;
    std::map<std::string, PropertyValue, std::less<>> defaults;
    std::optional<InfoDictionary> info;
    bool statusItemHasButton = true;
    bool keyDownCannotBeMade = false;
    bool keyUpCannotBeMade = false;
    // Whether this platform tells the active application, and which one it is.
    bool knowsApplications = false;
    ActiveApplication activeApplication;
};

struct MenuRow {
    bool separator = false;
    std::string title;
    bool on = false;
    bool enabled = true;
};

struct StatusReport {
    bool highlight = false;
    bool menuAttached = false;
    bool hasButton = false;
    std::string image;      // resource name, or empty for none
    std::string alternate;  // likewise
    std::optional<Selector> action;
    bool hasTarget = false;
};

// One run of an application on the headless platform, from construction of its delegate and
// launch until it terminates or the object goes away.
class SimProcess {
public:
    SimProcess(SimWorld& world, const ApplicationModule& module);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    ApplicationDelegate& delegate();
    bool terminated() const;

    // A left-button press or release in another application.
    void leftMouse(bool down, ModifierFlags flags);
    void leftMouse(bool down, const Event& event);
    // The user opens the status menu (as before choosing an entry).
    void openMenu();
    // The preferences window's controls beyond the two checkboxes, as "name=value" words.
    std::vector<std::string> preferenceControls() const;
    // The user chooses the entry of that place in the paused applications' list and resumes it;
    // false when no window is shown.
    bool resumeApplication(std::size_t index);
    void tick();
    // The user chooses the status-menu entry with that title; false when there is none.
    bool chooseMenuEntry(std::string_view title);
    // The status item's button action is delivered; false when the item has no button.
    bool clickStatusButton();
    // The user clicks the checkbox of that outlet in the most recently shown window; false when
    // no window has been shown or it has no such checkbox.
    bool clickCheckbox(std::string_view outlet);
    // Runs the application's termination: the delegate is told, then the run ends.
    void terminate();

    std::vector<MenuRow> menuRows() const;
    StatusReport status() const;

    struct Services;

private:
    std::unique_ptr<Services> services_;
};

// Writes text between double quotes with \ " and line feed escaped as \\ \" \n.
std::string quoted(std::string_view text);

}  // namespace snaplark::platform::sim
