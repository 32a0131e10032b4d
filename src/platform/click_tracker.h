#pragma once

#include <cstdint>
#include <optional>

namespace snaplark::platform {

// Tells of a left-button release whether it ends a drag, or a double or triple click, as the
// desktop counts them: a drag when the button moved at least the drag distance since its press;
// the next click of a series when its press comes within the double-click interval of the last
// press, not as far as the drag distance (or the double-click distance) from it, after a click
// that was no drag. A series ends after three clicks, as word and then line selection do. Where a
// backend knows no position (the kernel's relative motion, read only while the button is down), it
// passes none, and the count rests on the press times alone.
class ClickTracker {
public:
    struct Settings {
        int dragDistance = 10;  // pixels, or device units where no pixels are known
        std::int64_t doubleClickInterval = 400;  // milliseconds
        // How near a press must be to the last one to continue a series, where the desktop has a
        // distance of its own for it (Windows' double-click rectangle); 0: the drag distance.
        int doubleClickDistance = 0;
    };
    struct Point {
        int x = 0;
        int y = 0;
    };
    struct Release {
        bool dragged = false;
        int clickCount = 1;
    };

    ClickTracker() = default;
    explicit ClickTracker(Settings settings) : settings_(settings) {}
    void setSettings(Settings settings) { settings_ = settings; }

    void press(std::optional<Point> at, std::int64_t timeMs);
    // `moved`, where the backend measured the way rather than the ends: how far it went.
    Release release(std::optional<Point> at, std::int64_t timeMs, int moved = 0);

private:
    static bool within(std::optional<Point> a, std::optional<Point> b, int distance);

    Settings settings_{10, 400};
    std::optional<Point> pressedAt_;
    std::optional<std::int64_t> lastPress_;
    std::optional<Point> lastPressAt_;
    int count_ = 0;
    bool lastDragged_ = false;
};

}  // namespace snaplark::platform
