#pragma once

#include <optional>

namespace snaplark::platform::win32 {

// The primary button's press or release among the low-level hook's mouse messages. Windows hands
// the hook the logical message, after the left-handed swap (SM_SWAPBUTTON): WM_LBUTTON* is the
// primary button whichever physical button it came from.
enum class ButtonChange { press, release };
std::optional<ButtonChange> primaryButtonChange(unsigned message);

// Tells clicks in the agent's own windows (menu, dialogs, preferences window, notification icon)
// from clicks in other applications. A press is ours when it lands on one of our windows or while
// our menu is open (a click beside an open menu only closes it); a release goes with its press,
// since the window that got the press holds the mouse capture whatever lies under the pointer.
class OwnClicks {
public:
    // True when the event is a click in another application.
    bool isOthers(ButtonChange change, bool onOwnWindow, bool menuOpen);

private:
    bool pressSeen_ = false;
    bool pressOurs_ = false;
};

}  // namespace snaplark::platform::win32
