#pragma once

#include <string>

#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev {

// The two ways to let the agent at the input: the service, or the devices opened to the user.
inline constexpr const char* accessAdvice =
    "start the input service (sudo systemctl enable --now snaplark-inputd.socket), or install "
    "the udev rule from /usr/share/doc/snaplark/examples into /etc/udev/rules.d and log in again";

// The agent's own keyboard, made through uinput. The kernel lets go of its keys when it goes,
// even when the agent is killed mid-chord.
class VirtualKeyboard final : public KeySink {
public:
    static constexpr const char* name = "Snaplark virtual keyboard";

    VirtualKeyboard() = default;
    ~VirtualKeyboard() override;
    VirtualKeyboard(const VirtualKeyboard&) = delete;
    VirtualKeyboard& operator=(const VirtualKeyboard&) = delete;

    // Makes the device; returns what went wrong, or an empty string.
    std::string open(const std::string& path = "/dev/uinput");
    bool isOpen() const { return fd_ >= 0; }

    void key(std::uint16_t code, bool down) override;

private:
    int fd_ = -1;
};

}  // namespace snaplark::platform::evdev
