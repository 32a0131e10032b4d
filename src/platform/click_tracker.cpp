#include "platform/click_tracker.h"

#include <cstdlib>

namespace snaplark::platform {

bool ClickTracker::near(std::optional<Point> a, std::optional<Point> b) const
{
    if (!a || !b) return true;
    return std::abs(a->x - b->x) < settings_.dragDistance &&
           std::abs(a->y - b->y) < settings_.dragDistance;
}

void ClickTracker::press(std::optional<Point> at, std::int64_t timeMs)
{
    const bool continues = lastPress_ && !lastDragged_ && count_ < 3 &&
                           timeMs - *lastPress_ <= settings_.doubleClickInterval &&
                           timeMs >= *lastPress_ && near(at, lastPressAt_);
    count_ = continues ? count_ + 1 : 1;
    lastPress_ = timeMs;
    lastPressAt_ = at;
    pressedAt_ = at;
}

ClickTracker::Release ClickTracker::release(std::optional<Point> at, std::int64_t /*timeMs*/,
                                            int moved)
{
    const bool dragged = moved >= settings_.dragDistance || !near(at, pressedAt_);
    lastDragged_ = dragged;
    // A release with no press seen (one that began before we watched) counts as a single click.
    const int count = count_ == 0 ? 1 : count_;
    return {dragged, dragged ? 1 : count};
}

}  // namespace snaplark::platform
