#pragma once

#include <cstdint>
#include <deque>
#include <optional>

#include "platform/evdev/seat_state.h"
#include "platform/evdev/service_protocol.h"

namespace snaplark::inputd {

using platform::evdev::Click;
using platform::evdev::service::ChordRequest;
using platform::evdev::service::Outcome;

// The clicks the client heard, by the numbers it heard them with, and the chord each may still
// have: a copy answers a release with Control alone, a paste a press with Control and Shift; each
// once, soon after it. A request that names no click the client heard (one it guessed, or one
// from before it connected) gets nothing.
class Clicks {
public:
    // How long after its click a request is still an answer to it: the agent answers at once,
    // but may wait up to 300 ms to learn whether a click was in its own window, and a busy
    // machine adds to that.
    static constexpr std::int64_t maxAge = 1'000'000;  // microseconds
    // More than a hand makes in maxAge.
    static constexpr std::size_t kept = 16;

    void heard(std::uint64_t id, const Click& click);
    Outcome::Code judge(ChordRequest::Action action, std::uint64_t id, std::int64_t now);
    void clear() { heard_.clear(); }

private:
    struct Heard {
        std::uint64_t id;
        std::optional<ChordRequest::Action> gesture;
        std::int64_t time;
        bool answered = false;
    };
    std::deque<Heard> heard_;
};

// The gesture a click makes, if any, judged as the agent judges it.
std::optional<ChordRequest::Action> gestureOf(const Click& click);

}  // namespace snaplark::inputd
