#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <deque>
#include <initializer_list>
#include <vector>

#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;
constexpr ModifierFlags command = 0x100000;

constexpr VirtualKey lShift = Typist::leftShift, rShift = Typist::rightShift,
                     lCtrl = Typist::leftControl, rCtrl = Typist::rightControl,
                     lAlt = Typist::leftAlt, lWin = Typist::leftWin, mask = Typist::maskKey,
                     insert = Typist::insertKey;
constexpr VirtualKey vkC = 'C', vkV = 'V';

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
class FakeSystem final : public KeyboardDevice {
public:
    TerminalKind kind = TerminalKind::none;
    VirtualKey keyForC = vkC;
    std::vector<KeyStroke> typed;
    Typist typist{*this};

    void hold(std::initializer_list<VirtualKey> keys)
    {
        for (VirtualKey k : keys)
            state_.set(k);
    }
    void user(KeyStroke stroke) { queue_.push_back({stroke, false}); }
    // Takes everything queued, as the hook sees it, settling when the typist asks.
    void process()
    {
        while (!queue_.empty()) {
            const auto [stroke, ours] = queue_.front();
            queue_.pop_front();
            state_.set(stroke.key, !stroke.up);
            if (typist.keyObserved(stroke.key, stroke.up, ours)) typist.settle();
        }
    }
    std::vector<VirtualKey> keysDown() const
    {
        std::vector<VirtualKey> keys;
        for (int k = 0; k < 256; ++k) {
            if (state_.test(k)) keys.push_back(static_cast<VirtualKey>(k));
        }
        return keys;
    }

    bool isDown(VirtualKey key) const override { return state_.test(key); }
    TerminalKind foregroundKind() const override { return kind; }
    VirtualKey keyTyping(char character) const override
    {
        return character == 'c' ? keyForC : static_cast<VirtualKey>('V');
    }
    void type(const std::vector<KeyStroke>& strokes) override
    {
        for (const KeyStroke& stroke : strokes) {
            typed.push_back(stroke);
            queue_.push_back({stroke, true});
        }
    }

private:
    struct Queued {
        KeyStroke stroke;
        bool ours;
    };
    std::bitset<256> state_;
    std::deque<Queued> queue_;
};

void chord(FakeSystem& system, VirtualKeyCode key)
{
    system.typist.keyDown(key, command);
    system.typist.keyUp(key);
    system.process();
}

TEST(Typist, TypesExactlyTheChordAndGivesBackWhatTheUserHolds)
{
    struct Case {
        const char* what;
        TerminalKind kind;
        VirtualKeyCode key;
        std::vector<VirtualKey> held;
        std::vector<KeyStroke> typed;
    };
    const std::vector<Case> cases = {
        {"copy gesture: the user's Ctrl is kept",
         TerminalKind::none,
         keyC,
         {lCtrl},
         {down(vkC), up(vkC)}},
        {"copy with the right Ctrl", TerminalKind::none, keyC, {rCtrl}, {down(vkC), up(vkC)}},
        {"paste gesture: Shift let go for the chord and given back",
         TerminalKind::none,
         keyV,
         {lShift, lCtrl},
         {up(lShift), down(vkV), up(vkV), down(lShift)}},
        {"both Shift keys",
         TerminalKind::none,
         keyV,
         {lShift, rShift, lCtrl},
         {up(lShift), up(rShift), down(vkV), up(vkV), down(lShift), down(rShift)}},
        {"icon's action with nothing held: Ctrl pressed and let go",
         TerminalKind::none,
         keyC,
         {},
         {down(lCtrl), down(vkC), up(vkC), up(lCtrl)}},
        {"Alt and Win are let go behind a mask key",
         TerminalKind::none,
         keyC,
         {lAlt, lWin},
         {down(mask), up(mask), up(lAlt), up(lWin), down(lCtrl), down(vkC), up(vkC), up(lCtrl),
          down(lAlt), down(lWin)}},
        {"console paste keeps the user's Shift",
         TerminalKind::shiftChords,
         keyV,
         {rShift, rCtrl},
         {down(vkV), up(vkV)}},
        {"console copy adds Shift",
         TerminalKind::shiftChords,
         keyC,
         {lCtrl},
         {down(lShift), down(vkC), up(vkC), up(lShift)}},
        {"selection-only copy types nothing", TerminalKind::selectionOnly, keyC, {lCtrl}, {}},
        {"selection-only paste is Shift+Insert",
         TerminalKind::selectionOnly,
         keyV,
         {lCtrl, lShift},
         {up(lCtrl), down(insert), up(insert), down(lCtrl)}},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.kind = c.kind;
        for (VirtualKey k : c.held)
            system.hold({k});
        chord(system, c.key);
        EXPECT_EQ(system.typed, c.typed) << c.what;
        std::vector<VirtualKey> held = c.held;
        std::sort(held.begin(), held.end());
        EXPECT_EQ(system.keysDown(), held) << c.what << ": a key left down or not given back";
    }
}

TEST(Typist, TypesTheKeyOfTheLayout)
{
    FakeSystem system;
    system.keyForC = 'J';  // where a Dvorak layout has its c
    system.hold({lCtrl});
    chord(system, keyC);
    EXPECT_EQ(system.typed, (std::vector<KeyStroke>{down('J'), up('J')}));
}

TEST(Typist, AShiftLetGoBeforeItsGiveBackCameRoundIsLetGoAgain)
{
    FakeSystem system;
    system.hold({lCtrl, lShift});
    system.typist.keyDown(keyV, command);
    system.user(up(lShift));
    system.typist.keyUp(keyV);
    system.process();
    EXPECT_EQ(system.keysDown(), std::vector<VirtualKey>{lCtrl});
    EXPECT_EQ(system.typed.back(), up(lShift));
}

TEST(Typist, AShiftLetGoAfterItsGiveBackIsTheUsersOwn)
{
    FakeSystem system;
    system.hold({lCtrl, lShift});
    chord(system, keyV);
    system.user(up(lShift));
    system.process();
    EXPECT_EQ(system.keysDown(), std::vector<VirtualKey>{lCtrl});
    EXPECT_EQ(system.typed.size(), 4u) << "nothing typed beyond the chord and the give-back";
}

TEST(Typist, AShiftLetGoAndHeldAgainStaysDown)
{
    FakeSystem system;
    system.hold({lCtrl, lShift});
    system.typist.keyDown(keyV, command);
    system.user(up(lShift));
    system.user(down(lShift));
    system.typist.keyUp(keyV);
    system.process();
    EXPECT_EQ(system.keysDown(), (std::vector<VirtualKey>{lShift, lCtrl}));
    EXPECT_EQ(system.typed.size(), 4u);
}

TEST(Typist, AKeyUpWithoutItsKeyDownStillLetsGoOfTheKey)
{
    FakeSystem system;
    system.typist.keyUp(keyC);
    EXPECT_EQ(system.typed, std::vector<KeyStroke>{up(vkC)});
}

TEST(Typist, KeysWithoutAPositionTypeNothing)
{
    FakeSystem system;
    system.typist.keyDown(3, command);
    system.typist.keyUp(3);
    EXPECT_TRUE(system.typed.empty());
}

}  // namespace
}  // namespace snaplark::platform::win32
