// The macOS input against the recording fake SDK. The gesture rules and the chords they type (key
// codes 8 and 9, a key-down with Command alone, a key-up without flags and going out even when its
// key-down could not be made) are the simulator scripts' (tests/scripts); here is what a fault in
// src/platform/macos would break on the way to and from Core Graphics.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "fake_sdk.h"
#include "platform/macos/accessibility.h"
#include "platform/macos/login_item.h"
#include "platform/macos/observer.h"
#include "platform/macos/typist.h"
#include "platform/macos/user_defaults.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::send;
using fake_sdk::world;

constexpr std::int64_t ownProcess = 4242, otherProcess = 777;
constexpr CGEventFlags command = kCGEventFlagMaskCommand, shift = kCGEventFlagMaskShift;

// Each test starts from a fresh fake and ends with every object it was given released.
class MacInput : public ::testing::Test {
protected:
    void SetUp() override { world = {}; }
    void TearDown() override { EXPECT_TRUE(world.live.empty()); }
    // The calls since the last look.
    static std::string trail() { return std::exchange(world.calls, {}); }
};

// The agent's two monitors, each writing into the trail which button change it saw, with which
// flag word.
struct Monitors {
    static std::function<void(const Event&)> see(const char* change)
    {
        return [change](const Event& e) { fake_sdk::note(change, e.modifierFlags); };
    }
    Observer& observer;
    std::shared_ptr<MonitorToken> up =
        observer.addGlobalMonitorForEventsMatchingMask(leftMouseUpMask, see("up"));
    std::shared_ptr<MonitorToken> down =
        observer.addGlobalMonitorForEventsMatchingMask(leftMouseDownMask, see("down"));
};

// One listen-only tap (1) for both buttons (0x6) at the end (1) of the annotated session tap (2),
// where each event names the process it goes to: a tap that could change events would hold every
// click up. On the main run loop in common modes, so that clicks count while our menu is open.
TEST_F(MacInput, OneListenOnlyTapPassesOnOtherProcessesClicksAndComesBackWhenSwitchedOff)
{
    {
        Observer observer(ownProcess);
        Monitors monitors{observer};
        EXPECT_EQ(trail(), "CGEventTapCreate(2, 1, 1, 0x6) = tap1; "
                           "CFMachPortCreateRunLoopSource(NULL, tap1, 0) = source1; "
                           "CFRunLoopAddSource(main, source1, kCFRunLoopCommonModes)");
        send(kCGEventLeftMouseDown, command | shift, otherProcess);
        // Device bits and the high word too: the gesture engine decides what counts.
        send(kCGEventLeftMouseUp, command | kCGEventFlagMaskAlphaShift | 0xFFFFFFFF00000108,
             otherProcess);
        // Clicks in our own menu and windows are no gestures; a click we typed into another
        // application is that application's.
        send(kCGEventLeftMouseUp, command | shift, ownProcess);
        send(kCGEventLeftMouseUp, command, otherProcess, ownProcess);
        send(kCGEventTapDisabledByTimeout, 0, otherProcess);
        send(kCGEventTapDisabledByUserInput, 0, otherProcess);
        EXPECT_EQ(trail(), "down(0x120000); up(0xffffffff00110108); up(0x100000); "
                           "CGEventTapEnable(tap1, true); CGEventTapEnable(tap1, true)");
    }
    EXPECT_EQ(trail(), "CGEventTapEnable(tap1, false); "
                       "CFRunLoopRemoveSource(main, source1, kCFRunLoopCommonModes); "
                       "CFRelease(source1); CFMachPortInvalidate(tap1); CFRelease(tap1)");
}

// Without the permission the system refuses the tap: no monitor, and the next one asks again.
TEST_F(MacInput, RefusedTapIsAskedForAgain)
{
    world.tapRefused = true;
    Observer observer(ownProcess);
    Monitors monitors{observer};
    EXPECT_EQ(monitors.up, nullptr);
    EXPECT_EQ(trail(),
              "CGEventTapCreate(2, 1, 1, 0x6) = NULL; CGEventTapCreate(2, 1, 1, 0x6) = NULL");
}

