// The macOS input against the fake SDK: what a fault in src/platform/macos would change for the
// user, as far as a model of macOS can show it. The gesture rules and the chords' shape are the
// simulator scripts' (tests/scripts). The fake follows Apple's documentation, not a Mac.
#include <gtest/gtest.h>

#include <utility>

#include "fake_sdk.h"
#include "gesture/modifier_flags.h"
#include "platform/macos/activation_policy.h"
#include "platform/macos/focus.h"
#include "platform/macos/login_item.h"
#include "platform/macos/observer.h"
#include "platform/macos/permissions.h"
#include "platform/macos/typist.h"
#include "platform/macos/user_defaults.h"
#include "preferences/settings_store.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::click;
using fake_sdk::world;

constexpr std::int64_t ownProcess = 4242, otherProcess = 777;
constexpr CGEventFlags command = kCGEventFlagMaskCommand, shift = kCGEventFlagMaskShift;

// Each test starts from a fresh fake and ends with every object it was given released.
class MacInput : public ::testing::Test {
protected:
    void SetUp() override { world = {}; }
    void TearDown() override { EXPECT_TRUE(world.live.empty()) << "objects not released"; }
};

// The agent's two monitors, each noting which button change it saw, with which flag word.
struct Monitors {
    explicit Monitors(Observer& observer)
    {
        for (const auto& [mask, name] :
             {std::pair{leftMouseUpMask, 'u'}, {leftMouseDownMask, 'd'}}) {
            const char change = name;  // clang before 16 cannot capture a binding
            observer.addGlobalMonitorForEventsMatchingMask(mask, [this, change](const Event& e) {
                seen.emplace_back(change, e.modifierFlags);
            });
        }
    }
    std::vector<std::pair<char, ModifierFlags>> seen;
    auto take() { return std::exchange(seen, {}); }
};

using Seen = std::vector<std::pair<char, ModifierFlags>>;

TEST_F(MacInput, OtherApplicationsClicksArriveWithTheirFlagsAlsoAfterTheSystemSwitchesTheTapOff)
{
    Observer observer(ownProcess);
    Monitors monitors(observer);
    EXPECT_EQ(observer.clicks(), Clicks::seen) << "a new tap is not silent before any click";
    click(kCGEventLeftMouseDown, command | shift, otherProcess);
    // Device bits and the high word too: the gesture engine decides what counts.
    click(kCGEventLeftMouseUp, command | 0xFFFFFFFF00000108, otherProcess);
    // Clicks in our own menu and windows are no gestures.
    click(kCGEventLeftMouseUp, command, ownProcess);
    EXPECT_EQ(monitors.take(), (Seen{{'d', command | shift}, {'u', command | 0xFFFFFFFF00000108}}));

    for (CGEventType why : {kCGEventTapDisabledByTimeout, kCGEventTapDisabledByUserInput}) {
        fake_sdk::switchTapsOff(why);
        click(kCGEventLeftMouseUp, command, otherProcess);
        EXPECT_EQ(monitors.take(), (Seen{{'u', command}})) << "after switch-off " << why;
    }
    EXPECT_EQ(observer.clicks(), Clicks::seen);
}

// Every modifier key from either hand, alone and in pairs, as the system's flag word has it: the
// key's role bit and its own device bit (IOLLEvent.h's NX_DEVICE masks), and the bit every event
// carries. Only Command alone copies and only Command with Shift pastes, whichever hands.
TEST_F(MacInput, EachModifierKeyFromEitherHandPlaysItsRole)
{
    constexpr CGEventFlags control = kCGEventFlagMaskControl, option = kCGEventFlagMaskAlternate;
    const std::pair<const char*, CGEventFlags> keys[] = {
        {"left Command", command | 0x08},
        {"right Command", command | 0x10},
        {"left Shift", shift | 0x02},
        {"right Shift", shift | 0x04},
        {"left Control", control | 0x01},
        {"right Control", control | 0x2000},
        {"left Option", option | 0x20},
        {"right Option", option | 0x40},
        {"Caps Lock", kCGEventFlagMaskAlphaShift},
    };
    Observer observer(ownProcess);
    Monitors monitors(observer);
    for (const auto& [first, firstFlags] : keys) {
        for (const auto& [second, secondFlags] : keys) {
            const CGEventFlags held = firstFlags | secondFlags;
            const CGEventFlags roles = held & deviceIndependentMask;
            click(kCGEventLeftMouseUp, held | 0x100, otherProcess);
            const Seen seen = monitors.take();
            ASSERT_EQ(seen.size(), 1u) << first << " + " << second;
            const int row = classifyModifiers(seen[0].second).number;
            EXPECT_EQ(row == copyRowNumber, roles == command) << first << " + " << second;
            EXPECT_EQ(row == pasteRowNumber, roles == (command | shift))
                << first << " + " << second;
        }
    }
}

