#include "platform/evdev/virtual_keyboard.h"

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/evdev/service_protocol.h"

namespace snaplark::platform::evdev {
namespace {

void emit(int fd, std::uint16_t type, std::uint16_t code, std::int32_t value)
{
    input_event event{};
    event.type = type;
    event.code = code;
    event.value = value;
    [[maybe_unused]] const auto written = ::write(fd, &event, sizeof event);
}

}  // namespace

VirtualKeyboard::~VirtualKeyboard()
{
    if (fd_ < 0) return;
    ioctl(fd_, UI_DEV_DESTROY);
    ::close(fd_);
}

std::string VirtualKeyboard::open(const std::string& path)
{
    fd_ = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            return "cannot open " + path +
                   " (permission denied), so copy and paste cannot be typed; " + accessAdvice;
        }
        return "cannot open " + path + " (" + std::strerror(error) +
               "), so copy and paste cannot be typed; load the uinput module";
    }
    ioctl(fd_, UI_SET_EVBIT, EV_KEY);
    ioctl(fd_, UI_SET_EVBIT, EV_SYN);
    // Only what a chord is made of: its modifiers, Insert, and the letter block, where every
    // layout has the keys typing c and v. No Enter, no SysRq, no Power.
    for (const int k : {KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_INSERT})
        ioctl(fd_, UI_SET_KEYBIT, k);
    for (int k = 0; k < KEY_CNT; ++k) {
        if (service::isLetterBlockKey(static_cast<std::uint16_t>(k))) ioctl(fd_, UI_SET_KEYBIT, k);
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    setup.id.vendor = 0x1209;  // pid.codes, for open projects
    setup.id.product = 0x5e1a;
    std::strncpy(setup.name, name, UINPUT_MAX_NAME_SIZE - 1);
    if (ioctl(fd_, UI_DEV_SETUP, &setup) < 0 || ioctl(fd_, UI_DEV_CREATE) < 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
        return "cannot make a virtual keyboard (" + reason + "), so copy and paste cannot be typed";
    }
    return {};
}

void VirtualKeyboard::key(std::uint16_t code, bool down)
{
    if (fd_ < 0) return;
    emit(fd_, EV_KEY, code, down ? 1 : 0);
    emit(fd_, EV_SYN, SYN_REPORT, 0);
}

}  // namespace snaplark::platform::evdev
