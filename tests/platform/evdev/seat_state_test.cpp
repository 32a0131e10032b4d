// The seat's modifiers and clicks, followed from recorded device streams: each case is a script
// of device events and the clicks it must produce, in order.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <map>
#include <sstream>
#include <string>

#include "platform/evdev/seat_state.h"

namespace snaplark::platform::evdev {
namespace {

// One step a line:
//   add DEV [KEY...]     a device appears with these keys down ("led" for a lit Caps Lock LED)
//   remove DEV
//   DEV KEY VALUE        a key event (VALUE a digit: 0 release, 1 press, 2 repeat)
//   DEV led on|off       the compositor sets the Caps Lock LED
//   DEV dropped          SYN_DROPPED, then the next SYN_REPORT, which must ask for a resync
//   DEV resync [KEY...]  the keys read again after the drop
// Each click is "press FLAGS" or "release FLAGS", FLAGS the letters of K command (Control),
// S shift, O option, C control (Super), L caps lock, or "-" for none.
std::string describe(const Click& click)
{
    const ModifierFlags flags[] = {modifier::command, modifier::shift, modifier::option,
                                   modifier::control, modifier::capsLock};
    std::string text = click.press ? "press " : "release ";
    for (int i = 0; i < 5; ++i)
        if (click.flags & flags[i]) text += "KSOCL"[i];
    return text + (click.flags == 0 ? "-\n" : "\n");
}

std::string run(const char* script)
{
    static const std::map<std::string, std::uint16_t> codes{
        {"ctrl", KEY_LEFTCTRL},  {"rctrl", KEY_RIGHTCTRL},   {"shift", KEY_LEFTSHIFT},
        {"alt", KEY_LEFTALT},    {"rshift", KEY_RIGHTSHIFT}, {"altgr", KEY_RIGHTALT},
        {"super", KEY_LEFTMETA}, {"rsuper", KEY_RIGHTMETA},  {"caps", KEY_CAPSLOCK},
        {"num", KEY_NUMLOCK},    {"enter", KEY_ENTER},       {"left", BTN_LEFT},
        {"right", BTN_RIGHT}};
    SeatState seat;
    std::string clicks;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        const auto led = line.ends_with(" led") ? std::optional(true) : std::nullopt;
        const auto keys = [&words] {
            KeyBits down;
            for (std::string word; words >> word;)
                if (word != "led") down.set(codes.at(word));
            return down;
        };
        // Returns whether the device asks to be read again.
        const auto deliver = [&](std::uint16_t type, std::uint16_t code, int value) {
            const auto outcome = seat.handle(std::stoi(first), {type, code, value});
            if (outcome.click) clicks += describe(*outcome.click);
            return outcome.resync;
        };
        if (first == "add") {
            seat.added(std::stoi(second), keys(), led);
        } else if (first == "remove") {
            seat.removed(std::stoi(second));
        } else if (second == "led") {
            deliver(EV_LED, LED_CAPSL, line.ends_with(" on"));
        } else if (second == "dropped") {
            deliver(EV_SYN, SYN_DROPPED, 0);
            EXPECT_TRUE(deliver(EV_SYN, SYN_REPORT, 0)) << line;
        } else if (second == "resync") {
            seat.resync(std::stoi(first), keys(), led);
        } else {
            deliver(EV_KEY, codes.at(second), line.back() - '0');
        }
    }
    return clicks;
}

TEST(SeatState, RecordedStreamsGiveTheseClicks)
{
    const std::pair<const char*, const char*> cases[] = {
        // None, then every modifier key in its role: the release holds only the other side's.
        {"add 1\nadd 2\n2 left 1\n2 left 0\n1 shift 1\n1 alt 1\n1 super 1\n1 rctrl 1\n2 left 1\n"
         "1 rshift 1\n1 altgr 1\n1 rsuper 1\n1 ctrl 1\n1 shift 0\n1 alt 0\n1 super 0\n1 rctrl 0\n"
         "2 left 0\n",
         "press -\nrelease -\npress KSOC\nrelease KSOC\n"},
        // One seat: the same key held on two keyboards ends only when both let go.
        {"add 1\nadd 2\nadd 3\n1 ctrl 1\n2 ctrl 1\n2 shift 1\n2 ctrl 0\n3 left 1\n1 ctrl 0\n"
         "3 left 0\n",
         "press KS\nrelease S\n"},
        // Repeats change nothing, of Caps Lock either.
        {"add 1\nadd 2\n1 ctrl 1\n1 ctrl 2\n2 left 1\n1 caps 2\n2 left 0\n",
         "press K\nrelease K\n"},
        // Keys already down when a device is added count; a removed device takes its keys; unknown
        // devices are ignored.
        {"add 1 ctrl shift\nadd 2 left\n2 left 0\nremove 1\n2 left 1\n7 ctrl 1\n2 left 0\n",
         "release KS\npress -\nrelease -\n"},
        // Caps Lock: a press toggles it, but a second press with no release between was a missed
        // release, not a toggle.
        {"add 1\nadd 2\n1 caps 1\n1 caps 0\n2 left 1\n1 caps 1\n1 caps 0\n2 left 0\n1 caps 1\n"
         "1 caps 1\n2 left 1\n",
         "press L\nrelease -\npress L\n"},
        // ... and the LED the compositor sets is the truth, also when a device is added.
        {"add 1 led\nadd 2\n2 left 1\n1 led off\n2 left 0\n1 led on\n2 left 1\n",
         "press L\nrelease -\npress L\n"},
        // Num Lock, other keys and other buttons are no modifiers and no clicks.
        {"add 1\n1 num 1\n1 right 1\n1 enter 1\n1 right 0\n1 left 1\n", "press -\n"},
        // After a drop the device's events are ignored until its keys are read again: a click in
        // the gap is lost, not invented.
        {"add 1\nadd 2\n1 ctrl 1\n1 dropped\n1 ctrl 0\n1 left 1\n2 left 1\n1 resync left\n"
         "2 left 0\n1 left 0\n",
         "press K\nrelease -\nrelease -\n"},
    };
    for (const auto& [script, clicks] : cases)
        EXPECT_EQ(run(script), clicks) << script;
}

}  // namespace
}  // namespace snaplark::platform::evdev
