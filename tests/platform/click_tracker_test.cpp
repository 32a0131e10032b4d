// Drags and double clicks as the desktop counts them: one script of presses and releases, with
// positions (X11, Windows) and without (the kernel's devices, where only the way is measured).
#include <gtest/gtest.h>

#include "platform/click_tracker.h"

namespace snaplark::platform {
namespace {

TEST(ClickTracker, DragsAndSeriesOfClicks)
{
    struct Step {
        const char* what;
        bool press;
        std::optional<ClickTracker::Point> at;
        std::int64_t ms;
        int moved = 0;
        bool dragged = false;  // of a release
        int count = 1;         // of a release
    };
    using P = ClickTracker::Point;
    const Step steps[] = {
        {"", true, P{100, 100}, 0},
        {"a click in place", false, P{100, 100}, 50, 0, false, 1},
        {"", true, P{102, 100}, 300},
        {"a second click near the first, in time", false, P{103, 101}, 350, 0, false, 2},
        {"", true, P{103, 101}, 600},
        {"a third", false, P{103, 101}, 650, 0, false, 3},
        {"", true, P{103, 101}, 900},
        {"a fourth starts a new series", false, P{103, 101}, 950, 0, false, 1},
        {"", true, P{103, 101}, 2000},
        {"one pixel short of the drag distance", false, P{112, 101}, 2050, 0, false, 1},
        {"", true, P{100, 100}, 4000},
        {"at the drag distance", false, P{100, 110}, 4050, 0, true, 1},
        {"", true, P{100, 110}, 4200},
        {"a click after a drag begins a series", false, P{100, 110}, 4250, 0, false, 1},
        {"", true, P{100, 110}, 4651},
        {"too late for a double click", false, P{100, 110}, 4700, 0, false, 1},
        {"", true, P{200, 200}, 4800},
        {"in time, but too far", false, P{200, 200}, 4850, 0, false, 1},
        {"", true, std::nullopt, 6000},
        {"no places: a click", false, std::nullopt, 6050, 3, false, 1},
        {"", true, std::nullopt, 6300},
        {"no places: a double click by its time", false, std::nullopt, 6350, 0, false, 2},
        {"", true, std::nullopt, 8000},
        {"no places: a drag by its way", false, std::nullopt, 8100, 10, true, 1},
    };
    ClickTracker tracker(ClickTracker::Settings{10, 400});
    for (const Step& step : steps) {
        if (step.press) {
            tracker.press(step.at, step.ms);
            continue;
        }
        const auto release = tracker.release(step.at, step.ms, step.moved);
        EXPECT_EQ(release.dragged, step.dragged) << step.what;
        EXPECT_EQ(release.clickCount, step.count) << step.what;
    }

    // Where the desktop's double-click distance (3) is below its drag distance (5), as on Windows:
    // a second click 2 pixels away continues the series, one 3 pixels away is a click of its own.
    ClickTracker narrow(ClickTracker::Settings{5, 400, 3});
    for (const int dx : {2, 3}) {
        narrow.press(P{0, 500 * dx}, 1000 * dx);
        narrow.release(P{0, 500 * dx}, 1000 * dx + 50);
        narrow.press(P{dx, 500 * dx}, 1000 * dx + 200);
        const auto second = narrow.release(P{dx, 500 * dx}, 1000 * dx + 250);
        EXPECT_FALSE(second.dragged) << dx;
        EXPECT_EQ(second.clickCount, dx == 2 ? 2 : 1) << dx;
    }
}

}  // namespace
}  // namespace snaplark::platform
