#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event_monitor.h"

namespace snaplark::platform::macos {

// Whether the left button of other applications reaches Snaplark, judged by what the event tap
// does rather than by a permission check.
enum class Clicks {
    seen,     // the tap exists and has delivered, or has not yet been shown not to
    refused,  // the system would not make the tap
    silent,   // the tap exists but let one of our own clicks go by unseen
};

// How far, in points, the pointer must move between press and release for the release to end a
// drag. AppKit publishes no such distance; a few points tell a drag over a character from a click
// whose hand moved slightly.
inline constexpr double dragDistance = 4.0;

// The left button of every application, observed through one listen-only event tap on the main
// run loop, so handlers run on the main thread in event order, also while a menu or a modal dialog
// is open. Each event's flag word goes to the handlers as it is: Core Graphics and the gesture
// engine name the modifiers with the same bits. A release also tells whether the pointer moved at
// least dragDistance since the press, and how many clicks it ends, as the system counted them.
class Observer final : public EventMonitors {
public:
    // Events aimed at `ownProcess` (this process: our status menu and windows) are not gestures.
    // `frontApplication`, where given, names the application each event goes with.
    explicit Observer(std::int64_t ownProcess,
                      std::function<ActiveApplication()> frontApplication = {});
    ~Observer() override;
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Left-mouse-down and left-mouse-up masks are observed. The monitor is kept even while the
    // system refuses the tap, and is served once retryTap() gets one.
    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override;

    Clicks clicks() const;
    // Makes the tap anew when it was refused or is silent: a permission granted meanwhile applies
    // only to a tap made after it.
    void retryTap();
    // Called when the user has just clicked Snaplark's own status item: the tap sees clicks on our
    // own windows too, so one that has delivered nothing at all since it was made is not working.
    void ownClickHappened();

    struct Tap;

private:
    std::unique_ptr<Tap> tap_;
};

}  // namespace snaplark::platform::macos
