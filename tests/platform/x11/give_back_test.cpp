// The paste chord lets go of the user's Shift and gives it back afterwards, unless the user let go
// of it meanwhile: while the chord is typed, or between the typist's look and its give-back, where
// the server drops the let-go (the key is up then) and Shift would stay stuck unless the typist
// looks once more and lets go again. Run on a live X display (desktop/gestures.sh starts one),
// with the user's keys typed from a second connection at exactly those moments.
// gtest first: Xlib defines None, which gtest uses as a name.
// clang-format off
#include <gtest/gtest.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
// clang-format on

#include "platform/x11/keyboard_map.h"
#include "platform/x11/typist.h"

namespace snaplark::platform::x11 {
namespace {

TEST(GiveBack, FollowsWhatTheUserHolds)
{
    Display* agent = XOpenDisplay(nullptr);
    Display* user = XOpenDisplay(nullptr);
    if (agent == nullptr || user == nullptr) GTEST_SKIP() << "no X display";
    int opcode = 0, event = 0, error = 0, major = 2, minor = 2;
    ASSERT_TRUE(XQueryExtension(agent, "XInputExtension", &opcode, &event, &error));
    ASSERT_EQ(XIQueryVersion(agent, &major, &minor), Success);
    const KeyboardMap map = readKeyboardMap(agent, true);
    const KeyCode shift = XKeysymToKeycode(user, XK_Shift_L);
    const KeyCode control = XKeysymToKeycode(user, XK_Control_L);
    const auto isDown = [user](KeyCode key) {
        char keys[32] = {};
        XQueryKeymap(user, keys);
        return ((keys[key / 8] >> (key % 8)) & 1) != 0;
    };
    const auto letGoOfShift = [&] {
        XTestFakeKeyEvent(user, shift, False, CurrentTime);
        XSync(user, False);
    };
    enum LetGo { never, whileTyped, beforeGiveBack };
    for (const LetGo letGo : {never, whileTyped, beforeGiveBack}) {
        Typist typist(agent, map, true, opcode);
        XTestFakeKeyEvent(user, control, True, CurrentTime);
        XTestFakeKeyEvent(user, shift, True, CurrentTime);
        XSync(user, False);
        typist.setBeforeGiveBack([&] {
            if (letGo == beforeGiveBack) letGoOfShift();
        });
        constexpr VirtualKeyCode paste = 9;
        typist.keyDown(paste, modifier::command);
        if (letGo == whileTyped) {
            XSync(agent, False);
            letGoOfShift();
        }
        typist.keyUp(paste);
        XSync(agent, False);
        EXPECT_EQ(isDown(shift), letGo == never) << "let go: " << letGo;
        EXPECT_TRUE(isDown(control)) << "let go: " << letGo;
        XTestFakeKeyEvent(user, shift, False, CurrentTime);
        XTestFakeKeyEvent(user, control, False, CurrentTime);
        XSync(user, False);
    }
    XCloseDisplay(user);
    XCloseDisplay(agent);
}

}  // namespace
}  // namespace snaplark::platform::x11
