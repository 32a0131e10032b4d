#include "inputd/sessions.h"

#include <sys/stat.h>
#include <systemd/sd-device.h>
#include <systemd/sd-login.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace snaplark::inputd {
namespace {

// The string an sd-login call hands out (the caller frees it), or nothing when it fails.
template <typename Call> std::optional<std::string> ask(Call call)
{
    char* text = nullptr;
    const int result = call(&text);
    const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
    if (result < 0 || text == nullptr) return std::nullopt;
    return std::string(text);
}

bool isGraphical(const std::string& type)
{
    return type == "wayland" || type == "x11" || type == "mir";
}

}  // namespace

std::optional<std::string> refusalFor(const std::optional<ActiveSession>& active,
                                      const PeerSession& peer)
{
    if (!active || active->sessionClass != "user" || active->remote || !isGraphical(active->type)) {
        return "snaplark-inputd serves the active graphical session on seat0, and there is none";
    }
    const bool inSession = peer.session == active->id;
    const bool sessionApplication =
        !peer.session && peer.userSlice == "app.slice" && peer.displaySession == active->id;
    if (peer.uid != active->uid || !(inSession || sessionApplication)) {
        return "snaplark-inputd serves only the active graphical session on seat0, and this "
               "program is not part of it";
    }
    return std::nullopt;
}

std::optional<ActiveSession> activeSessionOnSeat0()
{
    ActiveSession active;
    const auto id =
        ask([&active](char** id) { return sd_seat_get_active("seat0", id, &active.uid); });
    if (!id) return std::nullopt;
    active.id = *id;
    const char* session = id->c_str();
    active.sessionClass =
        ask([session](char** text) { return sd_session_get_class(session, text); }).value_or("");
    active.type =
        ask([session](char** text) { return sd_session_get_type(session, text); }).value_or("");
    // Anything but a clear "local" counts as remote.
    active.remote = sd_session_is_remote(session) != 0;
    return active;
}

PeerSession peerSessionOf(pid_t pid, uid_t uid)
{
    PeerSession peer;
    peer.uid = uid;
    peer.session = ask([pid](char** text) { return sd_pid_get_session(pid, text); });
    if (!peer.session) {
        peer.userSlice = ask([pid](char** text) { return sd_pid_get_user_slice(pid, text); });
        peer.displaySession = ask([uid](char** text) { return sd_uid_get_display(uid, text); });
    }
    return peer;
}

platform::evdev::Devices::Belongs belongsToSeat0(int fd)
{
    using Belongs = platform::evdev::Devices::Belongs;
    struct stat node {};
    if (::fstat(fd, &node) < 0) return Belongs::no;
    sd_device* device = nullptr;
    if (sd_device_new_from_devnum(&device, 'c', node.st_rdev) < 0) {
        // No udev database at all (a container, a bare test system): one seat.
        return ::access("/run/udev/control", F_OK) == 0 ? Belongs::notYet : Belongs::yes;
    }
    Belongs belongs = Belongs::notYet;
    if (sd_device_get_is_initialized(device) > 0) {
        const char* seat = nullptr;
        const bool other = sd_device_get_property_value(device, "ID_SEAT", &seat) >= 0 &&
                           seat != nullptr && std::string(seat) != "seat0";
        belongs = other ? Belongs::no : Belongs::yes;
    }
    sd_device_unref(device);
    return belongs;
}

}  // namespace snaplark::inputd
