// snaplark-inputd: reads the input devices and types on a virtual keyboard for the agent of the
// session at the seat, so that no user needs access to every device. It tells the agent only of
// left-button presses and releases, and types only the chord that answers a click it heard.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-login.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inputd/layouts.h"
#include "inputd/server.h"
#include "inputd/sessions.h"
#include "platform/evdev/devices.h"
#include "platform/evdev/virtual_keyboard.h"
#include "platform/package_version.h"

namespace {

using namespace snaplark;
using platform::evdev::Devices;
using platform::evdev::VirtualKeyboard;

// The user the service runs as: a system user in the input group, so that it can read the
// devices, whose own group alone may write /dev/uinput (the package's udev rule).
constexpr const char* serviceUser = "snaplark-inputd";

constexpr const char* usage =
    "Usage: snaplark-inputd [--user NAME] [--socket PATH] [--devices DIR] [--uinput PATH]\n"
    "Serves Snaplark's clicks and chords to the agent of the active graphical session on\n"
    "seat0, or to a program of NAME with --user. Runs in the foreground; started by systemd\n"
    "as a rule. Started as root, it opens the virtual keyboard and then runs as the user\n"
    "snaplark-inputd.\n";

struct Options {
    std::optional<std::string> user;
    std::string socket = std::string(platform::evdev::service::socketDirectory) + "/" +
                         platform::evdev::service::socketName;
    std::string devices = "/dev/input";
    std::string uinput = "/dev/uinput";
};

std::int64_t monotonicMicroseconds()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t{ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
}

int fail(const std::string& message)
{
    std::cerr << "snaplark-inputd: " << message << '\n';
    return 1;
}

std::string nameOf(uid_t uid)
{
    if (const passwd* entry = getpwuid(uid)) return entry->pw_name;
    return "uid " + std::to_string(uid);
}

std::string directoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path)
{
    return path.substr(path.rfind('/') + 1);
}

// The socket's directory, opened without following a link; made if missing. With `owner`, it is
// given to that user (we are root and about to become them).
int openSocketDirectory(const std::string& directory, std::optional<passwd> owner)
{
    if (::mkdir(directory.c_str(), 0755) < 0 && errno != EEXIST) {
        std::cerr << "snaplark-inputd: cannot make " << directory << ": " << std::strerror(errno)
                  << '\n';
        return -1;
    }
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        std::cerr << "snaplark-inputd: cannot open " << directory << ": " << std::strerror(errno)
                  << '\n';
        return -1;
    }
    if (owner && ::fchown(fd, owner->pw_uid, owner->pw_gid) < 0) {
        std::cerr << "snaplark-inputd: cannot give " << directory << " to " << owner->pw_name
                  << ": " << std::strerror(errno) << '\n';
        ::close(fd);
        return -1;
    }
    return fd;
}

