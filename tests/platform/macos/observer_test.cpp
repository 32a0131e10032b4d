#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "fake_sdk_test.h"
#include "platform/macos/observer.h"

namespace snaplark::platform::macos {
namespace {

using fake_sdk::calls;
using fake_sdk::sendMouseEvent;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

constexpr std::int64_t ownProcess = 4242;
constexpr std::int64_t otherProcess = 777;

std::string seenLine(const char* kind, std::uint64_t flags)
{
    char line[48];
    std::snprintf(line, sizeof line, "%s 0x%llx", kind, static_cast<unsigned long long>(flags));
    return line;
}

// What the handlers saw, in order: "down 0x..." or "up 0x...".
struct Seen {
    std::vector<std::string> events;
    void add(const char* kind, const Event& e)
    {
        events.push_back(seenLine(kind, e.modifierFlags));
    }
};

class ObserverTest : public fake_sdk::FakeSdkTest {
protected:
    // The agent's order: the release monitor first, then the press monitor.
    void installBoth(Observer& observer)
    {
        upToken = observer.addGlobalMonitorForEventsMatchingMask(
            leftMouseUpMask, [this](const Event& e) { seen.add("up", e); });
        downToken = observer.addGlobalMonitorForEventsMatchingMask(
            leftMouseDownMask, [this](const Event& e) { seen.add("down", e); });
    }
    Seen seen;
    std::shared_ptr<MonitorToken> upToken;
    std::shared_ptr<MonitorToken> downToken;
};

TEST_F(ObserverTest, OneListenOnlyTapForBothButtonsOnTheMainRunLoopInEveryMode)
{
    {
        Observer observer(ownProcess);
        installBoth(observer);
        EXPECT_NE(upToken, nullptr);
        EXPECT_NE(downToken, nullptr);
        EXPECT_THAT(calls(),
                    ElementsAre("CGEventTapCreate(kCGAnnotatedSessionEventTap, "
                                "kCGTailAppendEventTap, kCGEventTapOptionListenOnly, 0x6) "
                                "= tap1",
                                "CFMachPortCreateRunLoopSource(NULL, tap1, 0) = source1",
                                "CFRunLoopAddSource(main, source1, kCFRunLoopCommonModes)"));
    }
    // Nothing is left behind when the observer goes.
    EXPECT_THAT(std::vector(calls().begin() + 3, calls().end()),
                ElementsAre("CGEventTapEnable(tap1, false)",
                            "CFRunLoopRemoveSource(main, source1, kCFRunLoopCommonModes)",
                            "CFRelease(source1)", "CFMachPortInvalidate(tap1)", "CFRelease(tap1)"));
}

TEST_F(ObserverTest, FlagWordsReachTheHandlersUnchanged)
{
    // Device-dependent low bits, the non-coalesced bit and the high word included: the gesture
    // engine decides what counts.
    constexpr std::array<CGEventFlags, 8> words{
        0,
        kCGEventFlagMaskCommand,
        kCGEventFlagMaskCommand | kCGEventFlagMaskShift,
        kCGEventFlagMaskCommand | kCGEventFlagMaskNonCoalesced | 0x8,
        kCGEventFlagMaskCommand | kCGEventFlagMaskAlphaShift,
        kCGEventFlagMaskControl | kCGEventFlagMaskAlternate | kCGEventFlagMaskSecondaryFn,
        kCGEventFlagMaskNumericPad | kCGEventFlagMaskHelp,
        0xFFFFFFFF00100000,
    };
    Observer observer(ownProcess);
    installBoth(observer);
    std::vector<std::string> expected;
    for (CGEventFlags word : words) {
        sendMouseEvent(kCGEventLeftMouseDown, word, otherProcess);
        sendMouseEvent(kCGEventLeftMouseUp, word, otherProcess);
        expected.push_back(seenLine("down", word));
        expected.push_back(seenLine("up", word));
    }
    EXPECT_THAT(seen.events, ElementsAreArray(expected));
}

TEST_F(ObserverTest, ClicksAimedAtThisProcessAreNotGestures)
{
    Observer observer(ownProcess);
    installBoth(observer);
    sendMouseEvent(kCGEventLeftMouseDown, kCGEventFlagMaskCommand, ownProcess);
    sendMouseEvent(kCGEventLeftMouseUp, kCGEventFlagMaskCommand, ownProcess);
    EXPECT_THAT(seen.events, IsEmpty());

    // What counts is where the click goes, not who made it: a click we typed ourselves into
    // another application is that application's.
    sendMouseEvent(kCGEventLeftMouseUp, kCGEventFlagMaskCommand, otherProcess, ownProcess);
    EXPECT_THAT(seen.events, ElementsAre("up 0x100000"));
}

class ObserverReenableTest : public ObserverTest,
                             public ::testing::WithParamInterface<CGEventType> {};

TEST_P(ObserverReenableTest, TapSwitchedOffByTheSystemComesBackAtOnce)
{
    Observer observer(ownProcess);
    installBoth(observer);
    const std::size_t before = calls().size();
    fake_sdk::disableTaps(GetParam());
    EXPECT_THAT(std::vector(calls().begin() + static_cast<std::ptrdiff_t>(before), calls().end()),
                ElementsAre("CGEventTapEnable(tap1, true)"));
    EXPECT_THAT(seen.events, IsEmpty());
    sendMouseEvent(kCGEventLeftMouseUp, kCGEventFlagMaskCommand, otherProcess);
    EXPECT_THAT(seen.events, ElementsAre("up 0x100000"));
}

INSTANTIATE_TEST_SUITE_P(Reasons, ObserverReenableTest,
                         ::testing::Values(kCGEventTapDisabledByTimeout,
                                           kCGEventTapDisabledByUserInput));

TEST_F(ObserverTest, RefusedTapInstallsNoMonitorAndIsTriedAgain)
{
    Observer observer(ownProcess);
    fake_sdk::settings().tapRefused = true;
    EXPECT_EQ(observer.addGlobalMonitorForEventsMatchingMask(
                  leftMouseUpMask, [this](const Event& e) { seen.add("up", e); }),
              nullptr);
    EXPECT_THAT(calls(), ElementsAre(::testing::EndsWith("= NULL")));

    fake_sdk::settings().tapRefused = false;
    EXPECT_NE(observer.addGlobalMonitorForEventsMatchingMask(
                  leftMouseDownMask, [this](const Event& e) { seen.add("down", e); }),
              nullptr);
    sendMouseEvent(kCGEventLeftMouseDown, kCGEventFlagMaskCommand, otherProcess);
    sendMouseEvent(kCGEventLeftMouseUp, kCGEventFlagMaskCommand, otherProcess);
    EXPECT_THAT(seen.events, ElementsAre("down 0x100000"));
}

}  // namespace
}  // namespace snaplark::platform::macos
