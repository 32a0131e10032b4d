#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "platform/win32/own_windows.h"

namespace snaplark::platform::win32 {
namespace {

TEST(PrimaryButton, FollowsSwappedButtons)
{
    struct Case {
        unsigned message;
        bool swapped;
        std::optional<ButtonChange> change;
    };
    const Case cases[] = {
        {WM_LBUTTONDOWN, false, ButtonChange::press}, {WM_LBUTTONUP, false, ButtonChange::release},
        {WM_RBUTTONDOWN, false, std::nullopt},        {WM_RBUTTONUP, false, std::nullopt},
        {WM_RBUTTONDOWN, true, ButtonChange::press},  {WM_RBUTTONUP, true, ButtonChange::release},
        {WM_LBUTTONDOWN, true, std::nullopt},         {WM_LBUTTONUP, true, std::nullopt},
        {WM_MBUTTONDOWN, false, std::nullopt},        {WM_MOUSEMOVE, false, std::nullopt},
        {WM_MOUSEWHEEL, true, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(primaryButtonChange(c.message, c.swapped), c.change) << std::hex << c.message;
}

struct Step {
    ButtonChange change;
    bool onOwnWindow;
    bool menuOpen;
    bool isOthers;
};

void play(const std::vector<Step>& steps)
{
    OwnClicks clicks;
    int index = 0;
    for (const Step& step : steps) {
        EXPECT_EQ(clicks.isOthers(step.change, step.onOwnWindow, step.menuOpen), step.isOthers)
            << "step " << index;
        ++index;
    }
}

constexpr auto press = ButtonChange::press;
constexpr auto release = ButtonChange::release;

TEST(OwnClicks, ClicksInOtherWindowsAreGestures)
{
    play({{press, false, false, true}, {release, false, false, true}});
}

TEST(OwnClicks, AReleaseGoesWithItsPress)
{
    // A drag out of our dialog ends in another window: still ours.
    play({{press, true, false, false}, {release, false, false, false}});
    // A drag from another window that ends over our dialog: still the other window's.
    play({{press, false, false, true}, {release, true, false, true}});
}

TEST(OwnClicks, EveryPressWhileOurMenuIsOpenIsOurs)
{
    // A click beside the open menu closes it; its release comes after the menu has gone.
    play(
        {{press, false, true, false}, {release, false, false, false}, {press, false, false, true}});
}

TEST(OwnClicks, AReleaseWithoutAPressGoesByWhereItHappened)
{
    play({{release, true, false, false}});
    play({{release, false, false, true}});
}

}  // namespace
}  // namespace snaplark::platform::win32
