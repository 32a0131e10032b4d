// The Windows input's rules where the end-to-end test under Wine (desktop.sh) cannot reach: windows
// Wine does not give us (consoles, other layouts), keys the test's pointer cannot hold together
// with a click on the icon, and orders of events no pointer script can time; and the program's
// icon at every scale, which Wine never changes while a program runs. The rest is tested there,
// for real.
#include <gtest/gtest.h>
#include <windows.h>

#include <bitset>
#include <deque>
#include <map>
#include <vector>

#include "platform/win32/autostart.h"
#include "platform/win32/observer.h"
#include "platform/win32/own_windows.h"
#include "platform/win32/program_icon.h"
#include "platform/win32/resource_ids.h"
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
    // The hook's messages are logical: with swapped buttons the right button arrives as
    // WM_LBUTTON*, and WM_RBUTTON* is the secondary button on every mouse.
    EXPECT_EQ(primaryButtonChange(WM_LBUTTONUP), ButtonChange::release);
    EXPECT_EQ(primaryButtonChange(WM_RBUTTONDOWN), std::nullopt);
    EXPECT_EQ(primaryButtonChange(WM_MOUSEWHEEL), std::nullopt);
}

// The width of the picture an RT_ICON resource holds (a DIB twice its height, or a PNG).
int iconResourceWidth(int id)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC found =
        FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
    if (found == nullptr) return 0;
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
    if (bytes == nullptr || SizeofResource(module, found) < 24) return 0;
    if (bytes[0] == 0x89 && bytes[1] == 'P') {  // PNG: the width is big-endian in IHDR
        return (bytes[16] << 24) | (bytes[17] << 16) | (bytes[18] << 8) | bytes[19];
    }
    return reinterpret_cast<const BITMAPINFOHEADER*>(bytes)->biWidth;
}

int iconWidth(HICON icon)
{
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// Windows asks for the small icon at 16, 20, 24, 32 and 40 px from 100 % to 250 % scaling, and for
// 32, 40, 48 and 64 px where it shows the large one (Explorer, Alt+Tab). The group must hold each
// exactly, or Windows stretches a neighbour. The resource linked here is the agent's own.
TEST(ProgramIcon, HoldsEverySizeWindowsAsksFor)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(SNAPLARK_ICON),
                                      MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    auto* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(directory, nullptr);
    for (const int size : {16, 20, 24, 32, 40, 48, 64, 128}) {
        // The picture Windows itself picks for the size (LookupIconIdFromDirectoryEx).
        const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
        EXPECT_EQ(iconResourceWidth(id), size) << size << " px";
    }
}

// The notification area's icon at each scale: the size Windows names for the DPI, and an icon
// loaded at that size. At 175 % (28 px) the .ico has no picture of its own, and the 32 px one is
// scaled down. The fallback for Windows before 10 1607 must name the same sizes.
TEST(ProgramIcon, TheNotificationIconFollowsTheDpi)
{
    struct Case {
        UINT dpi;
        int size;
    };
    const Case cases[] = {{96, 16}, {120, 20}, {144, 24}, {168, 28}, {192, 32}, {240, 40}};
    for (const Case& c : cases) {
        EXPECT_EQ(smallIconSize(c.dpi), c.size) << c.dpi;
        EXPECT_EQ(smallIconSizeScaled(16, 96, c.dpi), c.size) << c.dpi;
        // A machine whose system DPI is 120 (125 % at sign-in) reports 20 px for it.
        EXPECT_EQ(smallIconSizeScaled(20, 120, c.dpi), c.size) << c.dpi;
        const HICON icon = loadProgramIcon(c.size);
        ASSERT_NE(icon, nullptr) << c.dpi;
        EXPECT_EQ(iconWidth(icon), c.size) << c.dpi;
        DestroyIcon(icon);
    }
}

