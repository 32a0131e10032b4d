#include "platform/win32/own_windows.h"

#include <windows.h>

namespace snaplark::platform::win32 {

// LowLevelMouseProc receives the message the window will get, which Windows has already mapped
// through the swap: public fixes for left-handed users of low-level mouse hooks (for example
// gmamaladze/globalmousekeyhook#172) drop their own swap for this reason. Wine swaps later and
// reports the physical button; the Windows runner's driver looks at what Windows itself gives.
std::optional<ButtonChange> primaryButtonChange(unsigned message)
{
    switch (message) {
    case WM_LBUTTONDOWN: return ButtonChange::press;
    case WM_LBUTTONUP: return ButtonChange::release;
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
