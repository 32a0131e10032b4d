#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "platform/evdev/devices.h"

namespace snaplark::inputd {

// What logind records of the session active on seat0.
struct ActiveSession {
    std::string id;
    uid_t uid = 0;
    std::string sessionClass;  // "user", "greeter", "lock-screen"…
    std::string type;          // "wayland", "x11", "tty"…
    bool remote = false;
};

// What logind records of a client's process.
struct PeerSession {
    uid_t uid = 0;
    std::optional<std::string> session;  // the session the process belongs to
    // For a process of the user's service manager, which belongs to no session: the slice it
    // runs in, and the user's graphical session.
    std::optional<std::string> userSlice;
    std::optional<std::string> displaySession;
};

// Whom the service serves: the user at seat0, in the active, local, graphical session (not the
// greeter, not a remote or text session), with the programs of that session, and the
// applications its desktop started through the user's service manager: GNOME and Plasma start
// what they launch in app.slice, outside the session's own scope (systemd's "Desktop
// Environment Integration"). Other sessions of the same user and background services are
// refused. Returns why a client is refused, or nothing when it is served.
std::optional<std::string> refusalFor(const std::optional<ActiveSession>& active,
                                      const PeerSession& peer);

// Read from logind's records (sd-login(3)).
std::optional<ActiveSession> activeSessionOnSeat0();
PeerSession peerSessionOf(pid_t pid, uid_t uid);

// Whether an opened input device is seat0's: udev names another seat with ID_SEAT, and a device
// without it is seat0's (sd-login(3)). One udev has not set up yet is asked about again later;
// without udev there is one seat.
platform::evdev::Devices::Belongs belongsToSeat0(int fd);

}  // namespace snaplark::inputd
