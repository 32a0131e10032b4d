#include "platform/evdev/evdev_desktop.h"

#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <utility>
#include <vector>

#include "platform/evdev/application_names.h"
#include "platform/evdev/devices.h"
#include "platform/evdev/own_windows.h"
#include "platform/evdev/service_client.h"
#include "platform/evdev/typist.h"
#include "platform/evdev/virtual_keyboard.h"
#include "platform/evdev/wayland_session.h"
#include "platform/terminal_rule.h"

namespace snaplark::platform::evdev {
namespace {

// Our windows' application id, as Qt gives it from the desktop entry's name.
constexpr const char* ownApplicationId = "example.snaplark.Snaplark";

// How often to knock again while the input service is away: it only matters until it is back.
constexpr std::chrono::seconds knockInterval{2};

bool isSocket(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

class Token final : public MonitorToken {};

class KeyEvent final : public KeyboardEvent {
public:
    KeyEvent(VirtualKeyCode key, bool down) : key(key), down(down) {}
    void setFlags(ModifierFlags flags) override { this->flags = flags; }
    const VirtualKeyCode key;
    const bool down;
    ModifierFlags flags = 0;
};

class Desktop final : public EvdevDesktop, EventMonitors, KeyboardEvents {
public:
    explicit Desktop(const Paths& paths)
        : devices_(paths.input), typist_(keyboard_, {KEY_C, KEY_V}),
          ready_(::epoll_create1(EPOLL_CLOEXEC)),
          timer_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC))
    {
        watch(timer_);
        if (isSocket(paths.service)) {
            service_ = std::make_unique<ServiceClient>(paths.service);
            std::cerr << "snaplark: input through snaplark-inputd at " << paths.service << '\n';
            observing_ = true;
            if (service_->connect()) {
                watch(service_->fileDescriptor());
            } else {
                serviceAway(false);
            }
        } else {
            std::cerr << "snaplark: reading the input devices directly (no input service at "
                      << paths.service << ")\n";
            openDevices(paths);
        }
        // Without it the chords keep to the C and V positions and know no terminals.
        session_ = WaylandSession::connect();
        if (session_) {
            watch(session_->fileDescriptor());
            followSession();
        }
        settleTypist();
    }

    ~Desktop() override
    {
        if (ready_ >= 0) ::close(ready_);
        if (timer_ >= 0) ::close(timer_);
    }

    std::vector<std::string> missing() const override { return missing_; }
    std::vector<Problem> problems() const override
    {
        std::vector<Problem> problems = problems_;
        const std::string start = "Start it: sudo systemctl enable --now snaplark-inputd.socket";
        if (heldBy_) {
            problems.push_back(
                {"service-held",
                 "Gestures are off: another program holds the input service, " + *heldBy_,
                 "Another program of this session, " + *heldBy_ +
                     ", holds Snaplark's input service, so Snaplark sees no click. Quit that "
                     "program; Snaplark takes its place within a few seconds.",
                 {}});
        } else if (refusal_) {
            problems.push_back({"service-refused",
                                "Gestures are off: the input service refused Snaplark",
                                "Snaplark's input service refused it: " + *refusal_ + ".",
                                {}});
        } else if (service_ && away_) {
            problems.push_back({"service-away",
                                "Gestures are off: the input service does not answer",
                                "Snaplark's input service does not answer. " + start + ".",
                                {}});
        }
        return problems;
    }
    EventMonitors& eventMonitors() override { return *this; }
    KeyboardEvents& keyboard() override { return *this; }
    void setMenuOpen(bool open) override { ownClicks_.setMenuOpenElsewhere(open); }
    void setOwnSurfacesShown(bool shown) override
    {
        ownClicks_.setSurfacesShown(shown, OwnClicks::Clock::now());
    }
    void deliveredPress() override
    {
        ownClicks_.deliveredPress(OwnClicks::Clock::now());
        emitSettled();
        settleTypist();
    }
    int fileDescriptor() const override { return ready_; }

    bool knowsActiveWindow() const override { return session_ && session_->knowsActiveWindow(); }
    void setReportedActiveWindow(const std::string& applicationId, const std::string& name) override
    {
        reportedKind_ = terminalKindOf(applicationId, applicationId);
        reportedId_ = applicationId;
        if (!name.empty()) names_.set(applicationId, name);
    }

