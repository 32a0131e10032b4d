// The seat's modifiers and clicks, followed from recorded device streams: each case is a script
// of device events and the clicks it must produce, in order.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <sstream>
#include <string>
#include <vector>

#include "platform/evdev/seat_state.h"

namespace snaplark::platform::evdev {
namespace {

// One line per step:
//   add DEV [KEY...] [led=on|off]   a device appears with these keys down
//   remove DEV
//   DEV KEY VALUE                   a key event (0 release, 1 press, 2 repeat)
//   DEV led on|off                  the compositor sets the Caps Lock LED
//   DEV dropped                     SYN_DROPPED, then the next SYN_REPORT
//   DEV resync [KEY...]             the keys read again after the drop
// Each click is written as "press FLAGS" or "release FLAGS", FLAGS a sum of letters:
// K command (Control), S shift, O option, C control (Super), L caps lock, - none.
struct Case {
    const char* name;
    const char* script;
    const char* clicks;
};

std::uint16_t keyCode(const std::string& name)
{
    static const std::vector<std::pair<std::string, std::uint16_t>> names{
        {"ctrl", KEY_LEFTCTRL}, {"rctrl", KEY_RIGHTCTRL}, {"shift", KEY_LEFTSHIFT},
        {"alt", KEY_LEFTALT},   {"altgr", KEY_RIGHTALT},  {"super", KEY_LEFTMETA},
        {"caps", KEY_CAPSLOCK}, {"num", KEY_NUMLOCK},     {"a", KEY_A},
        {"left", BTN_LEFT},     {"right", BTN_RIGHT},
    };
    for (const auto& [n, code] : names) {
        if (n == name) return code;
    }
    ADD_FAILURE() << "unknown key " << name;
    return 0;
}

std::string flagLetters(ModifierFlags flags)
{
    std::string letters;
    if (flags & modifier::command) letters += 'K';
    if (flags & modifier::shift) letters += 'S';
    if (flags & modifier::option) letters += 'O';
    if (flags & modifier::control) letters += 'C';
    if (flags & modifier::capsLock) letters += 'L';
    return letters.empty() ? "-" : letters;
}

std::string run(const char* script)
{
    SeatState seat;
    std::string clicks;
    std::istringstream lines(script);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string first, second;
        if (!(words >> first)) continue;
        const auto readKeys = [&words](std::optional<bool>& led) {
            KeyBits down;
            std::string word;
            while (words >> word) {
                if (word.rfind("led=", 0) == 0) {
                    led = word == "led=on";
                } else {
                    down.set(keyCode(word));
                }
            }
            return down;
        };
        const auto deliver = [&](int device, InputEvent e) {
            const auto outcome = seat.handle(device, e);
            if (outcome.click) {
                clicks += std::string(outcome.click->press ? "press " : "release ") +
                          flagLetters(outcome.click->flags) + "\n";
            }
            return outcome;
        };
        if (first == "add") {
            int device = 0;
            words >> device;
            std::optional<bool> led;
            const KeyBits down = readKeys(led);
            seat.added(device, down, led);
            continue;
        }
        if (first == "remove") {
            int device = 0;
            words >> device;
            seat.removed(device);
            continue;
        }
        const int device = std::stoi(first);
        words >> second;
        if (second == "led") {
            std::string state;
            words >> state;
            deliver(device, {EV_LED, LED_CAPSL, state == "on"});
        } else if (second == "dropped") {
            deliver(device, {EV_SYN, SYN_DROPPED, 0});
            EXPECT_TRUE(deliver(device, {EV_SYN, SYN_REPORT, 0}).resync) << line;
        } else if (second == "resync") {
            std::optional<bool> led;
            const KeyBits down = readKeys(led);
            seat.resync(device, down, led);
        } else {
            int value = 0;
            words >> value;
            deliver(device, {EV_KEY, keyCode(second), value});
            deliver(device, {EV_SYN, SYN_REPORT, 0});
        }
    }
    return clicks;
}

class SeatStreams : public testing::TestWithParam<Case> {};

TEST_P(SeatStreams, GiveTheseClicks)
{
    EXPECT_EQ(run(GetParam().script), GetParam().clicks) << GetParam().script;
}

const Case cases[] = {
    {"PlainAndControl",
     "add 1\nadd 2\n2 left 1\n2 left 0\n1 ctrl 1\n2 left 1\n2 left 0\n1 ctrl 0\n2 left 1\n",
     "press -\nrelease -\npress K\nrelease K\npress -\n"},
    {"EveryModifierRole",
     "add 1\nadd 2\n1 shift 1\n1 alt 1\n1 super 1\n1 rctrl 1\n2 left 1\n1 altgr 1\n1 alt 0\n"
     "2 left 0\n",
     "press KSOC\nrelease KSOC\n"},
    {"OneSeatAcrossKeyboards", "add 1\nadd 2\nadd 3\n1 ctrl 1\n2 shift 1\n3 left 1\n3 left 0\n",
     "press KS\nrelease KS\n"},
    // The same key held on two keyboards ends only when both let go.
    {"KeyLetGoOnAnotherDevice",
     "add 1\nadd 2\nadd 3\n1 ctrl 1\n2 ctrl 1\n2 ctrl 0\n3 left 1\n1 ctrl 0\n3 left 0\n",
     "press K\nrelease -\n"},
    {"RepeatsChangeNothing",
     "add 1\nadd 2\n1 ctrl 1\n1 ctrl 2\n1 ctrl 2\n2 left 1\n1 caps 2\n2 left 0\n",
     "press K\nrelease K\n"},
    {"KeysDownWhenAdded", "add 1 ctrl shift\nadd 2 left\n2 left 0\n", "release KS\n"},
    {"RemovedKeyboardTakesItsKeys", "add 1\nadd 2\n1 ctrl 1\nremove 1\n2 left 1\n", "press -\n"},
    {"EventsOfUnknownDevicesIgnored", "add 2\n7 ctrl 1\n2 left 1\n", "press -\n"},
    {"CapsLockTogglesOnPress",
     "add 1\nadd 2\n1 caps 1\n1 caps 0\n2 left 1\n1 caps 1\n1 caps 0\n2 left 0\n",
     "press L\nrelease -\n"},
    {"CapsLockFollowsTheLed",
     "add 1 led=on\nadd 2\n2 left 1\n1 led off\n2 left 0\n1 led on\n2 left 1\n",
     "press L\nrelease -\npress L\n"},
    {"CapsLockOfAMouseUnknown", "add 1 led=on\nadd 2\n2 left 1\n", "press L\n"},
    {"NumLockIgnored", "add 1\nadd 2\n1 num 1\n1 num 0\n1 ctrl 1\n2 left 1\n", "press K\n"},
    {"OtherButtonsAndKeysAreNoClicks", "add 1\n1 right 1\n1 a 1\n1 right 0\n", ""},
    // After a drop the device's events are ignored until its keys are read again.
    {"SynDroppedResyncs",
     "add 1\nadd 2\n1 ctrl 1\n1 dropped\n1 ctrl 0\n2 left 1\n1 resync\n2 left 0\n",
     "press K\nrelease -\n"},
    {"DroppedClickIsLostNotInvented", "add 1\n1 dropped\n1 left 1\n1 resync left\n1 left 0\n",
     "release -\n"},
};

INSTANTIATE_TEST_SUITE_P(Recorded, SeatStreams, testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace snaplark::platform::evdev
