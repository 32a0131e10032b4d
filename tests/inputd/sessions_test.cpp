// Whom the service serves, and which keys it types with: one row per kind of program or layout.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include "inputd/layouts.h"
#include "inputd/sessions.h"

namespace snaplark::inputd {
namespace {

TEST(Sessions, OnlyTheActiveLocalGraphicalSessionIsServed)
{
    const ActiveSession desktop{"2", 1000, "user", "wayland", false};
    const auto peer = [](uid_t uid, std::optional<std::string> session,
                         std::optional<std::string> slice = {},
                         std::optional<std::string> display = {}) {
        return PeerSession{uid, std::move(session), std::move(slice), std::move(display)};
    };
    struct Case {
        const char* what;
        std::optional<ActiveSession> active;
        PeerSession peer;
        bool served;
    };
    const Case cases[] = {
        {"the agent in the session", desktop, peer(1000, "2"), true},
        {"an application the desktop started", desktop, peer(1000, {}, "app.slice", "2"), true},
        {"an X11 session", ActiveSession{"2", 1000, "user", "x11", false}, peer(1000, "2"), true},
        {"another session of the same user", desktop, peer(1000, "3"), false},
        {"an SSH or cron session", desktop, peer(1000, "c1"), false},
        {"a background service of the user", desktop, peer(1000, {}, "background.slice", "2"),
         false},
        {"a user service outside any slice", desktop, peer(1000, {}, {}, "2"), false},
        {"an application of the user's other graphical session", desktop,
         peer(1000, {}, "app.slice", "3"), false},
        {"another user's program in the session", desktop, peer(1001, "2"), false},
        {"root in the session", desktop, peer(0, "2"), false},
        {"the greeter's own session", ActiveSession{"c2", 120, "greeter", "wayland", false},
         peer(120, "c2"), false},
        {"the lock screen's session", ActiveSession{"c3", 1000, "lock-screen", "wayland", false},
         peer(1000, "c3"), false},
        {"a remote session at the seat", ActiveSession{"2", 1000, "user", "wayland", true},
         peer(1000, "2"), false},
        {"a text console", ActiveSession{"2", 1000, "user", "tty", false}, peer(1000, "2"), false},
        {"nobody at the seat", std::nullopt, peer(1000, "2"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(!refusalFor(c.active, c.peer).has_value(), c.served) << c.what;
}

// The system's keyboard data decides which pairs are real; a client's word for a key is not.
TEST(LayoutPairs, OnlyPairsOfRealLayouts)
{
    LayoutPairs layouts;
    struct Case {
        const char* what;
        ChordKeys keys;
        bool real;
    };
    const Case cases[] = {
        {"the C and V positions", {KEY_C, KEY_V}, true},
        {"Dvorak: c on I, v on the period key", {KEY_I, KEY_DOT}, true},
        {"a pair no layout has", {KEY_Q, KEY_M}, false},
        {"Dvorak's c with QWERTY's v", {KEY_I, KEY_V}, false},
        {"one key for both", {KEY_C, KEY_C}, false},
        {"Enter", {KEY_ENTER, KEY_V}, false},
        {"Power", {KEY_C, KEY_POWER}, false},
    };
    const auto isReal = [&layouts](ChordKeys keys) {
        while (layouts.judge(keys) == Realness::unknown)
            layouts.learn(std::chrono::milliseconds(10));
        return layouts.judge(keys) == Realness::real;
    };
    for (const Case& c : cases)
        EXPECT_EQ(isReal(c.keys), c.real) << c.what;
    // Once every layout was compiled, nothing is left unknown.
    EXPECT_FALSE(layouts.learn(std::chrono::milliseconds(10)));
    EXPECT_EQ(layouts.judge({KEY_W, KEY_E}), Realness::notReal);
}

}  // namespace
}  // namespace snaplark::inputd
