#include "platform/click_tracker.h"

#include <cstdlib>

namespace snaplark::platform {

bool ClickTracker::within(std::optional<Point> a, std::optional<Point> b, int distance)
{
    if (!a || !b) return true;
    return std::abs(a->x - b->x) < distance && std::abs(a->y - b->y) < distance;
}

void ClickTracker::press(std::optional<Point> at, std::int64_t timeMs)
{
    const bool continues = lastPress_ && !lastDragged_ && count_ < 3 &&
                           timeMs - *lastPress_ <= settings_.doubleClickInterval &&
                           timeMs >= *lastPress_ &&
                           within(at, lastPressAt_,
                                  settings_.doubleClickDistance > 0 ? settings_.doubleClickDistance
                                                                    : settings_.dragDistance);
    count_ = continues ? count_ + 1 : 1;
    lastPress_ = timeMs;
    lastPressAt_ = at;
    pressedAt_ = at;
}

ClickTracker::Release ClickTracker::release(std::optional<Point> at, std::int64_t /*timeMs*/,
                                            int moved)
{
    const bool dragged =
        moved >= settings_.dragDistance || !within(at, pressedAt_, settings_.dragDistance);
    lastDragged_ = dragged;
    // A release with no press seen (one that began before we watched) counts as a single click.
    const int count = count_ == 0 ? 1 : count_;
    return {dragged, dragged ? 1 : count};
}

}  // namespace snaplark::platform
