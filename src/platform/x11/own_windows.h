#pragma once

#include <bitset>
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace snaplark::platform::x11 {

// A left-button press or release as the server recorded it at the device.
struct ButtonEvent {
    bool press = false;
    unsigned button = 0;     // the physical button, before the pointer map
    std::uint32_t time = 0;  // server time in milliseconds
    unsigned state = 0;      // the core modifier state at the event
    int rootX = 0;
    int rootY = 0;
    // Keys the user held that a chord of ours had let go of at the event: not in `state`, yet
    // still held.
    std::bitset<256> letGo;
};

// Where one of the agent's windows lies on the root window.
struct RootRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const
    {
        return px >= x && py >= y && px < x + width && py < y + height;
    }
};

// Tells clicks in the agent's own windows (menu, dialogs, preferences window, tray icon) from
// clicks in other applications by where the server delivered them. The recorded stream carries
// each device event and, right behind it, its delivery to the agent's own client if it had one:
// a press counts unless it was delivered to us, and a release goes with its press (the window
// that got the press holds the implicit grab, whatever lies under the pointer at release).
// Nothing here asks the server anything; events come out in the order they happened.
class OwnClicks {
public:
    using Clock = std::chrono::steady_clock;
    // How long a press inside one of our windows waits for its delivery: a window manager's
    // click-to-focus grab passes it on to the window only after a round trip of its own.
    static constexpr std::chrono::milliseconds deliveryWait{300};

    // Our windows' rectangles; a press inside one may be delivered to us late.
    void setOwnRects(std::vector<RootRect> rects) { rects_ = std::move(rects); }
    // Our menu is open in another client's window (a StatusNotifierItem host draws it): every
    // press goes to that menu, so none is a gesture. Some hosts never say that the menu closed;
    // a whole click closes it, on an entry or beside the menu.
    void setMenuOpenElsewhere(bool open) { menuOpenElsewhere_ = open; }

    void recorded(const ButtonEvent& event, Clock::time_point now);
    void deliveredToUs(bool press, std::uint32_t time);
    // Everything the server had sent has been read: an event with no delivery to us by now had
    // none, unless it lies in one of our windows and may still be passed on.
    void endOfBatch();

    // The events settled as clicks in other applications, in order; ours are dropped.
    std::vector<ButtonEvent> takeSettled(Clock::time_point now);
    // When a waiting press settles on its own, if one waits.
    std::optional<Clock::time_point> nextDeadline() const;

private:
    struct Pending {
        ButtonEvent event;
        bool ours = false;  // delivered to us, or pressed in our menu drawn elsewhere
        bool batchEnded = false;
        bool mayArriveLate = false;
        Clock::time_point deadline;
    };
    std::deque<Pending> pending_;
    std::vector<RootRect> rects_;
    bool menuOpenElsewhere_ = false;
    std::bitset<256> pressInMenu_;
    // Per button: a press was seen, and whether it went to us. A release without a press seen
    // (the agent started mid-drag) goes by its own delivery.
    std::bitset<256> pressSeen_;
    std::bitset<256> pressOurs_;
};

}  // namespace snaplark::platform::x11
