#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/chord.h"
#include "platform/evdev/seat_state.h"
#include "platform/evdev/service_protocol.h"
#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev::service {

// Which chord a client may have typed: one per physical gesture the service saw itself, asked
// for soon after it. A copy answers a release with Control alone, a paste a press with Control
// and Shift (the agent's copy and paste gestures), so a program that connects can type only what
// the user just asked for with the mouse.
class GesturePolicy {
public:
    // How long after its gesture a request is still an answer to it: the agent answers at once,
    // but may wait up to 300 ms to learn whether a click was in its own window, and a busy
    // machine adds to that.
    static constexpr std::int64_t maxAge = 1'000'000;  // microseconds

    // Gestures not yet answered are kept, a few of each kind, so that a quick second click
    // gets its own chord.
    static constexpr std::size_t kept = 4;

    void seen(const Click& click);
    Outcome::Code judge(ChordRequest::Action action, std::int64_t now);

private:
    struct Gestures {
        std::deque<std::int64_t> waiting;  // times of gestures not yet answered, oldest first
        std::optional<std::int64_t> lastAnswered;
    };
    Gestures copies_;
    Gestures pastes_;
};

// The service's clients and what they may do. Only the allowed user's processes are served
// (checked with the peer's credentials as each connects); a change of user cuts the others off.
// A client that sends anything malformed, sends too much, or does not read what it is sent is
// dropped; the others do not notice.
class Server {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t maxClients = 8;
    // Requests a client may send in one second: far more than anyone clicks, so that only a
    // runaway client reaches it (an extra request is refused anyway, this only bounds the work).
    static constexpr int maxRequestsPerSecond = 200;

    // `keyboard` is null when the service could not make its virtual keyboard: requests are then
    // answered noKeyboard.
    explicit Server(KeySink* keyboard) : keyboard_(keyboard) {}
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens on a socket made at `path` (an old one there is replaced) or on one handed over
    // by the service manager. Returns what went wrong, or an empty string.
    std::string listen(const std::string& path);
    void adopt(int listeningSocket);

    // Who may connect now (none: nobody), and what the others are told.
    void allowUser(std::optional<uid_t> uid, std::string refusal);

    std::vector<int> descriptors() const;
    // A descriptor from descriptors() is readable.
    void ready(int fd, std::int64_t now);

    // A click the seat made: clients hear it, and it may be a gesture.
    void seen(const Click& click);
    // Types the granted chords the seat now allows, drops those that waited too long.
    void settle(ModifierFlags seatFlags, Clock::time_point now);
    std::optional<Clock::time_point> deadline() const;

    std::size_t clientCount() const { return clients_.size(); }

private:
    struct Client {
        uid_t uid = 0;
        std::int64_t windowStart = 0;
        int requests = 0;
    };
    struct Pending {
        int client;
        Chord chord;
        std::uint16_t key;
        Clock::time_point since;
    };

    void accept();
    void read(int fd, std::int64_t now);
    void handle(int fd, const ChordRequest& request, std::int64_t now);
    bool send(int fd, const ServiceMessage& message);
    void drop(int fd, const std::string& why);

    KeySink* keyboard_;
    int listening_ = -1;
    std::string path_;
    std::optional<uid_t> allowed_;
    std::string refusal_ = "snaplark-inputd serves no one yet";
    std::map<int, Client> clients_;
    GesturePolicy policy_;
    std::deque<Pending> pending_;
};

}  // namespace snaplark::platform::evdev::service
