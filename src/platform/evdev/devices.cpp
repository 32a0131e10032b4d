#include "platform/evdev/devices.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/evdev/virtual_keyboard.h"

namespace snaplark::platform::evdev {
namespace {

constexpr std::size_t bitsPerLong = sizeof(unsigned long) * CHAR_BIT;

template <std::size_t Bits>
using LongBits = std::array<unsigned long, (Bits + bitsPerLong - 1) / bitsPerLong>;

bool test(const unsigned long* bits, unsigned bit)
{
    return (bits[bit / bitsPerLong] >> (bit % bitsPerLong)) & 1UL;
}

bool isEventNode(const char* name)
{
    return std::strncmp(name, "event", 5) == 0;
}

// The keys whose events make gestures: the left button, the modifiers and Caps Lock.
constexpr unsigned gestureKeys[] = {BTN_LEFT,       KEY_LEFTCTRL, KEY_RIGHTCTRL, KEY_LEFTSHIFT,
                                    KEY_RIGHTSHIFT, KEY_LEFTALT,  KEY_RIGHTALT,  KEY_LEFTMETA,
                                    KEY_RIGHTMETA,  KEY_CAPSLOCK};

bool matters(int fd)
{
    LongBits<KEY_CNT> keys{};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys), keys.data()) < 0) return false;
    for (const unsigned k : gestureKeys) {
        if (test(keys.data(), k)) return true;
    }
    return false;
}

template <std::size_t Longs> void set(std::array<unsigned long, Longs>& bits, unsigned bit)
{
    bits[bit / bitsPerLong] |= 1UL << (bit % bitsPerLong);
}

template <std::size_t Longs>
bool setMask(int fd, unsigned type, const std::array<unsigned long, Longs>& codes)
{
    input_mask mask{};
    mask.type = type;
    mask.codes_size = sizeof codes;
    mask.codes_ptr = reinterpret_cast<std::uintptr_t>(codes.data());
    return ioctl(fd, EVIOCSMASK, &mask) == 0;
}

// Asks the kernel to pass this descriptor only what makes gestures, so that pointer motion and
// typing never wake the agent: an event outside the mask is never queued for this reader, and a
// report the mask left empty wakes no one (linux/input.h, EVIOCGMASK and EVIOCSMASK; Linux 4.4
// and later). Type 0 holds the mask of event types, as for EVIOCGBIT; the kernel filters no
// EV_SYN event, so SYN_DROPPED still comes. Other readers of the device are not affected. An
// older kernel refuses the call and passes everything, which the seat then ignores as it reads.
void passOnlyGestureEvents(int fd)
{
    LongBits<KEY_CNT> keys{};
    for (const unsigned k : gestureKeys)
        set(keys, k);
    LongBits<LED_CNT> leds{};
    set(leds, LED_CAPSL);
    LongBits<EV_CNT> types{};
    for (const unsigned type : {EV_SYN, EV_KEY, EV_LED})
        set(types, type);
    if (setMask(fd, EV_KEY, keys) && setMask(fd, EV_LED, leds)) setMask(fd, 0, types);
}

// Lets pointer motion through too, or no longer: only while a gesture's button is down, so that
// motion at any other time never wakes us (EVIOCSMASK as above).
void passMotion(int fd, bool pass)
{
    LongBits<REL_CNT> rel{};
    LongBits<ABS_CNT> abs{};
    LongBits<EV_CNT> types{};
    for (const unsigned type : {EV_SYN, EV_KEY, EV_LED})
        set(types, type);
    if (pass) {
        set(rel, REL_X);
        set(rel, REL_Y);
        set(abs, ABS_X);
        set(abs, ABS_Y);
        set(types, EV_REL);
        set(types, EV_ABS);
    }
    if (setMask(fd, EV_REL, rel) && setMask(fd, EV_ABS, abs)) setMask(fd, 0, types);
}

// A touchpad's or tablet's units in pixels, as near as its resolution tells (units per mm, at
// the 96 pixels per inch desktops assume); 1 where it does not say.
double pixelsPerUnit(int fd)
{
    input_absinfo info{};
    if (ioctl(fd, EVIOCGABS(ABS_X), &info) < 0 || info.resolution <= 0) return 1;
    return 96.0 / 25.4 / info.resolution;
}