// Start at login: a registration the system refuses is reported as failed; one that awaits the
// user's approval opens the Login Items pane where it is given, once; a plain one opens nothing.
TEST_F(MacInput, StartAtLoginSaysWhatTheSystemDidAndOpensSettingsOnlyForApproval)
{
    LoginItem item;
    world.loginRegisters = false;
    EXPECT_FALSE(item.setEnabled(true));
    EXPECT_FALSE(item.enabled());
    world.loginRegisters = true;
    EXPECT_TRUE(item.setEnabled(true));
    EXPECT_TRUE(item.enabled());
    EXPECT_EQ(world.loginSettingsOpened, 0);
    EXPECT_TRUE(item.setEnabled(false));
    EXPECT_FALSE(item.enabled());
    world.statusOnceRegistered = 2;  // requiresApproval
    EXPECT_TRUE(item.setEnabled(true));
    EXPECT_FALSE(item.enabled());
    EXPECT_TRUE(item.awaitingApproval());
    EXPECT_EQ(world.loginSettingsOpened, 1);
    EXPECT_TRUE(item.setEnabled(false));
    EXPECT_EQ(world.loginSettingsOpened, 1);
}

// The Dock icon comes and goes with the policy the agent asks for.
TEST_F(MacInput, TheActivationPolicyReachesTheApplication)
{
    for (const ActivationPolicy policy :
         {ActivationPolicy::regular, ActivationPolicy::prohibited}) {
        setApplicationActivationPolicy(policy);
        EXPECT_EQ(world.activationPolicy, static_cast<long>(policy));
    }
}

// A grant given while Snaplark runs takes effect at the next retry, without a restart.
TEST_F(MacInput, ARefusedOrSilentTapIsToldAndMadeAnewOnceAllowed)
{
    world.tapRefused = true;
    Observer refused(ownProcess);
    Monitors first(refused);
    EXPECT_EQ(refused.clicks(), Clicks::refused);
    world.tapRefused = false;
    refused.retryTap();
    click(kCGEventLeftMouseDown, command, otherProcess);
    EXPECT_EQ(first.take(), (Seen{{'d', command}}));
    EXPECT_EQ(refused.clicks(), Clicks::seen);

    // Our own status item was clicked, and the tap saw nothing of it.
    world.tapSilent = true;
    Observer silent(ownProcess);
    Monitors second(silent);
    silent.ownClickHappened();
    EXPECT_EQ(silent.clicks(), Clicks::silent);
    world.tapSilent = false;
    silent.retryTap();
    click(kCGEventLeftMouseUp, command, otherProcess);
    EXPECT_EQ(second.take(), (Seen{{'u', command}}));
    silent.ownClickHappened();
    EXPECT_EQ(silent.clicks(), Clicks::seen);
}