// Claims the socket's directory: it must be ours and writable by no one else, so that nothing
// there can change under us; then a lock in it (one service at a time) and the removal of a
// socket a service that did not stop cleanly left, both without following a link.
bool claim(const std::string& socketPath, int directory)
{
    struct stat info {};
    if (::fstat(directory, &info) < 0 || info.st_uid != ::geteuid() || (info.st_mode & 022) != 0) {
        std::cerr << "snaplark-inputd: " << directoryOf(socketPath)
                  << " must belong to the service alone (owner uid " << ::geteuid()
                  << ", not writable by group or others)\n";
        return false;
    }
    const std::string name = baseNameOf(socketPath);
    // Left open on purpose: the lock lasts as long as the process.
    const int lock = ::openat(directory, (name + ".lock").c_str(),
                              O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (lock < 0 || ::flock(lock, LOCK_EX | LOCK_NB) < 0) {
        std::cerr << "snaplark-inputd: another snaplark-inputd serves " << socketPath << '\n';
        return false;
    }
    struct stat old {};
    if (::fstatat(directory, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0) {
        if (!S_ISSOCK(old.st_mode)) {
            std::cerr << "snaplark-inputd: " << socketPath << " is there and is not a socket\n";
            return false;
        }
        ::unlinkat(directory, name.c_str(), 0);
    }
    return true;
}

// From root to the service's user, for good: its own groups (input, for the devices) and
// nothing else, and no way back (setresuid(2), PR_SET_NO_NEW_PRIVS).
std::string becomeServiceUser(const passwd& user)
{
    if (::initgroups(user.pw_name, user.pw_gid) < 0 ||
        ::setresgid(user.pw_gid, user.pw_gid, user.pw_gid) < 0 ||
        ::setresuid(user.pw_uid, user.pw_uid, user.pw_uid) < 0) {
        return std::string("cannot become ") + user.pw_name + ": " + std::strerror(errno);
    }
    if (::setuid(0) == 0 || ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) < 0) {
        return std::string("could not give up root");
    }
    return {};
}

// The session that may be served now, as a word for the log.
std::string describe(const std::optional<inputd::ActiveSession>& active)
{
    if (!active) return "no one (no session is active on seat0)";
    return "session " + active->id + " of " + nameOf(active->uid) + " (" + active->sessionClass +
           ", " + active->type + (active->remote ? ", remote" : "") + ")";
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg == "--help") {
            std::cout << usage;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "snaplark-inputd " << platform::packageShortVersion << '\n';
            return 0;
        }
        const char* given = nullptr;
        if (arg == "--user" && (given = value())) {
            options.user = given;
        } else if (arg == "--socket" && (given = value())) {
            options.socket = given;
        } else if (arg == "--devices" && (given = value())) {
            options.devices = given;
        } else if (arg == "--uinput" && (given = value())) {
            options.uinput = given;
        } else {
            std::cerr << "snaplark-inputd: unknown or incomplete option " << arg << '\n' << usage;
            return 2;
        }
    }

    std::optional<uid_t> onlyUser;
    if (options.user) {
        const passwd* entry = getpwnam(options.user->c_str());
        if (entry == nullptr) return fail("there is no user " + *options.user);
        onlyUser = entry->pw_uid;
    }

    // Ended by a signal read in the loop, so that the socket is removed on the way out.
    sigset_t stops;
    sigemptyset(&stops);
    sigaddset(&stops, SIGTERM);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGHUP);
    sigprocmask(SIG_BLOCK, &stops, nullptr);
    const int signals = signalfd(-1, &stops, SFD_NONBLOCK | SFD_CLOEXEC);

    // The virtual keyboard first: as root (the tests, a system without the package's udev rule)
    // it is the one thing root is needed for.
    VirtualKeyboard keyboard;
    if (const std::string problem = keyboard.open(options.uinput); !problem.empty()) {
        std::cerr << "snaplark-inputd: " << problem << '\n';
    }
    const bool activated = sd_listen_fds(1) >= 1;
    int socketDirectory = -1;
    if (::geteuid() == 0) {
        const passwd* entry = getpwnam(serviceUser);
        if (entry == nullptr) {
            return fail(std::string("there is no user ") + serviceUser +
                        " to run as; the package makes it, or start snaplark-inputd as that user");
        }
        const passwd user = *entry;
        if (!activated) {
            socketDirectory = openSocketDirectory(directoryOf(options.socket), user);
            if (socketDirectory < 0) return 1;
        }
        if (const std::string problem = becomeServiceUser(user); !problem.empty()) {
            return fail(problem);
        }
    } else if (!activated) {
        socketDirectory = openSocketDirectory(directoryOf(options.socket), std::nullopt);
        if (socketDirectory < 0) return 1;
    }

    inputd::LayoutPairs layouts;
    auto admission = [&options, onlyUser](pid_t pid, uid_t uid) -> std::optional<std::string> {
        if (onlyUser) {
            if (uid == *onlyUser) return std::nullopt;
            return "snaplark-inputd serves only " + *options.user;
        }
        return inputd::refusalFor(inputd::activeSessionOnSeat0(), inputd::peerSessionOf(pid, uid));
    };
    inputd::Server server(keyboard.isOpen() ? &keyboard : nullptr, admission, layouts);

    // Socket activation (sd_listen_fds(3)): systemd made the socket and keeps it across restarts.
    if (activated) {
        server.adopt(SD_LISTEN_FDS_START);
        options.socket = "the socket systemd handed over";
    } else {
        if (!claim(options.socket, socketDirectory)) return 1;
        if (const std::string problem = server.listen(options.socket); !problem.empty()) {
            return fail(problem);
        }
    }

    Devices devices(options.devices, inputd::belongsToSeat0);
    if (const std::string problem = devices.open(); !problem.empty()) {
        std::cerr << "snaplark-inputd: " << problem << '\n';
    }

    sd_login_monitor* seats = nullptr;
    std::optional<inputd::ActiveSession> served;
    if (onlyUser) {
        std::cerr << "snaplark-inputd: serving " << *options.user << " on " << options.socket
                  << '\n';
    } else {
        // A change of the active session is a change of the seat (sd_login_monitor_new(3)).
        if (sd_login_monitor_new("seat", &seats) < 0) {
            return fail("cannot follow the active session (is logind running?); use --user NAME");
        }
        served = inputd::activeSessionOnSeat0();
        std::cerr << "snaplark-inputd: serving " << describe(served) << " on " << options.socket
                  << '\n';
    }

    for (;;) {
        std::vector<pollfd> fds;
        fds.push_back({signals, POLLIN, 0});
        if (seats != nullptr) fds.push_back({sd_login_monitor_get_fd(seats), POLLIN, 0});
        const std::size_t serverStart = fds.size();
        for (const int fd : server.descriptors(inputd::Server::Clock::now()))
            fds.push_back({fd, POLLIN, 0});
        const std::size_t deviceStart = fds.size();
        for (const int fd : devices.descriptors())
            fds.push_back({fd, POLLIN, 0});

        int timeout = -1;
        auto deadline = server.deadline();
        if (const auto retry = devices.nextRetry()) {
            deadline = deadline ? std::min(*deadline, *retry) : *retry;
        }
        if (server.learning()) {
            timeout = 0;
        } else if (deadline) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - inputd::Server::Clock::now());
            timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            return fail(std::string("poll: ") + std::strerror(errno));
        }
        if (fds[0].revents != 0) {
            std::cerr << "snaplark-inputd: stopping\n";
            break;
        }
        // A change of session first, before anything of this round is heard or typed: what the
        // old session's agent asked for and the clicks it heard go with it.
        if (seats != nullptr && fds[1].revents != 0) {
            sd_login_monitor_flush(seats);
            auto now = inputd::activeSessionOnSeat0();
            const auto id = [](const std::optional<inputd::ActiveSession>& s) {
                return s ? s->id : std::string();
            };
            if (id(now) != id(served)) {
                served = std::move(now);
                server.reset("snaplark-inputd now serves another session");
                std::cerr << "snaplark-inputd: serving " << describe(served) << '\n';
            }
        }
        for (std::size_t i = serverStart; i < deviceStart; ++i) {
            if (fds[i].revents != 0) server.ready(fds[i].fd, monotonicMicroseconds());
        }
        bool deviceReady = false;
        for (std::size_t i = deviceStart; i < fds.size(); ++i)
            deviceReady = deviceReady || fds[i].revents != 0;
        devices.retry(Devices::Clock::now());
        if (deviceReady) {
            for (const auto& click : devices.read())
                server.seen(click);
        }
        if (server.learning()) server.learn();
        server.settle(devices.seat().flags(), inputd::Server::Clock::now());
    }
    if (seats != nullptr) sd_login_monitor_unref(seats);
    return 0;
}
