#include "platform/evdev/devices.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
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

// A left button or a modifier key: the devices whose events make gestures.
bool matters(int fd)
{
    LongBits<KEY_CNT> keys{};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof keys), keys.data()) < 0) return false;
    for (const unsigned k :
         {BTN_LEFT, KEY_LEFTCTRL, KEY_RIGHTCTRL, KEY_LEFTSHIFT, KEY_RIGHTSHIFT, KEY_LEFTALT,
          KEY_RIGHTALT, KEY_LEFTMETA, KEY_RIGHTMETA, KEY_CAPSLOCK}) {
        if (test(keys.data(), k)) return true;
    }
    return false;
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

Devices::Devices(std::string directory) : directory_(std::move(directory)) {}

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
        return "cannot read the input devices in " + directory_ +
               " (permission denied); install the package's udev rule and log in again, or add "
               "your user to the \"input\" group";
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
    devices_[fd] = name;
    seat_.added(fd, keysDown(fd), capsLockLed(fd));
}

void Devices::remove(int fd)
{
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
    std::vector<Click> clicks;
    readWatch();
    std::vector<int> fds;
    for (const auto& [fd, name] : devices_)
        fds.push_back(fd);
    for (const int fd : fds)
        readDevice(fd, clicks);
    return clicks;
}

void Devices::readDevice(int fd, std::vector<Click>& clicks)
{
    std::array<input_event, 64> events{};
    for (;;) {
        const ssize_t n = ::read(fd, events.data(), sizeof events);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            // ENODEV: the device went away.
            remove(fd);
            return;
        }
        const auto count = static_cast<std::size_t>(n) / sizeof(input_event);
        for (std::size_t i = 0; i < count; ++i) {
            const input_event& e = events[i];
            const auto outcome = seat_.handle(fd, {e.type, e.code, e.value});
            if (outcome.click) clicks.push_back(*outcome.click);
            if (outcome.resync) seat_.resync(fd, keysDown(fd), capsLockLed(fd));
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
