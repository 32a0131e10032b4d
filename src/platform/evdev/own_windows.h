#pragma once

#include <chrono>
#include <deque>
#include <optional>
#include <vector>

#include "platform/evdev/seat_state.h"

namespace snaplark::platform::evdev {

// Tells clicks on the agent's own surfaces (dialogs, preferences window, menus) from clicks in
// other applications by where the compositor delivered them. The devices report every press, and
// the compositor separately hands the presses on our surfaces to our toolkit connection; the two
// reach us in either order. A press is ours when such a delivery matches it, and a release goes
// with its press (the surface that took the press keeps the pointer until the release). Nothing
// here lasts beyond one click: no "pointer is on our window" state that a lost leave could leave
// behind.
class OwnClicks {
public:
    using Clock = std::chrono::steady_clock;
    // How long a press waits for its delivery while one of our surfaces is shown: the compositor
    // hands it on at about the time the device reports it, but our toolkit's thread may be busy.
    static constexpr std::chrono::milliseconds deliveryWait{300};

    // Whether any of our windows or popups is shown. One that just went may still take a press
    // that was on its way, so it counts for `deliveryWait` longer.
    void setSurfacesShown(bool shown, Clock::time_point now);
    // Our menu is open in the tray host's own window: every press goes to it. Some hosts never
    // say that it closed; a whole click closes it, on an entry or beside the menu.
    void setMenuOpenElsewhere(bool open) { menuOpenElsewhere_ = open; }

    // A left-button press or release read from a device.
    void read(const Click& click, Clock::time_point now);
    // The compositor delivered a left-button press to one of our surfaces.
    void deliveredPress(Clock::time_point now);

    // The clicks settled as other applications', in order; ours are dropped.
    std::vector<Click> takeSettled(Clock::time_point now);
    // When a waiting press settles on its own, if one waits.
    std::optional<Clock::time_point> nextDeadline() const;

private:
    struct Pending {
        Click click;
        bool known = false;  // a press's verdict; a release always knows (its press decides)
        bool ours = false;
        bool inMenu = false;  // a press while our menu was open elsewhere
        Clock::time_point deadline;
    };

    bool surfacesMayTakePress(Clock::time_point now) const { return shown_ || now < shownUntil_; }

    std::deque<Pending> pending_;
    // Deliveries that came before their device press, each kept until it can no longer match.
    std::deque<Clock::time_point> early_;
    bool shown_ = false;
    Clock::time_point shownUntil_;
    bool menuOpenElsewhere_ = false;
    bool pressInMenu_ = false;
    // A press was seen, and whether it was ours. A release without a press seen (the agent
    // started mid-drag) counts.
    bool pressSeen_ = false;
    bool pressOurs_ = false;
};

}  // namespace snaplark::platform::evdev