KeyBits keysDown(int fd)
{
    LongBits<KEY_CNT> keys{};
    if (ioctl(fd, EVIOCGKEY(sizeof keys), keys.data()) < 0) return {};
    KeyBits down;
    for (unsigned k = 0; k < down.size() && k < KEY_CNT; ++k) {
        if (test(keys.data(), k)) down.set(k);
    }
    return down;
}

std::optional<bool> capsLockLed(int fd)
{
    LongBits<LED_CNT> has{};
    if (ioctl(fd, EVIOCGBIT(EV_LED, sizeof has), has.data()) < 0 || !test(has.data(), LED_CAPSL)) {
        return std::nullopt;
    }
    LongBits<LED_CNT> lit{};
    if (ioctl(fd, EVIOCGLED(sizeof lit), lit.data()) < 0) return std::nullopt;
    return test(lit.data(), LED_CAPSL);
}

}  // namespace

// How often and how long a device the filter could not place yet is tried again.
constexpr std::chrono::milliseconds retryInterval{100};
constexpr std::chrono::seconds retryFor{10};

Devices::Devices(std::string directory, SeatFilter filter)
    : directory_(std::move(directory)), filter_(std::move(filter))
{
}

Devices::~Devices()
{
    for (const auto& [fd, name] : devices_)
        ::close(fd);
    if (watch_ >= 0) ::close(watch_);
}

std::string Devices::open()
{
    watch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watch_ >= 0 && inotify_add_watch(watch_, directory_.c_str(), IN_CREATE | IN_ATTRIB) < 0) {
        ::close(watch_);
        watch_ = -1;
    }
    DIR* dir = opendir(directory_.c_str());
    if (dir == nullptr) return "there is no " + directory_ + " on this system";
    while (const dirent* entry = readdir(dir)) {
        if (isEventNode(entry->d_name)) add(entry->d_name);
    }
    closedir(dir);
    if (devices_.empty() && unreadable_ > 0) {
        return "cannot read the input devices in " + directory_ + " (permission denied); " +
               accessAdvice;
    }
    return {};
}

void Devices::add(const std::string& name)
{
    for (const auto& [fd, known] : devices_) {
        if (known == name) return;
    }
    const std::string path = directory_ + "/" + name;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM) ++unreadable_;
        return;
    }
    // Our own virtual keyboard's keys are not the user's.
    char deviceName[256] = {};
    ioctl(fd, EVIOCGNAME(sizeof deviceName - 1), deviceName);
    if (!matters(fd) || std::strcmp(deviceName, VirtualKeyboard::name) == 0) {
        ::close(fd);
        return;
    }
    if (filter_) {
        const Belongs belongs = filter_(fd);
        if (belongs != Belongs::yes) {
            ::close(fd);
            const auto now = Clock::now();
            if (belongs == Belongs::no) {
                waiting_.erase(name);
            } else if (waiting_.count(name) == 0) {
                waiting_[name] = {now, now + retryInterval};
            }
            return;
        }
        waiting_.erase(name);
    }
    passOnlyGestureEvents(fd);
    // Stamped on the clock read() compares with, whatever the wall clock does.
    int clock = CLOCK_MONOTONIC;
    ioctl(fd, EVIOCSCLOCKID, &clock);
    devices_[fd] = name;
    seat_.added(fd, keysDown(fd), capsLockLed(fd));
}

std::optional<Devices::Clock::time_point> Devices::nextRetry() const
{
    std::optional<Clock::time_point> next;
    for (const auto& [name, waiting] : waiting_) {
        if (!next || waiting.next < *next) next = waiting.next;
    }
    return next;
}

void Devices::retry(Clock::time_point now)
{
    std::vector<std::string> due;
    for (auto w = waiting_.begin(); w != waiting_.end();) {
        if (w->second.next > now) {
            ++w;
        } else if (now - w->second.since >= retryFor) {
            w = waiting_.erase(w);
        } else {
            w->second.next = now + retryInterval;
            due.push_back(w->first);
            ++w;
        }
    }
    for (const std::string& name : due)
        add(name);
}

void Devices::watchMotion(bool watch)
{
    if (watch == motion_.watching && !watch) return;
    motion_ = Motion{watch};
    for (const auto& [fd, name] : devices_) {
        passMotion(fd, watch);
        if (watch) motion_.absolute[fd].pixelsPerUnit = pixelsPerUnit(fd);
    }
}