// The toggle follows the key as the hook sees it, from the state at the start; a held key's
// repeats do not toggle again, and other keys leave it be.
TEST(CapsLock, TogglesOncePerPressFromItsStartingState)
{
    struct Case {
        bool start;
        std::vector<std::pair<VirtualKey, bool>> keys;  // key, up
        bool on;
    };
    const Case cases[] = {
        {false, {{VK_CAPITAL, false}, {VK_CAPITAL, true}}, true},
        {true, {{VK_CAPITAL, false}, {VK_CAPITAL, true}}, false},
        {false, {{VK_CAPITAL, false}, {VK_CAPITAL, false}, {VK_CAPITAL, false}}, true},
        {false, {{VK_CAPITAL, false}, {VK_CAPITAL, true}, {VK_CAPITAL, false}}, false},
        {true, {{VK_NUMLOCK, false}, {VK_NUMLOCK, true}, {'A', false}}, true},
    };
    for (const Case& c : cases) {
        CapsLock caps(c.start);
        for (const auto& [key, up] : c.keys)
            caps.key(key, up);
        EXPECT_EQ(caps.on(), c.on) << &c - cases;
    }
}

// Hooks are lost when input moved on between two looks and neither hook was called.
TEST(HookWatch, InputTheHooksNeverSawMeansTheyWereRemoved)
{
    struct Look {
        bool called;
        DWORD lastInput;
        bool lost;
    };
    const std::vector<std::vector<Look>> runs{
        {{false, 100, false}, {false, 100, false}},  // idle: nothing to see
        {{false, 100, false}, {true, 250, false}},   // input, and a hook saw it
        {{false, 100, false}, {false, 250, true}},   // input no hook saw
        {{false, 100, false}, {false, 90, true}},    // the tick may go back (SendInput's own)
        {{false, 100, false}, {false, 250, true}, {true, 300, false}},  // installed again
    };
    for (const auto& run : runs) {
        HookWatch watch;
        for (const Look& look : run) {
            if (look.called) watch.hookCalled();
            EXPECT_EQ(watch.lost(look.lastInput), look.lost) << &run - runs.data();
        }
    }
}

// "Start at login" reads as on only for a Run value naming this program that Startup apps has
// not switched off.
TEST(StartAtLogin, TheRunValueMustNameThisProgramAndBeApproved)
{
    const std::wstring program =
        L"C:\\Users\\Ann Lee\\AppData\\Local\\Programs\\Snaplark\\snaplark.exe";
    EXPECT_TRUE(runValueNames(L"\"" + program + L"\"", program));
    EXPECT_TRUE(runValueNames(
        L"\"c:\\users\\ann lee\\appdata\\local\\programs\\snaplark\\SNAPLARK.EXE\" ", program));
    EXPECT_FALSE(runValueNames(L"\"C:\\Old\\snaplark.exe\"", program));
    EXPECT_FALSE(runValueNames(L"\"\"", program));
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_TRUE(approvedToRun(std::nullopt));
    EXPECT_TRUE(approvedToRun(Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(approvedToRun(Bytes{6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(approvedToRun(Bytes{3, 0, 0, 0, 0xd4, 0x0d, 0x43, 0x8d, 0xc8, 0x3b, 0xd9, 1}));
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
        {lShift, "LShift"}, {rShift, "RShift"}, {lCtrl, "LCtrl"}, {rCtrl, "RCtrl"},
        {lAlt, "LAlt"},     {lWin, "LWin"},     {mask, "Mask"},   {insert, "Insert"}};
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
        // The console and Windows Terminal take Ctrl+Insert and Shift+Insert by default
        // (Ctrl+Shift+V only when the console's opt-in is on); window classes match exactly.
        {"ConsoleWindowClass", keyV, {rShift, rCtrl}, "-RCtrl +Insert -Insert +RCtrl"},
        {"CASCADIA_HOSTING_WINDOW_CLASS", keyC, {lCtrl}, "+Insert -Insert"},
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
