#include "platform/macos/observer.h"

#include <ApplicationServices/ApplicationServices.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>
#include <vector>

namespace snaplark::platform::macos {

// The flag word is handed over unchanged because these are the same bits.
static_assert(kCGEventFlagMaskAlphaShift == modifier::capsLock);
static_assert(kCGEventFlagMaskShift == modifier::shift);
static_assert(kCGEventFlagMaskControl == modifier::control);
static_assert(kCGEventFlagMaskAlternate == modifier::option);
static_assert(kCGEventFlagMaskCommand == modifier::command);
static_assert(kCGEventFlagMaskNumericPad == modifier::numericPad);
static_assert(kCGEventFlagMaskHelp == modifier::help);
static_assert(kCGEventFlagMaskSecondaryFn == modifier::function);
static_assert(CGEventMaskBit(kCGEventLeftMouseDown) == leftMouseDownMask);
static_assert(CGEventMaskBit(kCGEventLeftMouseUp) == leftMouseUpMask);

namespace {

class Token final : public MonitorToken {};

struct Monitor {
    std::uint64_t mask;
    std::function<void(const Event&)> handler;
};

CGEventRef onTapEvent(CGEventTapProxy proxy, CGEventType type, CGEventRef event, void* userInfo);

}  // namespace

// One event tap and its run-loop source, released together.
struct Observer::Tap {
    Tap(std::int64_t ownProcess, std::function<ActiveApplication()> frontApplication)
        : ownProcess(ownProcess), frontApplication(std::move(frontApplication))
    {
    }
    ~Tap() { stop(); }

    void start();
    void stop();
    void deliver(CGEventType type, CGEventRef event);

    const std::int64_t ownProcess;
    const std::function<ActiveApplication()> frontApplication;
    std::vector<Monitor> monitors;
    std::optional<CGPoint> pressedAt;  // of the last press seen, until its release
    CFMachPortRef port = nullptr;
    CFRunLoopSourceRef source = nullptr;
    bool delivered = false;  // since the tap was made
    bool silent = false;
};

namespace {

CGEventRef onTapEvent(CGEventTapProxy /*proxy*/, CGEventType type, CGEventRef event, void* userInfo)
{
    static_cast<Observer::Tap*>(userInfo)->deliver(type, event);
    // A listen-only tap cannot change the event; it goes on as it came.
    return event;
}

}  // namespace

void Observer::Tap::start()
{
    // At the annotated session tap each event already names the process it goes to. NULL when
    // the system does not permit the tap (CGEventTapCreate reference).
    port = CGEventTapCreate(
        kCGAnnotatedSessionEventTap, kCGTailAppendEventTap, kCGEventTapOptionListenOnly,
        CGEventMaskBit(kCGEventLeftMouseDown) | CGEventMaskBit(kCGEventLeftMouseUp), onTapEvent,
        this);
    if (port == nullptr) return;
    source = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port, 0);
    if (source == nullptr) {
        stop();
        return;
    }
    // Common modes: clicks elsewhere still count while our menu or a dialog is open.
    CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
    delivered = silent = false;
}

void Observer::Tap::stop()
{
    if (source != nullptr) {
        CFRunLoopRemoveSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
        CFRelease(source);
        source = nullptr;
    }
    if (port != nullptr) {
        CFMachPortInvalidate(port);
        CFRelease(port);
        port = nullptr;
    }
}

void Observer::Tap::deliver(CGEventType type, CGEventRef event)
{
    // The system switches off a tap it finds slow, or on the user's request, and tells the tap
    // so; it may be switched on again (CGEventTapEnable reference). The next gesture must count.
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
        CGEventTapEnable(port, true);
        return;
    }
    if (type != kCGEventLeftMouseDown && type != kCGEventLeftMouseUp) return;
    delivered = true;
    silent = false;
    if (CGEventGetIntegerValueField(event, kCGEventTargetUnixProcessID) == ownProcess) return;

    Event observed{CGEventGetFlags(event)};
    // Global display coordinates, in points (CGEventGetLocation reference).
    const CGPoint at = CGEventGetLocation(event);
    if (type == kCGEventLeftMouseDown) {
        pressedAt = at;
    } else {
        observed.dragged = pressedAt && (std::abs(at.x - pressedAt->x) >= dragDistance ||
                                         std::abs(at.y - pressedAt->y) >= dragDistance);
        pressedAt.reset();
        // The system's own count: 2 for a double click, 3 for a triple click (CGEventField
        // reference). A count below one, which no click has, is taken as one.
        observed.clickCount = static_cast<int>(
            std::max<std::int64_t>(1, CGEventGetIntegerValueField(event, kCGMouseEventClickState)));
    }
    if (frontApplication) observed.application = frontApplication();
    // By index: a handler may add a monitor.
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if ((monitors[i].mask & CGEventMaskBit(type)) != 0) monitors[i].handler(observed);
    }
}

Observer::Observer(std::int64_t ownProcess, std::function<ActiveApplication()> frontApplication)
    : tap_(std::make_unique<Tap>(ownProcess, std::move(frontApplication)))
{
}

Observer::~Observer() = default;

std::shared_ptr<MonitorToken>
Observer::addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                                std::function<void(const Event&)> handler)
{
    tap_->monitors.push_back({mask, std::move(handler)});
    if (tap_->port == nullptr) tap_->start();
    return std::make_shared<Token>();
}

Clicks Observer::clicks() const
{
    if (tap_->port == nullptr) return Clicks::refused;
    return tap_->silent ? Clicks::silent : Clicks::seen;
}

void Observer::retryTap()
{
    if (clicks() == Clicks::seen) return;
    tap_->stop();
    tap_->start();
}

void Observer::ownClickHappened()
{
    if (tap_->port != nullptr && !tap_->delivered) tap_->silent = true;
}

}  // namespace snaplark::platform::macos