// Each key event goes out at the HID level (0) exactly as made, and is released once.
TEST_F(MacInput, KeyEventsAreTypedAsMadeAndReleased)
{
    Typist typist;
    {
        auto keyDown = typist.createKeyboardEvent(8, true);
        keyDown->setFlags(command);
        typist.post(EventTap::hid, *keyDown);
        typist.post(EventTap::hid, *typist.createKeyboardEvent(9, false));
    }
    world.keyEventsRefused = true;
    EXPECT_EQ(typist.createKeyboardEvent(8, true), nullptr);
    EXPECT_EQ(trail(), "CGEventCreateKeyboardEvent(NULL, 8, true) = event1; "
                       "CGEventSetFlags(event1, 0x100000); CGEventPost(0, event1); "
                       "CGEventCreateKeyboardEvent(NULL, 9, false) = event2; "
                       "CGEventPost(0, event2); CFRelease(event2); CFRelease(event1); "
                       "CGEventCreateKeyboardEvent(NULL, 8, true) = NULL");
}

TEST_F(MacInput, TheSystemPromptsForAccessibilityOnlyWhenNotTrusted)
{
    EXPECT_FALSE(askForAccessibility());
    world.trusted = true;
    EXPECT_TRUE(askForAccessibility());
    EXPECT_EQ(trail(), "AXIsProcessTrusted() = false; CFDictionaryCreate(NULL, 1, "
                       "kAXTrustedCheckOptionPrompt, kCFBooleanTrue) = dictionary1; "
                       "AXIsProcessTrustedWithOptions(dictionary1) = false; "
                       "CFRelease(dictionary1); AXIsProcessTrusted() = true");
}

// Both permissions are asked for without a prompt.
TEST_F(MacInput, PermissionsAreCheckedWithoutPrompting)
{
    world.trusted = true;
    world.listening = false;
    const Permissions now = currentPermissions();
    EXPECT_TRUE(now.typing);
    EXPECT_FALSE(now.listening);
    EXPECT_EQ(trail(), "AXIsProcessTrusted() = true; CGPreflightListenEventAccess() = false");
}

// The user is told what is missing when it changes, the help dialog comes once per run, and a
// later grant clears the tool tip's line.
TEST(PermissionNotice, TellsWhatIsMissingWhenItChangesAndShowsTheHelpOnce)
{
    const Permissions all{true, true}, noTyping{false, true}, noListening{true, false},
        none{false, false};
    struct Step {
        Permissions now;
        std::optional<std::string> toolTip;  // nothing: nothing to tell
        bool showHelp = false;
    };
    const std::string settings = ": allow it under System Settings, Privacy & Security, ";
    const std::vector<std::vector<Step>> runs{
        {{all, std::nullopt}, {all, std::nullopt}},
        {{noTyping, "Snaplark cannot type Copy and Paste" + settings + "Accessibility", true},
         {noTyping, std::nullopt},
         {all, ""},
         {noTyping, "Snaplark cannot type Copy and Paste" + settings + "Accessibility", false}},
        {{noListening, "Snaplark cannot see your clicks" + settings + "Input Monitoring", true},
         {none,
          "Snaplark cannot see your clicks or type" + settings +
              "Accessibility and Input Monitoring",
          false}},
    };
    for (const auto& run : runs) {
        PermissionNotice notice;
        for (const Step& step : run) {
            const auto told = notice.update(step.now);
            EXPECT_EQ(told.has_value(), step.toolTip.has_value());
            if (!told || !step.toolTip) continue;
            EXPECT_EQ(told->toolTip, *step.toolTip);
            EXPECT_EQ(told->showHelp, step.showHelp);
        }
    }
}

// From macOS 13 the main app registers itself; the checkbox is on only while the system will
// start it, not while it waits for the user's approval under Login Items.
TEST_F(MacInput, LoginItemIsTheMainAppServiceWhereThereIsOne)
{
    struct Case {
        long status;
        bool refused, enable;
        bool enabledBefore, result, enabledAfter;
    };
    const Case cases[] = {
        {0, false, true, false, true, true},   // not registered
        {2, false, true, false, true, false},  // registered, awaiting approval
        {0, true, true, false, false, false},  // the system refuses
        {1, false, true, true, true, true},    // already on
        {1, false, false, true, true, false},  // switched off
    };
    for (const Case& c : cases) {
        world = {};
        world.loginItemStatus = c.status;
        world.loginItemRefused = c.refused;
        LoginItem item("/nonexistent/agent.plist",
                       "/Applications/Snaplark.app/Contents/MacOS/Snaplark");
        EXPECT_EQ(item.enabled(), c.enabledBefore);
        EXPECT_EQ(item.setEnabled(c.enable), c.result);
        EXPECT_EQ(item.enabled(), c.enabledAfter);
    }
}