    bool knowsActiveApplications() const override { return true; }
    ActiveApplication activeApplication() const override
    {
        const std::string id = knowsActiveWindow() ? session_->activeApplicationId() : reportedId_;
        // Our own windows are not an application to pause in: the one before them is meant.
        if (id != ownApplicationId && !id.empty()) lastForeignId_ = id;
        if (lastForeignId_.empty()) return {};
        return {lastForeignId_, names_.of(lastForeignId_)};
    }
    void setClickSettings(ClickTracker::Settings settings) override
    {
        clickTracker_.setSettings(settings);
    }

    void dispatch() override
    {
        std::uint64_t expirations = 0;
        [[maybe_unused]] const auto n = ::read(timer_, &expirations, sizeof expirations);
        followSession();
        const auto now = OwnClicks::Clock::now();
        for (const Click& click : service_ ? readService(now) : devices_.read())
            ownClicks_.read(click, now);
        emitSettled();
        refreshWatches();
        settleTypist();
    }

    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override
    {
        if (!observing_) return nullptr;
        monitors_.emplace_back(mask, std::move(handler));
        return std::make_shared<Token>();
    }

    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override
    {
        if (!service_ && !keyboard_.isOpen()) return nullptr;
        return std::make_unique<KeyEvent>(key, keyDown);
    }

    void post(EventTap /*tap*/, const KeyboardEvent& event) override
    {
        const auto& e = dynamic_cast<const KeyEvent&>(event);
        if (service_) {
            // The chord is asked for whole at its key-up; the service waits for the user's
            // other modifiers itself, as it alone sees them.
            if (e.down) {
                asked_ = {e.key, e.flags};
            } else if (asked_) {
                const Chord chord = chordFor(activeKind(), asked_->first, asked_->second);
                asked_.reset();
                if (!chord.skip && !service_->request(chord, handling_)) {
                    // Control+Insert copies too; every other chord with Insert pastes.
                    const bool copy = chord.key == ChordKey::c ||
                                      (chord.key == ChordKey::insert && chord.control);
                    std::cerr << "snaplark: " << (copy ? "copy" : "paste") << " not typed: "
                              << (service_->connected()
                                      ? "the input service does not type that chord"
                                      : "the input service is not connected")
                              << '\n';
                }
            }
            return;
        }
        if (e.down) {
            typist_.keyDown(e.key, e.flags, Typist::Clock::now());
        } else {
            typist_.keyUp(e.key);
            settleTypist();
        }
    }

private:
    void openDevices(const Paths& paths)
    {
        if (const std::string problem = devices_.open(); !problem.empty()) {
            missing_.push_back(problem + "; mouse gestures cannot be observed, the tray menu "
                                         "still works");
            problems_.push_back({"devices",
                                 "Gestures are off: Snaplark cannot read the input devices",
                                 "Snaplark cannot read the input devices: " + problem + ".",
                                 {}});
        } else {
            observing_ = true;
        }
        if (const std::string problem = keyboard_.open(paths.uinput); !problem.empty()) {
            missing_.push_back(problem);
            problems_.push_back({"uinput",
                                 "Copy and paste cannot be typed: Snaplark cannot make "
                                 "its virtual keyboard",
                                 "Snaplark " + problem + ".",
                                 {}});
        }
        refreshWatches();
    }

    TerminalKind activeKind() const
    {
        return knowsActiveWindow() ? session_->activeTerminalKind() : reportedKind_;
    }

    std::vector<Click> readService(OwnClicks::Clock::time_point now)
    {
        std::vector<Click> clicks;
        if (service_->connected()) {
            auto received = service_->read();
            // While we knock again and again, each thing it says is said once.
            for (const std::string& line : received.lines) {
                if (!away_ || line != lastLine_) std::cerr << "snaplark: " << line << '\n';
                lastLine_ = line;
            }
            if (received.heldBy || received.refusal) {
                heldBy_ = received.heldBy;
                refusal_ = received.refusal;
            }
            if (received.welcomed) {
                if (away_) std::cerr << "snaplark: the input service is back\n";
                away_ = unanswered_ = false;
                heldBy_.reset();
                refusal_.reset();
            }
            if (received.lost) serviceAway(heldBy_ || refusal_);
            clicks = std::move(received.clicks);
        } else if (knockAt_ && now >= *knockAt_) {
            knockAt_.reset();
            if (service_->connect()) {
                watch(service_->fileDescriptor());
            } else {
                heldBy_.reset();
                refusal_.reset();
                serviceAway(false);
            }
        }
        return clicks;
    }