// A release tells whether the pointer moved at least the drag distance since the press, either
// way, and how many clicks it ends as the system counted them; each click names the front
// application.
TEST_F(MacInput, AReleaseTellsADragOrTheClicksItEndsAndTheFrontApplication)
{
    world.front = {otherProcess, "com.apple.TextEdit", "TextEdit"};
    FrontApplication front(ownProcess);
    Observer observer(ownProcess, [&front] { return front.current(); });
    std::vector<Event> releases;
    observer.addGlobalMonitorForEventsMatchingMask(
        leftMouseUpMask, [&releases](const Event& e) { releases.push_back(e); });
    const struct {
        const char* what;
        CGPoint releasedAt;  // pressed at 100,100
        std::int64_t clickState;
        bool dragged;
    } rows[] = {
        {"in place", {100, 100}, 1, false},
        {"just short of the distance", {103.9, 96.1}, 1, false},
        {"the distance across", {104, 100}, 1, true},
        {"the distance up", {100, 96}, 1, true},
        {"a double click", {100, 100}, 2, false},
        {"a triple click", {101, 100}, 3, false},
    };
    for (const auto& row : rows) {
        click(kCGEventLeftMouseDown, command, otherProcess, {100, 100}, row.clickState);
        click(kCGEventLeftMouseUp, command, otherProcess, row.releasedAt, row.clickState);
        ASSERT_EQ(releases.size(), 1u) << row.what;
        EXPECT_EQ(releases[0].dragged, row.dragged) << row.what;
        EXPECT_EQ(releases[0].clickCount, row.clickState) << row.what;
        EXPECT_EQ(releases[0].application.id, "com.apple.TextEdit") << row.what;
        releases.clear();
    }
    // A release whose press went unseen is measured against no earlier press.
    click(kCGEventLeftMouseUp, command, otherProcess, {300, 300});
    EXPECT_FALSE(releases.at(0).dragged);
}

// The front application by its bundle identifier and name; Snaplark's own window in front leaves
// the last other application named.
TEST_F(MacInput, TheFrontApplicationIsNeverSnaplark)
{
    using App = fake_sdk::RunningApplication;
    const App snaplark{ownProcess, "example.snaplark.Snaplark", "Snaplark"};
    const struct {
        const char* what;
        std::optional<App> front;
        const char *id, *name;
    } steps[] = {
        {"Snaplark before any other", snaplark, "", ""},
        {"Safari", App{otherProcess, "com.apple.Safari", "Safari"}, "com.apple.Safari", "Safari"},
        {"Snaplark's window in front", snaplark, "com.apple.Safari", "Safari"},
        {"no localized name", App{otherProcess, "org.example.tool", {}}, "org.example.tool",
         "org.example.tool"},
        {"no Info.plist, so no bundle identifier", App{otherProcess, {}, "tool"}, "", ""},
        {"none in front", std::nullopt, "", ""},
    };
    FrontApplication front(ownProcess);
    for (const auto& step : steps) {
        world.front = step.front;
        const ActiveApplication application = front.current();
        EXPECT_EQ(application.id, step.id) << step.what;
        EXPECT_EQ(application.name, step.name) << step.what;
    }
}

// Menus match Copy and Paste by the character the layout types with Command held.
TEST_F(MacInput, TheChordIsTheKeyThatTypesCOrVInTheCurrentLayout)
{
    const fake_sdk::Layout qwerty{{{8, u'c'}, {9, u'v'}}, {{8, u'c'}, {9, u'v'}}};
    // The keys labelled I and . (34, 47) type c and v; the C and V positions type j and k.
    const fake_sdk::Layout dvorak{{{8, u'j'}, {9, u'k'}, {34, u'c'}, {47, u'v'}},
                                  {{8, u'j'}, {9, u'k'}, {34, u'c'}, {47, u'v'}}};
    // Dvorak that turns QWERTY while Command is held.
    const fake_sdk::Layout dvorakQwertyCommand{{{8, u'j'}, {34, u'c'}, {47, u'v'}},
                                               {{8, u'c'}, {9, u'v'}, {34, u'i'}}};
    const fake_sdk::Layout russian{{{8, u'с'}, {9, u'м'}}, {{8, u'с'}, {9, u'м'}}};
    const struct {
        const char* name;
        std::optional<fake_sdk::Layout> layout;
        CGKeyCode copy, paste;
    } rows[] = {
        {"QWERTY", qwerty, 8, 9},
        {"Dvorak", dvorak, 34, 47},
        {"Dvorak - QWERTY Command", dvorakQwertyCommand, 8, 9},
        {"Russian: no Latin c or v", russian, 8, 9},
        {"no Unicode layout data", std::nullopt, 8, 9},
    };
    for (const auto& row : rows) {
        world.layout = row.layout;
        world.typed.clear();
        Typist typist;
        for (VirtualKeyCode key : {8, 9}) {
            auto down = typist.createKeyboardEvent(key, true);
            down->setFlags(command);
            typist.post(EventTap::hid, *down);
            // A layout switched between the two still lets go of the key pressed.
            world.layout = qwerty;
            typist.post(EventTap::hid, *typist.createKeyboardEvent(key, false));
            world.layout = row.layout;
        }
        EXPECT_EQ(world.typed, (std::vector<fake_sdk::KeyPress>{{row.copy, true, command},
                                                                {row.copy, false, 0},
                                                                {row.paste, true, command},
                                                                {row.paste, false, 0}}))
            << row.name;
    }
}

