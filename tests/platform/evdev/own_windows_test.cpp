// Which clicks are the agent's own, from the device's reports and the compositor's deliveries
// to our surfaces, in either order: each case is a script and the clicks it lets through, each
// with the millisecond it was let through at.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/evdev/own_windows.h"

namespace snaplark::platform::evdev {
namespace {

// One step a line:
//   shown | hidden          whether one of our surfaces is shown
//   menu | no menu          our menu is open in the tray host, or no longer
//   press | release [K]     the device reports the left button, with Control ("K") or without
//   delivered               the compositor delivered a press to one of our surfaces
//   +MS                     time passes
std::string run(const char* script)
{
    using Clock = OwnClicks::Clock;
    const Clock::time_point start{};
    Clock::time_point now = start;
    OwnClicks clicks;
    std::string out;
    std::istringstream lines(script);
    for (std::string line; std::getline(lines, line);) {
        if (line == "shown" || line == "hidden") {
            clicks.setSurfacesShown(line == "shown", now);
        } else if (line == "menu" || line == "no menu") {
            clicks.setMenuOpenElsewhere(line == "menu");
        } else if (line.starts_with("press") || line.starts_with("release")) {
            clicks.read({line.starts_with("press"), line.ends_with(" K") ? modifier::command : 0},
                        now);
        } else if (line == "delivered") {
            clicks.deliveredPress(now);
        } else if (line.starts_with("+")) {
            // Time passes as the agent sees it: woken at the deadline, if one comes first.
            const auto until = now + std::chrono::milliseconds(std::stoi(line.substr(1)));
            while (const auto deadline = clicks.nextDeadline()) {
                if (*deadline > until) break;
                now = std::max(now, *deadline);
                for (const Click& c : clicks.takeSettled(now))
                    out += std::to_string((now - start) / std::chrono::milliseconds(1)) +
                           (c.press ? " press" : " release") + (c.flags ? " K\n" : "\n");
            }
            now = until;
        } else {
            ADD_FAILURE() << "bad step: " << line;
        }
        for (const Click& c : clicks.takeSettled(now))
            out += std::to_string((now - start) / std::chrono::milliseconds(1)) +
                   (c.press ? " press" : " release") + (c.flags ? " K\n" : "\n");
    }
    return out;
}

struct Case {
    const char* name;
    const char* script;
    const char* expected;
};

const Case cases[] = {
    {"with none of our surfaces shown nothing waits", "press K\n+5\nrelease K\n",
     "0 press K\n5 release K\n"},
    {"a press delivered to us after the device told of it is ours, and so is its release",
     "shown\npress K\n+3\ndelivered\n+50\nrelease K\n+400\n", ""},
    {"a delivery may come before the device's report",
     "shown\ndelivered\n+2\npress\n+40\nrelease\n+400\n", ""},
    {"a press with no delivery waits for it, then counts; its release waits behind it",
     "shown\npress K\n+100\nrelease K\n+400\n", "300 press K\n300 release K\n"},
    {"a click on our window at once followed by one elsewhere: only the second counts",
     "shown\npress\n+2\nrelease\n+2\npress K\n+1\ndelivered\n+2\nrelease K\n+400\n",
     "304 press K\n304 release K\n"},
    {"a window that just closed may still take a press on its way",
     "shown\n+10\nhidden\n+100\npress\ndelivered\nrelease\n+400\npress\nrelease\n",
     "510 press\n510 release\n"},
    {"a delivery no device reported (a tap) does not make a later press ours",
     "shown\ndelivered\n+350\npress K\nrelease K\n+400\n", "650 press K\n650 release K\n"},
    {"every click while our menu is open elsewhere is ours, and a whole click closes it",
     "menu\npress K\nrelease K\npress\nrelease\n", "0 press\n0 release\n"},
};

TEST(OwnClicks, Scripts)
{
    for (const Case& c : cases)
        EXPECT_EQ(run(c.script), c.expected) << c.name;
}

}  // namespace
}  // namespace snaplark::platform::evdev
