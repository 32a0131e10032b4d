// The agent itself on the macOS input: a click seen by the event tap goes through the gesture
// engine and comes out as Core Graphics key events.
#include <sstream>
#include <string>
#include <vector>

#include "fake_sdk_test.h"
#include "gesture/app_delegate.h"
#include "platform/macos/observer.h"
#include "platform/macos/typist.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::calls;
using fake_sdk::sendMouseEvent;
using ::testing::ElementsAreArray;

constexpr std::int64_t ownProcess = 4242;
constexpr std::int64_t otherProcess = 777;

// The rest of the desktop, as little of it as the agent's start-up and its gestures touch.
struct QuietDesktop final : Application,
                            StatusBar,
                            MenuFactory,
                            UserDefaultsStore,
                            RunLoop,
                            AlertFactory,
                            StoryboardLoader,
                            Bundle {
    struct Item final : MenuItem {
        ControlState state() const override { return state_; }
        void setState(ControlState state) override { state_ = state; }
        ControlState state_ = stateOff;
    };
    struct NoMenu final : Menu {
        void addItem(std::shared_ptr<MenuItem>) override {}
    };
    struct NoButtonItem final : StatusItem {
        void setHighlightMode(bool) override {}
        StatusButton* button() override { return nullptr; }
        void setMenu(std::shared_ptr<Menu>) override {}
    };
    // Nothing stored: both gestures on, as at first launch.
    struct NoDefaults final : UserDefaults {
        std::optional<PropertyValue> objectForKey(std::string_view) override { return {}; }
        bool boolForKey(std::string_view) override { return false; }
        void setBool(bool, std::string_view) override {}
    };

    void setActivationPolicy(ActivationPolicy) override {}
    void terminate(Object*) override {}
    std::shared_ptr<StatusItem> statusItemWithLength(double) override
    {
        return std::make_shared<NoButtonItem>();
    }
    std::shared_ptr<Image> imageNamed(std::string_view) override { return nullptr; }
    std::shared_ptr<Menu> makeMenu() override { return std::make_shared<NoMenu>(); }
    std::shared_ptr<MenuItem> makeMenuItem(std::string_view, Selector, std::string_view) override
    {
        return std::make_shared<Item>();
    }
    std::shared_ptr<MenuItem> separatorItem() override { return std::make_shared<Item>(); }
    std::unique_ptr<UserDefaults> open() override { return std::make_unique<NoDefaults>(); }
    std::shared_ptr<Timer> scheduledTimer(double, Responder&, Selector, bool) override
    {
        return nullptr;
    }
    void addTimer(const std::shared_ptr<Timer>&, RunLoopMode) override {}
    std::unique_ptr<Alert> makeAlert() override { return nullptr; }
    std::unique_ptr<Storyboard> storyboardWithName(std::string_view) override { return nullptr; }
    const InfoDictionary* infoDictionary() const override { return nullptr; }
};

// The agent after start-up, its monitors installed by the agent's own code.
struct RunningAgent {
    RunningAgent() { agent.applicationDidFinishLaunching(); }
    QuietDesktop desktop;
    Observer observer{ownProcess};
    Typist typist;
    Platform platform{desktop, desktop, desktop, observer, typist,
                      desktop, desktop, desktop, desktop,  desktop};
    std::ostringstream lines;
    AppDelegate agent{platform, lines};
};

enum class Click { press, release };

struct Case {
    const char* name;
    Click click;
    CGEventFlags flags;
    std::int64_t target;
    bool keyDownCannotBeMade;
    bool keyUpCannotBeMade;
    std::vector<std::string> typed;  // the calls after start-up
};

