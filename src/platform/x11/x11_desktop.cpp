#include "platform/x11/x11_desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
// The XKB protocol header names a field `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <utility>

#include "platform/x11/display.h"
#include "platform/x11/keyboard_map.h"
#include "platform/x11/observer.h"
#include "platform/x11/single_instance.h"
#include "platform/x11/typist.h"

namespace snaplark::platform::x11 {
namespace {

constexpr unsigned primaryButton = 1;

int connectionLost(Display* display);

class Token final : public MonitorToken {};

class X11KeyEvent final : public KeyboardEvent {
public:
    X11KeyEvent(VirtualKeyCode key, bool down) : key(key), down(down) {}
    void setFlags(ModifierFlags flags) override { this->flags = flags; }
    const VirtualKeyCode key;
    const bool down;
    ModifierFlags flags = 0;
};

class Desktop final : public X11Desktop, EventMonitors, KeyboardEvents {
public:
    Desktop(DisplayPtr control, ConnectionPtr data)
        : control_(std::move(control)), data_(std::move(data)),
          wakeUp_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), observer_(data_.get(), wakeUp_),
          ready_(::epoll_create1(EPOLL_CLOEXEC))
    {
        Display* d = control_.get();
        // The main loop wakes for the reader's clicks and for events on the control connection
        // (changes to windows whose terminal kind is kept).
        for (const int fd : {wakeUp_, ConnectionNumber(d)}) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.fd = fd;
            if (ready_ >= 0 && fd >= 0) ::epoll_ctl(ready_, EPOLL_CTL_ADD, fd, &event);
        }
        int major = 0, minor = 0, event = 0, error = 0, opcode = 0;
        hasXTest_ = XQueryExtension(d, "XTEST", &xtestOpcode_, &event, &error) != 0 &&
                    XTestQueryExtension(d, &event, &error, &major, &minor) != 0;
        // Asked by name first: Xlib complains on standard error about a missing extension.
        hasRecord_ = XQueryExtension(d, "RECORD", &opcode, &event, &error) != 0 &&
                     XRecordQueryVersion(d, &major, &minor) != 0;
        int xinputOpcode = 0;
        if (XQueryExtension(d, "XInputExtension", &xinputOpcode, &event, &error)) {
            int xiMajor = 2, xiMinor = 2;
            if (XIQueryVersion(d, &xiMajor, &xiMinor) == Success) xinputOpcode_ = xinputOpcode;
        }
        hasXkb_ = XkbQueryExtension(d, &opcode, &event, &error, &major, &minor) != 0;
        map_ = readKeyboardMap(d, hasXkb_);
        typist_.emplace(d, map_, hasXkb_, xinputOpcode_);
    }

    ~Desktop() override
    {
        observer_.stop(control_.get());
        if (wakeUp_ >= 0) ::close(wakeUp_);
        if (ready_ >= 0) ::close(ready_);
    }

    bool claimSingleInstance() override { return x11::claimSingleInstance(control_.get()); }

    std::vector<std::string> missing() const override
    {
        std::vector<std::string> missing;
        if (!hasRecord_) {
            missing.emplace_back("the X server has no RECORD extension, so mouse gestures cannot "
                                 "be observed; the tray menu still works");
        }
        if (!hasXTest_) {
            missing.emplace_back("the X server has no XTEST extension, so copy and paste cannot be "
                                 "typed; gestures are still recognized");
        }
        if (xinputOpcode_ == 0) {
            missing.emplace_back("the X server has no XInputExtension 2.2, so a modifier let go "
                                 "during a paste's keystrokes may be given back by mistake");
        }
        return missing;
    }

    void startObserving(std::uint32_t ownClient) override
    {
        if (hasRecord_ && !recording_) {
            xcb_connection_t* typist = XGetXCBConnection(control_.get());
            recording_ = observer_.start(ownClient, xcb_get_setup(typist)->resource_id_base,
                                         static_cast<std::uint8_t>(xtestOpcode_));
        }
    }

    void setOwnWindowRects(std::vector<RootRect> rects) override
    {
        observer_.setOwnRects(std::move(rects));
    }

    void setMenuOpen(bool open) override { observer_.setMenuOpenElsewhere(open); }
    void setClickSettings(ClickTracker::Settings settings) override
    {
        clicks_.setSettings(settings);
    }
    bool knowsActiveApplications() const override { return true; }
    ActiveApplication activeApplication() const override
    {
        return typist_ ? typist_->activeApplication() : ActiveApplication{};
    }