    // The service is not serving us; `explained` when it said why.
    void serviceAway(bool explained)
    {
        if (!explained && !unanswered_) {
            std::cerr << "snaplark: the input service at " << service_->path()
                      << " does not answer; gestures wait until it is back (sudo systemctl start "
                         "snaplark-inputd.socket)\n";
        }
        unanswered_ = !explained;
        away_ = true;
        knockAt_ = OwnClicks::Clock::now() + knockInterval;
    }

    // Hands the clicks judged other applications' to the monitors, in order.
    void emitSettled()
    {
        for (const Click& click : ownClicks_.takeSettled(OwnClicks::Clock::now())) {
            Event observed{click.flags};
            // Only the press times tell double clicks here: the pointer's place is never read.
            if (click.press) {
                clickTracker_.press(std::nullopt, click.time / 1000);
            } else {
                const auto release =
                    clickTracker_.release(std::nullopt, click.time / 1000, click.moved);
                observed.dragged = release.dragged;
                observed.clickCount = release.clickCount;
            }
            observed.application = activeApplication();
            const std::uint64_t mask = click.press ? leftMouseDownMask : leftMouseUpMask;
            // A chord asked for while a click is handled answers that click.
            handling_ = click.id;
            for (const auto& [monitorMask, handler] : monitors_) {
                if ((monitorMask & mask) != 0) handler(observed);
            }
            handling_ = 0;
        }
    }

    void followSession()
    {
        if (!session_) return;
        session_->dispatch();
        if (session_->failed()) {
            ::epoll_ctl(ready_, EPOLL_CTL_DEL, session_->fileDescriptor(), nullptr);
            session_.reset();
            return;
        }
        if (const auto keys = session_->chordKeys()) {
            typist_.setKeys(*keys);
            if (service_) {
                // A change of keys after they were sent makes a new connection.
                service_->setKeys(*keys);
                if (service_->connected()) watch(service_->fileDescriptor());
            }
        }
    }

    void settleTypist()
    {
        const auto now = Typist::Clock::now();
        for (const std::string& line : typist_.update(devices_.seat().flags(), activeKind(), now)) {
            std::cerr << "snaplark: " << line << '\n';
        }
        itimerspec when{};
        auto deadline = typist_.deadline();
        for (const auto& other : {ownClicks_.nextDeadline(), knockAt_}) {
            if (other) deadline = deadline ? std::min(*deadline, *other) : *other;
        }
        if (deadline) {
            const auto left = std::max(*deadline - now, Typist::Clock::duration{1});
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            when.it_value.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
            when.it_value.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        }
        ::timerfd_settime(timer_, 0, &when, nullptr);
    }

    void watch(int fd)
    {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        if (ready_ >= 0 && fd >= 0) ::epoll_ctl(ready_, EPOLL_CTL_ADD, fd, &event);
    }

    // Devices come and go: a closed descriptor leaves the epoll set by itself, and a new one
    // (perhaps with a number just freed) is added; those already there are refused, harmlessly.
    void refreshWatches()
    {
        for (const int fd : devices_.descriptors())
            watch(fd);
    }

    Devices devices_;
    std::unique_ptr<ServiceClient> service_;
    std::optional<OwnClicks::Clock::time_point> knockAt_;  // while the service is away
    bool away_ = false;
    bool unanswered_ = false;             // away, and it did not say why
    std::optional<std::string> refusal_;  // why the service turned us away
    std::string lastLine_;
    std::optional<std::pair<VirtualKeyCode, ModifierFlags>> asked_;
    std::uint64_t handling_ = 0;         // the service's number of the click being handled
    std::optional<std::string> heldBy_;  // another program holding the service
    TerminalKind reportedKind_ = TerminalKind::none;
    std::string reportedId_;
    mutable std::string lastForeignId_;
    mutable ApplicationNames names_;
    ClickTracker clickTracker_;
    VirtualKeyboard keyboard_;
    Typist typist_;
    std::unique_ptr<WaylandSession> session_;
    int ready_;
    int timer_;
    std::vector<std::string> missing_;
    std::vector<Problem> problems_;  // what was missing at start, for the user
    bool observing_ = false;
    OwnClicks ownClicks_;
    std::vector<std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors_;
};

}  // namespace

std::unique_ptr<EvdevDesktop> EvdevDesktop::open(const Paths& paths)
{
    return std::make_unique<Desktop>(paths);
}

bool EvdevDesktop::claimSingleInstance(const std::string& lockPath)
{
    // Left open on purpose: the lock lasts as long as the process.
    const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0;
}

}  // namespace snaplark::platform::evdev
