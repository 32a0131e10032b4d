// The Windows input's rules where the end-to-end test under Wine (desktop.sh) cannot reach: keys
// and windows Wine does not give us (the logo keys, AltGr, the lock keys besides Caps Lock,
// consoles, other layouts) and orders of events no pointer script can time. The rest is tested
// there, for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <bitset>
#include <deque>
#include <set>
#include <vector>

#include "gesture/modifier_flags.h"
#include "platform/win32/modifier_map.h"
#include "platform/win32/own_windows.h"
#include "platform/win32/terminal_rule.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {
namespace {

TEST(ModifierMap, KeysHeldAtAClickNameTheirRow)
{
    struct Case {
        std::set<int> down, toggled;
        int row;
    };
    const Case cases[] = {
        {{VK_LWIN}, {}, 2},
        {{VK_RWIN}, {}, 2},
        {{VK_MENU}, {}, 3},
        {{VK_CONTROL, VK_LWIN}, {}, 9},
        // AltGr reaches Windows as Ctrl and Alt: no copy.
        {{VK_CONTROL, VK_MENU}, {}, 10},
        // Only Caps Lock's toggle blocks the gestures: not the other locks, not its key held.
        {{VK_CONTROL}, {VK_NUMLOCK, VK_SCROLL, VK_KANA}, copyRowNumber},
        {{VK_CONTROL, VK_CAPITAL}, {}, copyRowNumber},
    };
    for (const Case& c : cases) {
        const KeyProbe probe{[&](int key) { return c.down.count(key) != 0; },
                             [&](int key) { return c.toggled.count(key) != 0; }};
        EXPECT_EQ(classifyModifiers(modifierFlagsOf(probe)).number, c.row) << *c.down.begin();
    }
}

TEST(OwnClicks, AReleaseGoesWithItsPressAndAPressBesideOurMenuIsOurs)
{
    constexpr auto press = ButtonChange::press, release = ButtonChange::release;
    struct Step {
        ButtonChange change;
        bool onOwnWindow, menuOpen, isOthers;
    };
    const std::vector<std::vector<Step>> runs{
        // A drag out of our dialog stays ours; one into it stays the other window's.
        {{press, true, false, false}, {release, false, false, false}},
        {{press, false, false, true}, {release, true, false, true}},
        // The release of a click that closed our menu comes after the menu has gone.
        {{press, false, true, false}, {release, false, false, false}, {press, false, false, true}},
        // Without its press, a release goes by where it happened.
        {{release, true, false, false}},
        {{release, false, false, true}},
    };
    for (const auto& run : runs) {
        OwnClicks clicks;
        for (const Step& s : run)
            EXPECT_EQ(clicks.isOthers(s.change, s.onOwnWindow, s.menuOpen), s.isOthers);
    }
    EXPECT_EQ(primaryButtonChange(WM_RBUTTONUP, false), std::nullopt);
    EXPECT_EQ(primaryButtonChange(WM_MOUSEWHEEL, true), std::nullopt);
}

TEST(ConsoleRule, KnowsConsolesByTheirExactWindowClass)
{
    EXPECT_EQ(consoleKindOf("ConsoleWindowClass"), TerminalKind::shiftChords);
    EXPECT_EQ(consoleKindOf("CASCADIA_HOSTING_WINDOW_CLASS"), TerminalKind::shiftChords);
    EXPECT_EQ(consoleKindOf("PuTTY"), TerminalKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("mintty"), TerminalKind::selectionOnly);
    EXPECT_EQ(consoleKindOf("consolewindowclass"), TerminalKind::none);
}

constexpr VirtualKeyCode keyC = 8, keyV = 9;
constexpr VirtualKey lShift = Typist::leftShift, rShift = Typist::rightShift,
                     lCtrl = Typist::leftControl, rCtrl = Typist::rightControl,
                     lAlt = Typist::leftAlt, lWin = Typist::leftWin, mask = Typist::maskKey,
                     insert = Typist::insertKey;

KeyStroke down(VirtualKey key)
{
    return {key, false};
}
KeyStroke up(VirtualKey key)
{
    return {key, true};
}

// The system's input queue as far as the typist can tell: key events, the user's and ours, are
// taken in the order they were queued; each changes the keyboard state (a key-up of a key that is
// up changes nothing, as on Windows) and passes the keyboard hook.
struct FakeSystem final : KeyboardDevice {
    TerminalKind kind = TerminalKind::none;
    VirtualKey keyForC = 'C';
    std::bitset<256> state;
    std::deque<std::pair<KeyStroke, bool>> queue;  // with whether the typist typed it
    std::vector<KeyStroke> typed;
    Typist typist{*this};

