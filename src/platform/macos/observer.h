#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/event_monitor.h"

namespace snaplark::platform::macos {

// The left button of every application, observed through one listen-only event tap on the main
// run loop, so handlers run on the main thread in event order, also while a menu or a modal dialog
// is open. Each event's flag word goes to the handlers as it is: Core Graphics and the gesture
// engine name the modifiers with the same bits.
class Observer final : public EventMonitors {
public:
    // Events aimed at `ownProcess` (this process: our status menu and windows) are not gestures.
    explicit Observer(std::int64_t ownProcess);
    ~Observer() override;
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Left-mouse-down and left-mouse-up masks are observed; the tap is made with the first monitor
    // and nullptr comes back while the system refuses it.
    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override;

    struct Tap;

private:
    std::unique_ptr<Tap> tap_;
};

}  // namespace snaplark::platform::macos
