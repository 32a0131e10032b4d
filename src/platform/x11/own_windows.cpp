#include "platform/x11/own_windows.h"

#include <algorithm>

namespace snaplark::platform::x11 {

void OwnClicks::recorded(const ButtonEvent& event, Clock::time_point now)
{
    const bool inOurWindow = std::any_of(rects_.begin(), rects_.end(), [&](const RootRect& r) {
        return r.contains(event.rootX, event.rootY);
    });
    const bool inOurMenu = event.press && menuOpenElsewhere_;
    pending_.push_back({event, inOurMenu, false, event.press && inOurWindow, now + deliveryWait});
    // The release that ends a click in that menu closes it.
    if (!event.press && pressInMenu_[event.button % pressInMenu_.size()]) {
        menuOpenElsewhere_ = false;
    }
    if (event.press) pressInMenu_[event.button % pressInMenu_.size()] = inOurMenu;
}

void OwnClicks::deliveredToUs(bool press, std::uint32_t time)
{
    for (Pending& p : pending_) {
        if (p.event.press == press && p.event.time == time && !p.ours) {
            p.ours = true;
            return;
        }
    }
}

void OwnClicks::endOfBatch()
{
    for (Pending& p : pending_)
        p.batchEnded = true;
}

std::vector<ButtonEvent> OwnClicks::takeSettled(Clock::time_point now)
{
    std::vector<ButtonEvent> settled;
    while (!pending_.empty()) {
        const Pending& p = pending_.front();
        const bool known =
            p.ours || (p.batchEnded && !p.mayArriveLate) || (p.batchEnded && now >= p.deadline);
        if (!known) break;
        bool ours = p.ours;
        const std::size_t button = p.event.button % pressOurs_.size();
        if (p.event.press) {
            pressOurs_[button] = ours;
            pressSeen_[button] = true;
        } else if (pressSeen_[button]) {
            ours = pressOurs_[button];
            pressSeen_[button] = false;
        }
        if (!ours) settled.push_back(p.event);
        pending_.pop_front();
    }
    return settled;
}

std::optional<OwnClicks::Clock::time_point> OwnClicks::nextDeadline() const
{
    if (pending_.empty() || !pending_.front().batchEnded) return std::nullopt;
    return pending_.front().deadline;
}

}  // namespace snaplark::platform::x11