    // Takes everything queued, as the hook sees it, settling when the typist asks.
    void process()
    {
        for (; !queue.empty(); queue.pop_front()) {
            const auto [stroke, ours] = queue.front();
            state.set(stroke.key, !stroke.up);
            if (typist.keyObserved(stroke.key, stroke.up, ours)) typist.settle();
        }
    }
    bool isDown(VirtualKey key) const override { return state.test(key); }
    TerminalKind foregroundKind() const override { return kind; }
    VirtualKey keyTyping(char character) const override { return character == 'c' ? keyForC : 'V'; }
    void type(const std::vector<KeyStroke>& strokes) override
    {
        for (const KeyStroke& stroke : strokes) {
            typed.push_back(stroke);
            queue.push_back({stroke, true});
        }
    }
};

std::bitset<256> keys(const std::vector<VirtualKey>& held)
{
    std::bitset<256> bits;
    for (VirtualKey k : held)
        bits.set(k);
    return bits;
}

// Each chord as the focused window must see it, and every key the user held down again after.
TEST(Typist, TypesExactlyTheChordAndGivesBackWhatTheUserHolds)
{
    struct Case {
        TerminalKind kind;
        VirtualKeyCode key;
        std::vector<VirtualKey> held;
        std::vector<KeyStroke> typed;
        VirtualKey keyForC = 'C';
    };
    const Case cases[] = {
        {TerminalKind::none, keyC, {rCtrl}, {down('C'), up('C')}},
        {TerminalKind::none, keyC, {lCtrl}, {down('J'), up('J')}, 'J'},  // where Dvorak has its c
        {TerminalKind::none,
         keyV,
         {lShift, rShift, lCtrl},
         {up(lShift), up(rShift), down('V'), up('V'), down(lShift), down(rShift)}},
        // Alt and Win are let go behind a mask key, or the window's menu or Start would open.
        {TerminalKind::none,
         keyC,
         {lAlt, lWin},
         {down(mask), up(mask), up(lAlt), up(lWin), down(lCtrl), down('C'), up('C'), up(lCtrl),
          down(lAlt), down(lWin)}},
        {TerminalKind::shiftChords, keyV, {rShift, rCtrl}, {down('V'), up('V')}},
        {TerminalKind::shiftChords, keyC, {lCtrl}, {down(lShift), down('C'), up('C'), up(lShift)}},
        {TerminalKind::selectionOnly, keyC, {lCtrl}, {}},
        {TerminalKind::selectionOnly,
         keyV,
         {lCtrl, lShift},
         {up(lCtrl), down(insert), up(insert), down(lCtrl)}},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.kind = c.kind;
        system.keyForC = c.keyForC;
        system.state = keys(c.held);
        system.typist.keyDown(c.key, modifier::command);
        system.typist.keyUp(c.key);
        system.process();
        EXPECT_EQ(system.typed, c.typed) << &c - cases;
        EXPECT_EQ(system.state, keys(c.held))
            << &c - cases << ": a key left down or not given back";
    }
}

// The user lets go of Shift (and maybe takes it again) while the paste chord goes through the
// queue: Shift must end as the user left it, and only a give-back the user undid is let go again.
TEST(Typist, AShiftTheUserLetsGoMidChordEndsAsTheUserLeftIt)
{
    struct Case {
        std::vector<KeyStroke> beforeKeyUp, afterChord;
        std::vector<VirtualKey> held;
        std::size_t typed;
    };
    const Case cases[] = {
        {{up(lShift)}, {}, {lCtrl}, 5},
        {{}, {up(lShift)}, {lCtrl}, 4},
        {{up(lShift), down(lShift)}, {}, {lShift, lCtrl}, 4},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.state = keys({lCtrl, lShift});
        system.typist.keyDown(keyV, modifier::command);
        for (KeyStroke s : c.beforeKeyUp)
            system.queue.push_back({s, false});
        system.typist.keyUp(keyV);
        system.process();
        for (KeyStroke s : c.afterChord)
            system.queue.push_back({s, false});
        system.process();
        EXPECT_EQ(system.state, keys(c.held)) << &c - cases;
        EXPECT_EQ(system.typed.size(), c.typed) << &c - cases;
    }
}

TEST(Typist, AKeyUpAloneLetsGoOfItsKeyAndAKeyWithoutAPositionTypesNothing)
{
    FakeSystem system;
    system.typist.keyUp(keyC);
    system.typist.keyDown(3, modifier::command);
    system.typist.keyUp(3);
    EXPECT_EQ(system.typed, std::vector<KeyStroke>{up('C')});
}

}  // namespace
}  // namespace snaplark::platform::win32
