// snaplark-inputd: reads the input devices and types on a virtual keyboard for the agent of the
// user at the seat, so that no user needs access to every device. It tells the agent only of
// left-button presses and releases, and types only the chord that answers a click it saw.

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <systemd/sd-daemon.h>
#include <systemd/sd-login.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/evdev/devices.h"
#include "platform/evdev/service_server.h"
#include "platform/evdev/virtual_keyboard.h"
#include "platform/package_version.h"

namespace {

using namespace snaplark::platform::evdev;

constexpr const char* usage =
    "Usage: snaplark-inputd [--user NAME] [--socket PATH] [--devices DIR] [--uinput PATH]\n"
    "Serves Snaplark's clicks and chords to the user of the active session on seat0, or to\n"
    "NAME alone with --user. Runs in the foreground; started by systemd as a rule.\n";

struct Options {
    std::optional<std::string> user;
    std::string socket = std::string(service::socketDirectory) + "/" + service::socketName;
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

// The user of the active session on seat0, as logind tells it (sd_seat_get_active(3)); none
// while the greeter or nobody is there.
std::optional<uid_t> activeUser()
{
    uid_t uid = 0;
    if (sd_seat_get_active("seat0", nullptr, &uid) < 0) return std::nullopt;
    return uid;
}

std::string nameOf(uid_t uid)
{
    if (const passwd* entry = getpwuid(uid)) return entry->pw_name;
    return "uid " + std::to_string(uid);
}

// The directory of the socket, made if missing, and a lock in it so that one service runs.
bool claim(const std::string& socketPath)
{
    const std::string directory = socketPath.substr(0, socketPath.rfind('/'));
    if (!directory.empty() && ::mkdir(directory.c_str(), 0755) < 0 && errno != EEXIST) {
        std::cerr << "snaplark-inputd: cannot make " << directory << ": " << std::strerror(errno)
                  << '\n';
        return false;
    }
    const std::string lock = socketPath + ".lock";
    // Left open on purpose: the lock lasts as long as the process.
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) < 0) {
        std::cerr << "snaplark-inputd: another snaplark-inputd serves " << socketPath << '\n';
        return false;
    }
    return true;
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
            std::cout << "snaplark-inputd " << snaplark::platform::packageShortVersion << '\n';
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

    VirtualKeyboard keyboard;
    if (const std::string problem = keyboard.open(options.uinput); !problem.empty()) {
        std::cerr << "snaplark-inputd: " << problem << '\n';
    }
    service::Server server(keyboard.isOpen() ? &keyboard : nullptr);

    // Socket activation (sd_listen_fds(3)): systemd made the socket and keeps it across restarts.
    if (sd_listen_fds(1) >= 1) {
        server.adopt(SD_LISTEN_FDS_START);
        options.socket = "the socket systemd handed over";
    } else {
        if (!claim(options.socket)) return 1;
        if (const std::string problem = server.listen(options.socket); !problem.empty()) {
            return fail(problem);
        }
    }

    Devices devices(options.devices);
    if (const std::string problem = devices.open(); !problem.empty()) {
        std::cerr << "snaplark-inputd: " << problem << '\n';
    }

    sd_login_monitor* seats = nullptr;
    if (onlyUser) {
        server.allowUser(onlyUser, "snaplark-inputd serves only " + *options.user);
        std::cerr << "snaplark-inputd: serving " << *options.user << " on " << options.socket
                  << '\n';
    } else {
        // A change of the active session is a change of the seat (sd_login_monitor_new(3)).
        if (sd_login_monitor_new("seat", &seats) < 0) {
            return fail("cannot follow the active session (is logind running?); use --user NAME");
        }
    }

    std::optional<uid_t> served;
    bool seatChanged = true;
    for (;;) {
        if (seats != nullptr && seatChanged) {
            const auto now = activeUser();
            if (now != served || !served) {
                served = now;
                server.allowUser(served, "snaplark-inputd serves only the user of the active "
                                         "session on seat0");
                std::cerr << "snaplark-inputd: serving "
                          << (served ? nameOf(*served) : std::string("no one (no active session)"))
                          << '\n';
            }
        }
        seatChanged = false;

        std::vector<pollfd> fds;
        fds.push_back({signals, POLLIN, 0});
        if (seats != nullptr) fds.push_back({sd_login_monitor_get_fd(seats), POLLIN, 0});
        const std::size_t deviceStart = fds.size();
        for (const int fd : devices.descriptors())
            fds.push_back({fd, POLLIN, 0});
        const std::size_t serverStart = fds.size();
        for (const int fd : server.descriptors())
            fds.push_back({fd, POLLIN, 0});

        int timeout = -1;
        if (const auto deadline = server.deadline()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                *deadline - service::Server::Clock::now());
            timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) {
            return fail(std::string("poll: ") + std::strerror(errno));
        }
        if (fds[0].revents != 0) {
            std::cerr << "snaplark-inputd: stopping\n";
            break;
        }
        if (seats != nullptr && fds[1].revents != 0) {
            sd_login_monitor_flush(seats);
            seatChanged = true;
        }

        bool deviceReady = false;
        for (std::size_t i = deviceStart; i < serverStart; ++i)
            deviceReady = deviceReady || fds[i].revents != 0;
        if (deviceReady) {
            for (const auto& click : devices.read())
                server.seen(click);
        }
        for (std::size_t i = serverStart; i < fds.size(); ++i) {
            if (fds[i].revents != 0) server.ready(fds[i].fd, monotonicMicroseconds());
        }
        server.settle(devices.seat().flags(), service::Server::Clock::now());
    }
    if (seats != nullptr) sd_login_monitor_unref(seats);
    return 0;
}
