// The Windows input's rules where the end-to-end test under Wine (desktop.sh) cannot reach: windows
// Wine does not give us (consoles, other layouts), keys the test's pointer cannot hold together
// with a click on the icon, and orders of events no pointer script can time. The rest is tested
// there, for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <bitset>
#include <deque>
#include <map>
#include <vector>

#include "platform/win32/own_windows.h"
#include "platform/win32/terminal_rule.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {
namespace {

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

constexpr VirtualKeyCode keyC = 8, keyV = 9;
constexpr VirtualKey lShift = Typist::leftShift, rShift = Typist::rightShift,
                     lCtrl = Typist::leftControl, rCtrl = Typist::rightControl,
                     lAlt = Typist::leftAlt, lWin = Typist::leftWin, mask = Typist::maskKey,
                     insert = Typist::insertKey;

// Strokes as "+key" for down and "-key" for up: letters as themselves, the others by name.
std::string text(const std::vector<KeyStroke>& strokes)
{
    const std::map<VirtualKey, std::string> names{
        {lShift, "LShift"}, {rShift, "RShift"}, {lCtrl, "LCtrl"},  {lAlt, "LAlt"},
        {lWin, "LWin"},     {mask, "Mask"},     {insert, "Insert"}};
    std::string out;
    for (KeyStroke s : strokes) {
        out += out.empty() ? "" : " ";
        out += s.up ? '-' : '+';
        out += names.contains(s.key) ? names.at(s.key) : std::string(1, static_cast<char>(s.key));
    }
    return out;
}

// The system's input queue as far as the typist can tell: key events, the user's and ours, are
// taken in the order they were queued; each changes the keyboard state (a key-up of a key that is
// up changes nothing, as on Windows) and passes the keyboard hook.
struct FakeSystem final : KeyboardDevice {
    std::string windowClass = "Notepad";
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
    TerminalKind foregroundKind() const override { return consoleKindOf(windowClass); }
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
        const char* windowClass;
        VirtualKeyCode key;
        std::vector<VirtualKey> held;
        std::string typed;
        VirtualKey keyForC = 'C';
    };
    const Case cases[] = {
        {"Notepad", keyC, {lCtrl}, "+J -J", 'J'},  // where Dvorak has its c
        {"Notepad", keyV, {lShift, rShift, lCtrl}, "-LShift -RShift +V -V +LShift +RShift"},
        // Alt and Win are let go behind a mask key, or the window's menu or Start would open.
        {"Notepad", keyC, {lAlt, lWin}, "+Mask -Mask -LAlt -LWin +LCtrl +C -C -LCtrl +LAlt +LWin"},
        // The console and Windows Terminal take Shift chords; window classes match exactly.
        {"ConsoleWindowClass", keyV, {rShift, rCtrl}, "+V -V"},
        {"CASCADIA_HOSTING_WINDOW_CLASS", keyC, {lCtrl}, "+LShift +C -C -LShift"},
        {"consolewindowclass", keyC, {lCtrl}, "+C -C"},
        // PuTTY and mintty copy what is selected by themselves, and paste with Shift+Insert.
        {"PuTTY", keyC, {lCtrl}, ""},
        {"mintty", keyV, {lCtrl, lShift}, "-LCtrl +Insert -Insert +LCtrl"},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.windowClass = c.windowClass;
        system.keyForC = c.keyForC;
        system.state = keys(c.held);
        system.typist.keyDown(c.key, modifier::command);
        system.typist.keyUp(c.key);
        system.process();
        EXPECT_EQ(text(system.typed), c.typed) << &c - cases;
        EXPECT_EQ(system.state, keys(c.held))
            << &c - cases << ": a key left down or not given back";
    }
}

// The user lets go of Shift (and maybe takes it again) while the paste chord goes through the
// queue: Shift must end as the user left it.
TEST(Typist, AShiftTheUserLetsGoMidChordEndsAsTheUserLeftIt)
{
    struct Case {
        std::vector<KeyStroke> beforeKeyUp, afterChord;
        std::vector<VirtualKey> held;
    };
    const Case cases[] = {
        {{{lShift, true}}, {}, {lCtrl}},
        {{}, {{lShift, true}}, {lCtrl}},
        {{{lShift, true}, {lShift, false}}, {}, {lShift, lCtrl}},
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
    }
}

TEST(Typist, AKeyUpAloneLetsGoOfItsKeyAndAKeyWithoutAPositionTypesNothing)
{
    FakeSystem system;
    system.typist.keyUp(keyC);
    system.typist.keyDown(3, modifier::command);
    system.typist.keyUp(3);
    EXPECT_EQ(text(system.typed), "-C");
}

}  // namespace
}  // namespace snaplark::platform::win32
