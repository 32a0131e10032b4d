#pragma once

// The recording fake behind the test-only SDK headers: every call the macOS input makes that
// changes something is written down as one line, in C notation, for the tests to compare.

#include <ApplicationServices/ApplicationServices.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace snaplark::fake_sdk {

struct World {
    bool keyEventsRefused = false;
    bool tapRefused = false;     // as without the permission taps need
    bool trusted = false;        // the Accessibility permission
    bool listening = true;       // the Input Monitoring permission
    std::string calls;           // "function(arguments) = result", separated by "; "
    std::set<const void*> live;  // objects created for the caller and not released yet
    std::map<std::string, int> made;
    // The user defaults: domain, key, value.
    std::map<std::string, std::map<std::string, bool>> preferences;
    bool preferencesRefused = false;       // writing fails, as on a full or locked disk
    std::set<std::string> missingClasses;  // Objective-C classes this system does not have
    long loginItemStatus = 0;              // SMAppServiceStatus of the main app
    bool loginItemRefused = false;         // registering and unregistering fail
};
// A test starts afresh with `world = {}`.
extern World world;

// The window server passes an event, or the news that it switched the taps off, to every tap.
void send(CGEventType type, CGEventFlags flags, std::int64_t target, std::int64_t source = 1);
// Writes "what(flags)" into the calls.
void note(const char* what, CGEventFlags flags);

}  // namespace snaplark::fake_sdk
