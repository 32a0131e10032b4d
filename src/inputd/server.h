#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inputd/clicks.h"
#include "inputd/layouts.h"
#include "platform/chord.h"
#include "platform/evdev/service_protocol.h"
#include "platform/evdev/typist.h"

namespace snaplark::inputd {

using platform::evdev::ChordKeys;
using platform::evdev::KeySink;

// A line on standard error at most every `interval`, with a count of those left out, so that a
// program knocking in a loop cannot fill the journal.
class Throttle {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::seconds interval{10};
    void say(const std::string& line, Clock::time_point now);

private:
    std::optional<Clock::time_point> last_;
    long quiet_ = 0;
};

// The service's one client and what it may do. One program is served at a time: the agent of
// the session the admission rule lets in; a second is refused and told who holds the service. It
// hears every click, with a number it must name to have the chord that answers it typed. A client
// that sends anything malformed, sends too much, or does not read what it is sent is dropped.
class Server {
public:
    using Clock = std::chrono::steady_clock;
    // Why a peer may not be served (nothing: it may).
    using Admission = std::function<std::optional<std::string>(pid_t pid, uid_t uid)>;

    // Messages a client may send in one second: far more than anyone clicks, so that only a
    // runaway client reaches it (an extra request is refused anyway, this only bounds the work).
    static constexpr int maxMessagesPerSecond = 200;
    // How long accept() rests when the service is out of descriptors.
    static constexpr std::chrono::seconds acceptPause{1};

    // `keyboard` is null when the service could not make its virtual keyboard: requests are then
    // answered noKeyboard.
    Server(KeySink* keyboard, Admission admission, LayoutJudge& layouts);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Listens on a socket made at `path`, whose directory must be ours alone (nothing there is
    // replaced), or on one handed over by the service manager. Returns what went wrong, or an
    // empty string.
    std::string listen(const std::string& path);
    void adopt(int listeningSocket);

    // Whom the service serves changed: the client is told why and dropped, and every click and
    // chord waiting is forgotten.
    void reset(const std::string& why);

    // The client first, so that a client's leaving is seen before a newcomer knocks.
    std::vector<int> descriptors(Clock::time_point now) const;
    // A descriptor from descriptors() is readable.
    void ready(int fd, std::int64_t now);

    // A click the seat made: the client hears it, and may answer it.
    void seen(const Click& click);
    // Types the granted chords the seat now allows, drops those that waited too long.
    void settle(platform::ModifierFlags seatFlags, Clock::time_point now);
    std::optional<Clock::time_point> deadline() const;

    // The client's keys are not judged yet: learn() as soon as there is nothing else to do.
    bool learning() const { return client_ && client_->claimed; }
    void learn();

    bool hasClient() const { return client_.has_value(); }

private:
    struct Client {
        int fd;
        pid_t pid;
        uid_t uid;
        ChordKeys keys;                    // those its chords are typed with
        bool keysGiven = false;            // it named its layout's keys
        std::optional<ChordKeys> claimed;  // ...which are not judged yet
        std::int64_t windowStart = 0;
        int messages = 0;
    };
    struct Pending {
        platform::Chord chord;
        Clock::time_point since;
    };

    void accept();
    void read(std::int64_t now);
    void handle(const platform::evdev::service::AgentMessage& message, std::int64_t now);
    bool send(const platform::evdev::service::ServiceMessage& message);
    void drop(const std::string& why);
    void settleKeys();
    void refuse(int fd, const platform::evdev::service::ServiceMessage& message,
                const std::string& log);

    KeySink* keyboard_;
    Admission admission_;
    LayoutJudge& layouts_;
    int listening_ = -1;
    std::string path_;
    std::optional<Clock::time_point> acceptPausedUntil_;
    std::optional<Client> client_;
    Clicks clicks_;
    std::deque<Pending> pending_;
    Throttle refusals_;
};

}  // namespace snaplark::inputd
