#include "platform/macos/observer.h"

#include <ApplicationServices/ApplicationServices.h>

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

struct Observer::Tap {
    struct Monitor {
        std::uint64_t mask;
        std::function<void(const Event&)> handler;
    };

    explicit Tap(std::int64_t ownProcess) : ownProcess(ownProcess) {}

    ~Tap()
    {
        if (port == nullptr) return;
        CGEventTapEnable(port, false);
        CFRunLoopRemoveSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
        CFRelease(source);
        CFMachPortInvalidate(port);
        CFRelease(port);
    }

    bool start();
    void deliver(CGEventType type, CGEventRef event);

    const std::int64_t ownProcess;
    CFMachPortRef port = nullptr;
    CFRunLoopSourceRef source = nullptr;
    std::vector<Monitor> monitors;
};

namespace {

class Token final : public MonitorToken {};

CGEventRef onTapEvent(CGEventTapProxy /*proxy*/, CGEventType type, CGEventRef event, void* userInfo)
{
    static_cast<Observer::Tap*>(userInfo)->deliver(type, event);
    // A listen-only tap cannot change the event; it goes on as it came.
    return event;
}

}  // namespace

bool Observer::Tap::start()
{
    // At the annotated session tap each event already names the process it goes to.
    port = CGEventTapCreate(
        kCGAnnotatedSessionEventTap, kCGTailAppendEventTap, kCGEventTapOptionListenOnly,
        CGEventMaskBit(kCGEventLeftMouseDown) | CGEventMaskBit(kCGEventLeftMouseUp), onTapEvent,
        this);
    if (port == nullptr) return false;
    source = CFMachPortCreateRunLoopSource(kCFAllocatorDefault, port, 0);
    if (source == nullptr) {
        CFMachPortInvalidate(port);
        CFRelease(port);
        port = nullptr;
        return false;
    }
    // Common modes: clicks elsewhere still count while our menu or a dialog is open.
    CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
    return true;
}

void Observer::Tap::deliver(CGEventType type, CGEventRef event)
{
    // The system switches off a tap it finds slow or that the user's input overrode; the next
    // gesture must still be seen.
    if (type == kCGEventTapDisabledByTimeout || type == kCGEventTapDisabledByUserInput) {
        CGEventTapEnable(port, true);
        return;
    }
    if (type != kCGEventLeftMouseDown && type != kCGEventLeftMouseUp) return;
    if (CGEventGetIntegerValueField(event, kCGEventTargetUnixProcessID) == ownProcess) return;

    const Event observed{CGEventGetFlags(event)};
    // By index: a handler may add a monitor.
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if ((monitors[i].mask & CGEventMaskBit(type)) != 0) monitors[i].handler(observed);
    }
}

Observer::Observer(std::int64_t ownProcess) : tap_(std::make_unique<Tap>(ownProcess)) {}

Observer::~Observer() = default;

std::shared_ptr<MonitorToken>
Observer::addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                                std::function<void(const Event&)> handler)
{
    if (tap_->port == nullptr && !tap_->start()) return nullptr;
    tap_->monitors.push_back({mask, std::move(handler)});
    return std::make_shared<Token>();
}

}  // namespace snaplark::platform::macos
