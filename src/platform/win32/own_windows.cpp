#include "platform/win32/own_windows.h"

#include <windows.h>

namespace snaplark::platform::win32 {

std::optional<ButtonChange> primaryButtonChange(unsigned message, bool buttonsSwapped)
{
    switch (message) {
    case WM_LBUTTONDOWN: return buttonsSwapped ? std::nullopt : std::optional(ButtonChange::press);
    case WM_LBUTTONUP: return buttonsSwapped ? std::nullopt : std::optional(ButtonChange::release);
    case WM_RBUTTONDOWN: return buttonsSwapped ? std::optional(ButtonChange::press) : std::nullopt;
    case WM_RBUTTONUP: return buttonsSwapped ? std::optional(ButtonChange::release) : std::nullopt;
    default: return std::nullopt;
    }
}

bool OwnClicks::isOthers(ButtonChange change, bool onOwnWindow, bool menuOpen)
{
    const bool ours = onOwnWindow || menuOpen;
    if (change == ButtonChange::press) {
        pressSeen_ = true;
        pressOurs_ = ours;
        return !ours;
    }
    // A release without a press seen (the agent started mid-drag) goes by where it happened.
    const bool releaseOurs = pressSeen_ ? pressOurs_ : ours;
    pressSeen_ = false;
    return !releaseOurs;
}

}  // namespace snaplark::platform::win32
