#include "platform/evdev/own_windows.h"

#include <algorithm>

namespace snaplark::platform::evdev {

void OwnClicks::setSurfacesShown(bool shown, Clock::time_point now)
{
    if (shown_ && !shown) shownUntil_ = now + deliveryWait;
    shown_ = shown;
}

void OwnClicks::read(const Click& click, Clock::time_point now)
{
    if (!click.press) {
        pending_.push_back({click, true, false, false, now});
        return;
    }
    while (!early_.empty() && now >= early_.front() + deliveryWait)
        early_.pop_front();
    Pending press{click, true, false, false, now + deliveryWait};
    if (menuOpenElsewhere_) {
        press.ours = true;
        press.inMenu = true;
    } else if (!early_.empty()) {
        early_.pop_front();
        press.ours = true;
    } else if (surfacesMayTakePress(now)) {
        press.known = false;
    }
    pending_.push_back(press);
}

void OwnClicks::deliveredPress(Clock::time_point now)
{
    // Deliveries come in the order of the presses, so the oldest press still waiting is this one.
    const auto waiting = std::find_if(pending_.begin(), pending_.end(),
                                      [](const Pending& p) { return p.click.press && !p.known; });
    if (waiting != pending_.end()) {
        waiting->known = true;
        waiting->ours = true;
    } else {
        early_.push_back(now);
    }
}

std::vector<Click> OwnClicks::takeSettled(Clock::time_point now)
{
    std::vector<Click> settled;
    while (!pending_.empty()) {
        const Pending& p = pending_.front();
        if (!p.known && now < p.deadline) break;
        bool ours = p.ours;
        if (p.click.press) {
            pressSeen_ = true;
            pressOurs_ = ours;
            pressInMenu_ = p.inMenu;
        } else {
            ours = pressSeen_ && pressOurs_;
            if (pressSeen_ && pressInMenu_) menuOpenElsewhere_ = false;
            pressSeen_ = false;
            pressInMenu_ = false;
        }
        if (!ours) settled.push_back(p.click);
        pending_.pop_front();
    }
    return settled;
}

std::optional<OwnClicks::Clock::time_point> OwnClicks::nextDeadline() const
{
    if (pending_.empty() || pending_.front().known) return std::nullopt;
    return pending_.front().deadline;
}

}  // namespace snaplark::platform::evdev
