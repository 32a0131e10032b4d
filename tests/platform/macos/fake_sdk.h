#pragma once

// The fake behind the test-only SDK headers: a small model of what macOS does with Snaplark's
// calls (taps that deliver or not, events typed, a keyboard layout, the user defaults, the front
// application), for the tests to set up and look at. It agrees with the code by construction; only
// Apple's documentation says macOS behaves so.

#include <Carbon/Carbon.h>

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace snaplark::fake_sdk {

struct KeyPress {
    CGKeyCode key;
    bool down;
    CGEventFlags flags;
    bool operator==(const KeyPress&) const = default;
};

// A running application as NSRunningApplication describes it; nil properties are none.
struct RunningApplication {
    std::int64_t process;
    std::optional<std::string> bundleIdentifier, localizedName;
};

// What each key types, without modifiers and with Command held.
struct Layout {
    std::map<CGKeyCode, char16_t> plain, withCommand;
};

struct World {
    std::set<const void*> live;    // objects made for the caller and not released yet
    bool tapRefused = false;       // as without the permission taps need
    bool tapSilent = false;        // a tap is made, but no event reaches it
    bool typingAllowed = true;     // what CGPreflightPostEventAccess answers
    std::vector<KeyPress> typed;   // posted at the HID level
    std::optional<Layout> layout;  // none: the layout has no Unicode data
    // The user defaults: domain, key, value (a number as `defaults write -int` stores it).
    std::map<std::string, std::map<std::string, std::variant<bool, std::string, std::int64_t>>>
        preferences;
    bool preferencesRefused = false;          // writing fails, as on a full or locked disk
    std::optional<RunningApplication> front;  // NSWorkspace's frontmostApplication; none: nil
    // SMAppService's main app service: its status (SMAppServiceStatus), whether registering
    // succeeds and the status it then takes, and how often the Login Items pane was opened.
    long loginStatus = 0;
    bool loginRegisters = true;
    long statusOnceRegistered = 1;
    int loginSettingsOpened = 0;
    std::optional<long> activationPolicy;  // as NSApplication was last given it
};
// A test starts afresh with `world = {}`.
extern World world;

// The window server passes a left-button event to every working tap, with the pointer's place and
// the click state it counted.
void click(CGEventType type, CGEventFlags flags, std::int64_t target, CGPoint at = {},
           std::int64_t clickState = 1);
// The window server switches every tap off and tells it why.
void switchTapsOff(CGEventType why);

}  // namespace snaplark::fake_sdk