int Devices::Motion::pixels() const
{
    double most = std::max(std::abs(relX), std::abs(relY));
    for (const auto& [fd, a] : absolute) {
        const double x = a.firstX ? std::abs(a.lastX - *a.firstX) * a.pixelsPerUnit : 0;
        const double y = a.firstY ? std::abs(a.lastY - *a.firstY) * a.pixelsPerUnit : 0;
        most = std::max({most, x, y});
    }
    return static_cast<int>(std::min(most, 1e6));
}

void Devices::remove(int fd)
{
    motion_.absolute.erase(fd);
    seat_.removed(fd);
    devices_.erase(fd);
    ::close(fd);
}

std::vector<int> Devices::descriptors() const
{
    std::vector<int> fds;
    if (watch_ >= 0) fds.push_back(watch_);
    for (const auto& [fd, name] : devices_)
        fds.push_back(fd);
    return fds;
}

std::vector<Click> Devices::read()
{
    readWatch();
    std::vector<Click> clicks;
    std::vector<Stamped> events;
    std::vector<int> gone;
    // Whatever happened before a pass began is in its device's queue when the pass reads it;
    // later events may have partners on devices the pass already read, so they wait for another
    // pass (at once: their queues are drained and wake no one). A few passes settle any burst;
    // after them everything read is taken, so a stamp on another clock cannot hold events back.
    constexpr int passes = 8;
    std::size_t taken = 0;
    for (int pass = 1;; ++pass) {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        const std::int64_t cutoff =
            pass == passes ? INT64_MAX : std::int64_t{ts.tv_sec} * 1'000'000 + ts.tv_nsec / 1000;
        for (const auto& [fd, name] : devices_) {
            if (std::find(gone.begin(), gone.end(), fd) == gone.end() && !readDevice(fd, events)) {
                gone.push_back(fd);
            }
        }
        std::stable_sort(events.begin() + static_cast<std::ptrdiff_t>(taken), events.end(),
                         [](const Stamped& a, const Stamped& b) { return a.time < b.time; });
        for (; taken < events.size() && events[taken].time <= cutoff; ++taken) {
            const Stamped& e = events[taken];
            if (e.event.type == EV_REL || e.event.type == EV_ABS) {
                if (!motion_.watching) continue;
                if (e.event.type == EV_REL) {
                    (e.event.code == REL_X ? motion_.relX : motion_.relY) += e.event.value;
                } else {
                    auto& a = motion_.absolute[e.fd];
                    auto& first = e.event.code == ABS_X ? a.firstX : a.firstY;
                    if (!first) first = e.event.value;
                    (e.event.code == ABS_X ? a.lastX : a.lastY) = e.event.value;
                }
                continue;
            }
            const auto outcome = seat_.handle(e.fd, e.event);
            if (outcome.click) {
                clicks.push_back(*outcome.click);
                clicks.back().time = e.time;
                if (outcome.click->press) {
                    // A gesture may be a selection: how far the button goes matters until it is
                    // let go.
                    watchMotion((outcome.click->flags & modifier::command) != 0);
                } else if (motion_.watching) {
                    clicks.back().moved = motion_.pixels();
                    watchMotion(false);
                }
            }
            if (outcome.resync) seat_.resync(e.fd, keysDown(e.fd), capsLockLed(e.fd));
        }
        if (taken == events.size()) break;
    }
    for (const int fd : gone)
        remove(fd);
    return clicks;
}

bool Devices::readDevice(int fd, std::vector<Stamped>& events)
{
    std::array<input_event, 64> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return true;
        // ENODEV: the device went away.
        if (n <= 0) return false;
        const auto count = static_cast<std::size_t>(n) / sizeof(input_event);
        for (std::size_t i = 0; i < count; ++i) {
            const input_event& e = buffer[i];
            events.push_back({std::int64_t{e.input_event_sec} * 1'000'000 + e.input_event_usec,
                              fd,
                              {e.type, e.code, e.value}});
        }
    }
}

// Nodes appear before udev has given them their final permissions, so a change of attributes
// is a second chance to open them.
void Devices::readWatch()
{
    if (watch_ < 0) return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(watch_, buffer, sizeof buffer);
        if (n <= 0) return;
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            if (event->len > 0 && isEventNode(event->name)) add(event->name);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

}  // namespace snaplark::platform::evdev
