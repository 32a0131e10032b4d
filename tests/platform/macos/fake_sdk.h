#pragma once

// The recording fake behind the test-only SDK headers: every call the backend makes that changes
// something is written down as one line, in C notation, so that tests compare it with a table.

#include <ApplicationServices/ApplicationServices.h>

#include <cstdint>
#include <string>
#include <vector>

namespace snaplark::fake_sdk {

struct Settings {
    bool keyDownCannotBeMade = false;
    bool keyUpCannotBeMade = false;
    bool tapRefused = false;  // as without the permission the system wants for taps
    bool trusted = false;     // the Accessibility permission
    bool applicationExists = true;
};

// Forgets every call and object and restores the default settings.
void reset();
Settings& settings();
const std::vector<std::string>& calls();
// Objects that were created for the caller and not released yet.
std::vector<std::string> liveObjects();

// The window server sends a mouse event through every tap that is enabled, asked for this type and
// is on the main run loop.
void sendMouseEvent(CGEventType type, CGEventFlags flags, std::int64_t targetProcess,
                    std::int64_t sourceProcess = 1);
// The system switches the taps off and tells each of them why.
void disableTaps(CGEventType reason);

// Called by the fake objc_msgSend, which has the untyped signature of the real one.
void* receiveMessage(void* receiver, void* selector, long argument);

}  // namespace snaplark::fake_sdk