    EventMonitors& eventMonitors() override { return *this; }
    KeyboardEvents& keyboard() override { return *this; }
    int fileDescriptor() const override { return ready_; }

    void dispatch() override
    {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto n = ::read(wakeUp_, &count, sizeof count);
        if (observer_.takeRemapped()) map_ = readKeyboardMap(control_.get(), hasXkb_);
        for (const ButtonEvent& event : observer_.take())
            onButton(event);
        typist_->takeEvents();
        if (observer_.lost()) connectionLost(nullptr);
    }

    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override
    {
        if (!recording_) return nullptr;
        monitors_.emplace_back(mask, std::move(handler));
        return std::make_shared<Token>();
    }

    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override
    {
        if (!hasXTest_) return nullptr;
        return std::make_unique<X11KeyEvent>(key, keyDown);
    }

    void post(EventTap /*tap*/, const KeyboardEvent& event) override
    {
        const auto& e = dynamic_cast<const X11KeyEvent&>(event);
        if (e.down) {
            typist_->keyDown(e.key, e.flags);
        } else {
            typist_->keyUp(e.key);
        }
    }

private:
    void onButton(const ButtonEvent& event)
    {
        // RECORD reports the physical button; the user's pointer map says which one is primary.
        if (map_.logicalButton(event.button) != primaryButton) return;
        unsigned state = event.state;
        for (std::size_t k = 0; k < event.letGo.size(); ++k) {
            if (event.letGo.test(k)) state |= map_.modifierBits[k];
        }
        Event observed{map_.modifiers.translate(state)};
        const ClickTracker::Point at{event.rootX, event.rootY};
        if (event.press) {
            clicks_.press(at, event.time);
        } else {
            const auto release = clicks_.release(at, event.time);
            observed.dragged = release.dragged;
            observed.clickCount = release.clickCount;
        }
        if (typist_) observed.application = typist_->activeApplication();
        const std::uint64_t mask = event.press ? leftMouseDownMask : leftMouseUpMask;
        for (const auto& [monitorMask, handler] : monitors_) {
            if ((monitorMask & mask) != 0) handler(observed);
        }
    }

    DisplayPtr control_;
    ConnectionPtr data_;
    int wakeUp_;
    Observer observer_;
    int ready_;
    bool hasXTest_ = false;
    int xtestOpcode_ = 0;
    bool hasRecord_ = false;
    bool hasXkb_ = false;
    int xinputOpcode_ = 0;
    bool recording_ = false;
    KeyboardMap map_;
    mutable std::optional<Typist> typist_;
    ClickTracker clicks_;
    std::vector<std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors_;
};

int ignoreError(Display* /*display*/, XErrorEvent* /*error*/)
{
    return 0;
}

int connectionLost(Display* /*display*/)
{
    static constexpr char message[] = "snaplark: lost the connection to the X display; exiting\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}  // namespace

std::unique_ptr<X11Desktop> X11Desktop::open(const std::string& displayName, std::string& error)
{
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    DisplayPtr control(XOpenDisplay(name));
    ConnectionPtr data(control ? xcb_connect(name, nullptr) : nullptr);
    if (data && xcb_connection_has_error(data.get())) data.reset();
    if (!control || !data) {
        const char* shown = XDisplayName(name);
        error = std::string("cannot open the X display \"") + (shown && *shown ? shown : "") +
                "\"; Snaplark needs an X session (set DISPLAY or pass -display NAME)";
        return nullptr;
    }
    return std::make_unique<Desktop>(std::move(control), std::move(data));
}

void X11Desktop::ignoreButtonStates(xcb_connection_t* toolkit)
{
    const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(toolkit, &xcb_xkb_id);
    if (xkb == nullptr || !xkb->present) return;
    xcb_xkb_select_events_details_t details{};
    details.affectState = XCB_XKB_STATE_PART_POINTER_BUTTONS;
    details.stateDetails = 0;
    xcb_xkb_select_events_aux(toolkit, XCB_XKB_ID_USE_CORE_KBD, XCB_XKB_EVENT_TYPE_STATE_NOTIFY, 0,
                              0, 0, 0, &details);
    xcb_flush(toolkit);
}

void X11Desktop::installErrorHandlers()
{
    XSetErrorHandler(ignoreError);
    XSetIOErrorHandler(connectionLost);
}

}  // namespace snaplark::platform::x11