// The tool tip's line as permissions come and go, across runs and an update: the help and the
// system's prompt once per install; a grant lost to an update is named as such.
TEST_F(MacInput, PermissionNoticeTellsWhatIsMissingOncePerInstall)
{
    struct Step {
        Access now;
        std::optional<std::vector<const char*>> toolTip;  // what it says; nothing: nothing new
        bool help = false, ask = false;
    };
    const char* allowTyping = "cannot type Copy and Paste: allow it under System Settings, "
                              "Privacy & Security, Accessibility";
    const char* updated = "since it was updated: remove it from System Settings, Privacy & "
                          "Security, Accessibility (-) and add it again (+)";
    const char* allowClicks = "cannot see your clicks: allow it under System Settings, Privacy & "
                              "Security, Input Monitoring";
    const char* readd = "looks allowed: remove it from System Settings, Privacy & Security, Input "
                        "Monitoring and Accessibility (-) and add it again (+)";
    const std::vector<std::pair<const char*, std::vector<Step>>> runs{
        // Never allowed, then updated: nothing was lost in the update.
        {"0.9 (build 1)", {{{false, Clicks::seen}, std::vector{allowTyping}, true, true}}},
        {"0.9 (build 2)", {{{false, Clicks::seen}, std::vector{allowTyping}, true, true}}},
        {"1.0 (build 1)",
         {{{true, Clicks::seen}, std::vector<const char*>{}},
          {{false, Clicks::seen}, std::vector{allowTyping}, true, true},
          {{false, Clicks::seen}, std::nullopt},
          {{true, Clicks::seen}, std::vector<const char*>{}}}},
        {"1.0 (build 1)", {{{false, Clicks::seen}, std::vector{allowTyping}}}},
        {"1.0 (build 2)",
         {{{false, Clicks::refused}, std::vector{updated, allowClicks}, true, true}}},
        {"1.0 (build 2)", {{{true, Clicks::silent}, std::vector{readd}}}},
    };
    for (const auto& [install, steps] : runs) {
        UserDefaultsStore store;
        PermissionNotice notice(store, install);
        for (const Step& step : steps) {
            const auto told = notice.update(step.now);
            ASSERT_EQ(told.has_value(), step.toolTip.has_value()) << install;
            if (!told) continue;
            for (const char* part : *step.toolTip)
                EXPECT_TRUE(told->toolTip.find(part) != std::string::npos) << told->toolTip;
            EXPECT_EQ(told->toolTip.empty(), step.toolTip->empty()) << install;
            EXPECT_EQ(told->showHelp, step.help) << install << ": " << told->toolTip;
            EXPECT_EQ(told->askSystem, step.ask) << install;
        }
    }
}