const std::vector<std::string> commandC{
    "CGEventCreateKeyboardEvent(NULL, 8, true) = event1",
    "CGEventSetFlags(event1, 0x100000)",
    "CGEventPost(kCGHIDEventTap, event1)",
    "CFRelease(event1)",
    "CGEventCreateKeyboardEvent(NULL, 8, false) = event2",
    "CGEventPost(kCGHIDEventTap, event2)",
    "CFRelease(event2)",
};
const std::vector<std::string> commandV{
    "CGEventCreateKeyboardEvent(NULL, 9, true) = event1",
    "CGEventSetFlags(event1, 0x100000)",
    "CGEventPost(kCGHIDEventTap, event1)",
    "CFRelease(event1)",
    "CGEventCreateKeyboardEvent(NULL, 9, false) = event2",
    "CGEventPost(kCGHIDEventTap, event2)",
    "CFRelease(event2)",
};

constexpr CGEventFlags command = kCGEventFlagMaskCommand;
constexpr CGEventFlags shift = kCGEventFlagMaskShift;

const std::vector<Case> cases{
    {"CopyOnReleaseWithCommand", Click::release, command, otherProcess, false, false, commandC},
    // The key-down carries Command alone, not the Shift the user holds.
    {"PasteOnPressWithCommandShift", Click::press, command | shift, otherProcess, false, false,
     commandV},
    {"CopyWithDeviceBitsSet", Click::release, command | kCGEventFlagMaskNonCoalesced | 0x10,
     otherProcess, false, false, commandC},
    {"NothingOnPressWithCommand", Click::press, command, otherProcess, false, false, {}},
    {"NothingOnReleaseWithCommandShift",
     Click::release,
     command | shift,
     otherProcess,
     false,
     false,
     {}},
    {"NothingWithCapsLock",
     Click::release,
     command | kCGEventFlagMaskAlphaShift,
     otherProcess,
     false,
     false,
     {}},
    {"NothingInOurOwnMenuOrWindows", Click::release, command, ownProcess, false, false, {}},
    // No key may be left down: the key-up goes out although the key-down could not be made.
    {"KeyUpWhenTheKeyDownCannotBeMade",
     Click::release,
     command,
     otherProcess,
     true,
     false,
     {"CGEventCreateKeyboardEvent(NULL, 8, true) = NULL",
      "CGEventCreateKeyboardEvent(NULL, 8, false) = event1", "CGEventPost(kCGHIDEventTap, event1)",
      "CFRelease(event1)"}},
    {"KeyDownAloneWhenTheKeyUpCannotBeMade",
     Click::press,
     command | shift,
     otherProcess,
     false,
     true,
     {"CGEventCreateKeyboardEvent(NULL, 9, true) = event1", "CGEventSetFlags(event1, 0x100000)",
      "CGEventPost(kCGHIDEventTap, event1)", "CFRelease(event1)",
      "CGEventCreateKeyboardEvent(NULL, 9, false) = NULL"}},
    {"NothingPostedWhenNoEventCanBeMade",
     Click::release,
     command,
     otherProcess,
     true,
     true,
     {"CGEventCreateKeyboardEvent(NULL, 8, true) = NULL",
      "CGEventCreateKeyboardEvent(NULL, 8, false) = NULL"}},
};

class AgentOnMacInput : public fake_sdk::FakeSdkTest, public ::testing::WithParamInterface<Case> {};

TEST_P(AgentOnMacInput, TypesExactlyTheChordOfTheGesture)
{
    const Case& c = GetParam();
    RunningAgent running;

    fake_sdk::settings().keyDownCannotBeMade = c.keyDownCannotBeMade;
    fake_sdk::settings().keyUpCannotBeMade = c.keyUpCannotBeMade;
    const std::size_t startUp = calls().size();
    sendMouseEvent(c.click == Click::press ? kCGEventLeftMouseDown : kCGEventLeftMouseUp, c.flags,
                   c.target);

    EXPECT_THAT(std::vector(calls().begin() + static_cast<std::ptrdiff_t>(startUp), calls().end()),
                ElementsAreArray(c.typed));
    // One diagnostic line per click that is someone else's.
    EXPECT_EQ(running.lines.str().empty(), c.target == ownProcess);
}

INSTANTIATE_TEST_SUITE_P(Gestures, AgentOnMacInput, ::testing::ValuesIn(cases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace snaplark::platform::macos