// Before macOS 13 there is no such class: a LaunchAgent that starts the program at login.
TEST_F(MacInput, LoginItemIsALaunchAgentOnOlderSystems)
{
    world.missingClasses = {"SMAppService"};
    const auto folder = std::filesystem::path(::testing::TempDir()) / "snaplark-login-item";
    std::filesystem::remove_all(folder);
    const auto agent = folder / "LaunchAgents" / "example.snaplark.Snaplark.plist";
    LoginItem item(agent.string(), "/Apps/A&B.app/Contents/MacOS/Snaplark");
    EXPECT_FALSE(item.enabled());
    ASSERT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.enabled());
    std::stringstream text;
    text << std::ifstream(agent).rdbuf();
    for (const char* part : {"<key>Label</key>\n\t<string>example.snaplark.Snaplark</string>",
                             "<string>/Apps/A&amp;B.app/Contents/MacOS/Snaplark</string>",
                             "<key>RunAtLoad</key>\n\t<true/>"})
        EXPECT_NE(text.str().find(part), std::string::npos) << part << " in " << text.str();
    EXPECT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(item.enabled());
    EXPECT_TRUE(item.setEnabled(false));
    std::filesystem::remove_all(folder);
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The switches live in the bundle identifier's domain of the current user on any host, the one
// `defaults read example.snaplark.Snaplark` shows. No other domain is read but the earlier
// builds' (Qt named it com.snaplark.Snaplark), once per key; a switch found there is carried over.
TEST_F(MacInput, SettingsLiveInTheBundleIdentifiersDomainOnlyAndEarlierSwitchesAreCarriedOver)
{
    using Stored = std::optional<bool>;
    struct Case {
        const char* what;
        Stored current, earlier;
        std::optional<PropertyValue> read;  // twice in a row, the same
        Stored currentAfter;
    };
    const Case cases[] = {
        {"stored here: the earlier domain is not asked", false, true, false, false},
        {"only in the earlier domain: carried over", std::nullopt, false, false, false},
        {"nowhere", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
    };
    const std::string domainArguments =
        "example.snaplark.Snaplark, kCFPreferencesCurrentUser, kCFPreferencesAnyHost)";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        world = {};
        auto& current = world.preferences["example.snaplark.Snaplark"];
        if (c.current) current["boolEnableCopy"] = *c.current;
        if (c.earlier) world.preferences["com.snaplark.Snaplark"]["boolEnableCopy"] = *c.earlier;
        // What the global domain holds is every application's, not Snaplark's.
        world.preferences["kCFPreferencesAnyApplication"]["boolEnableCopy"] = true;
        {
            UserDefaultsStore store;
            EXPECT_EQ(store.open()->objectForKey("boolEnableCopy"), c.read);
            EXPECT_EQ(store.open()->objectForKey("boolEnableCopy"), c.read);
        }
        const std::string calls = trail();
        EXPECT_EQ(count(calls, "CFPreferencesCopyValue(boolEnableCopy, " + domainArguments), 2)
            << calls;
        EXPECT_EQ(count(calls, "CopyValue(boolEnableCopy, com.snaplark.Snaplark"),
                  c.current ? 0 : 1)
            << calls;
        EXPECT_EQ(count(calls, "kCFPreferencesAnyApplication"), 0) << calls;
        EXPECT_EQ(current.contains("boolEnableCopy") ? Stored(current["boolEnableCopy"])
                                                     : std::nullopt,
                  c.currentAfter);
        EXPECT_TRUE(world.live.empty());
    }
}

// A choice is written to that domain and flushed; one that cannot be saved holds for the run.
TEST_F(MacInput, SwitchesAreSavedInTheBundleIdentifiersDomainOrHeldForTheRun)
{
    UserDefaultsStore store;
    store.open()->setBool(false, "boolEnablePaste");
    EXPECT_EQ(trail(), "CFPreferencesSetValue(boolEnablePaste, kCFBooleanFalse, "
                       "example.snaplark.Snaplark, kCFPreferencesCurrentUser, "
                       "kCFPreferencesAnyHost); "
                       "CFPreferencesSynchronize(example.snaplark.Snaplark, "
                       "kCFPreferencesCurrentUser, kCFPreferencesAnyHost) = true; "
                       "CFRelease(boolEnablePaste)");
    world.preferencesRefused = true;
    store.open()->setBool(true, "boolEnablePaste");
    EXPECT_TRUE(store.open()->boolForKey("boolEnablePaste"));
    EXPECT_EQ(world.preferences["example.snaplark.Snaplark"]["boolEnablePaste"], false);
}

}  // namespace
}  // namespace snaplark::platform::macos