// The switches live in the bundle identifier's domain, as `defaults read
// example.snaplark.Snaplark` shows it, never the global domain; a switch an earlier build kept
// in com.snaplark.Snaplark is carried over.
TEST_F(MacInput, SettingsLiveInTheBundleIdentifiersDomainAndEarlierSwitchesAreCarriedOver)
{
    using Stored = std::optional<bool>;
    const struct {
        const char* what;
        Stored current, earlier;
        Stored read, currentAfter;
    } rows[] = {
        {"stored here: the earlier value is not used", false, true, false, false},
        {"only in the earlier domain: carried over", std::nullopt, false, false, false},
        {"nowhere, not even in the global domain", std::nullopt, std::nullopt, std::nullopt,
         std::nullopt},
    };
    for (const auto& row : rows) {
        world = {};
        auto& current = world.preferences["example.snaplark.Snaplark"];
        if (row.current) current["boolEnableCopy"] = *row.current;
        if (row.earlier)
            world.preferences["com.snaplark.Snaplark"]["boolEnableCopy"] = *row.earlier;
        world.preferences["kCFPreferencesAnyApplication"]["boolEnableCopy"] = true;
        UserDefaultsStore store;
        for (int twice = 0; twice < 2; ++twice) {
            const auto read = store.open()->objectForKey("boolEnableCopy");
            EXPECT_EQ(read ? Stored(std::get<bool>(*read)) : std::nullopt, row.read) << row.what;
        }
        const auto after = current.find("boolEnableCopy");
        EXPECT_EQ(after != current.end() ? Stored(std::get<bool>(after->second)) : std::nullopt,
                  row.currentAfter)
            << row.what;
    }
    // `defaults write -int 0` is a number like any other, not a missing value.
    world = {};
    world.preferences["example.snaplark.Snaplark"]["boolEnableCopy"] = std::int64_t{0};
    const auto zero = UserDefaultsStore().open()->objectForKey("boolEnableCopy");
    ASSERT_TRUE(zero);
    EXPECT_EQ(std::get<std::uint64_t>(*zero), 0u);
}

// A choice is saved in that domain; one that cannot be saved holds for the rest of the run.
TEST_F(MacInput, ChoicesAreSavedOrHeldForTheRun)
{
    UserDefaultsStore store;
    store.open()->setBool(false, "boolEnablePaste");
    EXPECT_EQ(world.preferences["example.snaplark.Snaplark"]["boolEnablePaste"],
              (std::variant<bool, std::string, std::int64_t>(false)));
    world.preferencesRefused = true;
    store.open()->setBool(true, "boolEnablePaste");
    setPausedApplications(*store.open(), {{"com.apple.Safari", "Safari"}});
    EXPECT_TRUE(store.open()->boolForKey("boolEnablePaste"));
    EXPECT_EQ(pausedApplications(*store.open()).size(), 1u);
    EXPECT_FALSE(UserDefaultsStore().open()->boolForKey("boolEnablePaste"));
}

// The paused applications (one string of id-tab-name lines) and the selection switch come back
// in the next run; a missing value, or one of another kind (`defaults write -bool` or `-int`), is
// no application paused.
TEST_F(MacInput, PausedApplicationsAndTheSelectionSwitchComeBackInTheNextRun)
{
    // Longer than 256 bytes, and not all ASCII.
    std::vector<ActiveApplication> paused{{"com.apple.Notes", "Notizen – Café"}};
    for (int i = 0; i < 12; ++i)
        paused.push_back({"org.example.application" + std::to_string(i), "Application"});
    UserDefaultsStore().open()->setBool(true, copyOnlyAfterSelectionKey);
    setPausedApplications(*UserDefaultsStore().open(), paused);
    UserDefaultsStore nextRun;
    const auto defaults = nextRun.open();
    EXPECT_TRUE(defaults->boolForKey(copyOnlyAfterSelectionKey));
    const auto read = pausedApplications(*defaults);
    ASSERT_EQ(read.size(), paused.size());
    for (std::size_t i = 0; i < read.size(); ++i) {
        EXPECT_EQ(read[i].id, paused[i].id);
        EXPECT_EQ(read[i].name, paused[i].name);
    }

    using Stored = std::optional<std::variant<bool, std::string, std::int64_t>>;
    for (const Stored& stored : {Stored(), Stored(true), Stored(std::int64_t{3})}) {
        world = {};
        if (stored)
            world.preferences["example.snaplark.Snaplark"]["arrayPausedApplications"] = *stored;
        EXPECT_TRUE(pausedApplications(*UserDefaultsStore().open()).empty()) << stored.has_value();
    }
}

}  // namespace
}  // namespace snaplark::platform::macos
