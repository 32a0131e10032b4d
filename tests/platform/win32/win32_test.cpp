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
#include <optional>
#include <vector>

#include "platform/win32/application_names.h"
#include "platform/win32/autostart.h"
#include "platform/win32/observer.h"
#include "platform/win32/own_windows.h"
#include "platform/win32/program_icon.h"
#include "platform/win32/registry.h"
#include "platform/win32/shell.h"
#include "platform/win32/terminal_rule.h"
#include "platform/win32/typist.h"
#include "preferences/settings_store.h"

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
        const HICON icon = loadProgramIcon(c.size);
        ASSERT_NE(icon, nullptr) << c.dpi;
        EXPECT_EQ(iconWidth(icon), c.size) << c.dpi;
        DestroyIcon(icon);
    }
}

// A notice shows its title and its text, a long one cut to what the balloon holds, as the icon's
// balloon with the information icon.
TEST(Notices, TheBalloonCarriesTheTitleAndTheTextCutToFit)
{
    NOTIFYICONDATAW icon{};
    icon.uID = 7;
    std::fill(std::begin(icon.szInfo), std::end(icon.szInfo), L'x');
    const std::wstring title(100, L't'), text(300, L'y');
    const NOTIFYICONDATAW balloon = balloonFrom(icon, title, text);
    EXPECT_EQ(balloon.uID, 7u);
    EXPECT_EQ(balloon.uFlags, static_cast<UINT>(NIF_INFO));
    EXPECT_EQ(balloon.dwInfoFlags, static_cast<DWORD>(NIIF_INFO));
    EXPECT_EQ(balloon.szInfoTitle, title.substr(0, std::size(balloon.szInfoTitle) - 1));
    EXPECT_EQ(balloon.szInfo, text.substr(0, std::size(balloon.szInfo) - 1));
}

// Each hook is lost when input moved on between two looks that it should have seen: the mouse
// hook when the pointer moved, the keyboard hook when the mouse hook saw nothing and the pointer
// stayed.
TEST(HookWatch, InputAHookShouldHaveSeenMeansItWasRemoved)
{
    struct Look {
        bool mouse, keyboard;  // called
        DWORD lastInput;
        POINT pointer;
        bool mouseLost, keyboardLost;
    };
    const std::vector<std::vector<Look>> runs{
        {{false, false, 100, {5, 5}, false, false}, {false, false, 100, {5, 5}, false, false}},
        // Typing: the keyboard hook saw it, or nothing did; the mouse hook had nothing to see.
        {{false, false, 100, {5, 5}, false, false}, {false, true, 250, {5, 5}, false, false}},
        {{false, false, 100, {5, 5}, false, false}, {false, false, 90, {5, 5}, false, true}},
        // The pointer moved: the mouse hook saw it, or nothing did; the keyboard is not judged.
        {{false, false, 100, {5, 5}, false, false}, {true, false, 250, {9, 5}, false, false}},
        {{false, false, 100, {5, 5}, false, false}, {false, true, 250, {9, 5}, true, false}},
        // Installed again, both are seen once more.
        {{false, false, 100, {5, 5}, false, false},
         {false, false, 250, {9, 5}, true, false},
         {true, true, 300, {1, 5}, false, false}},
    };
    for (const auto& run : runs) {
        HookWatch watch;
        for (const Look& look : run) {
            if (look.mouse) watch.mouseCalled();
            if (look.keyboard) watch.keyboardCalled();
            const HookWatch::Lost lost = watch.look(look.lastInput, look.pointer);
            EXPECT_EQ(lost.mouse, look.mouseLost) << &run - runs.data();
            EXPECT_EQ(lost.keyboard, look.keyboardLost) << &run - runs.data();
        }
    }
}

// "Start at login" reads as on only for a Run value naming this program that Startup apps has
// not switched off.
TEST(StartAtLogin, TheRunValueMustNameThisProgramAndBeApproved)
{
    const std::wstring program =
        L"C:\\Users\\Ann Lee\\AppData\\Local\\Programs\\Snaplark\\snaplark.exe";
    EXPECT_TRUE(runValueNames(
        L"\"c:\\users\\ann lee\\appdata\\local\\programs\\snaplark\\SNAPLARK.EXE\" ", program));
    EXPECT_FALSE(runValueNames(L"\"C:\\Old\\snaplark.exe\"", program));
    EXPECT_FALSE(runValueNames(L"\"\"", program));
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_TRUE(approvedToRun(std::nullopt));
    EXPECT_TRUE(approvedToRun(Bytes{2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(approvedToRun(Bytes{3, 0, 0, 0, 0xd4, 0x0d, 0x43, 0x8d, 0xc8, 0x3b, 0xd9, 1}));
}

// The registry as the settings store: the paused list is one REG_SZ of id-tab-name lines, in any
// script, that a new handle reads back; a missing value, or one of another type put there by
// hand, pauses nothing. (The switches' DWORDs are written and read in the Wine desktop test.)
TEST(RegistrySettings, ThePausedListRoundTrips)
{
    RegistryKey key(settingsKeyPath, RegistryKey::Access::create);
    key.remove(L"arrayPausedApplications");
    const std::vector<ActiveApplication> paused{
        {"firefox.exe", "Firefox"}, {"winword.exe", "Microsoft Word"}, {"メモ.exe", "メモ (é)"}};
    {
        const auto defaults = openRegistryDefaults();
        EXPECT_TRUE(pausedApplications(*defaults).empty());
        setPausedApplications(*defaults, paused);
    }
    const auto defaults = openRegistryDefaults();
    const auto read = pausedApplications(*defaults);
    ASSERT_EQ(read.size(), paused.size());
    for (std::size_t i = 0; i < paused.size(); ++i) {
        EXPECT_EQ(read[i].id, paused[i].id);
        EXPECT_EQ(read[i].name, paused[i].name);
    }
    key.setNumber(L"arrayPausedApplications", 7);
    EXPECT_TRUE(pausedApplications(*defaults).empty());
    key.setBytes(L"arrayPausedApplications", {'f', 0, '\t', 0, 'F', 0});
    EXPECT_TRUE(pausedApplications(*defaults).empty());
    key.remove(L"arrayPausedApplications");
}

// An application is remembered by its program's file name in lower case and shown by its version
// resource's description, or by the file name without ".exe"; nothing in either may split a
// stored line.
TEST(ApplicationNames, TheIdIsTheFileNameAndTheNameItsDescription)
{
    struct Row {
        const wchar_t* path;
        std::optional<std::wstring> description;
        const char* id;
        const char* name;
    };
    const Row rows[] = {
        {L"C:\\Windows\\NOTEPAD.EXE", std::nullopt, "notepad.exe", "NOTEPAD"},
        {L"D:\\Tools\\Über.Exe", L"  ", "über.exe", "Über"},
        {L"C:\\x\\two.exe", L" Two\tWords\r\n", "two.exe", "Two Words"},
        {L"", std::nullopt, "", ""},
    };
    for (const Row& row : rows) {
        const ActiveApplication application = applicationFromImage(row.path, row.description);
        EXPECT_EQ(application.id, row.id) << row.id;
        EXPECT_EQ(application.name, row.name) << row.id;
    }
    // A program with a version resource (this one has the agent's) is named by its description.
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const ActiveApplication self = applicationOfProgram(path);
    EXPECT_EQ(self.id, "snaplark_win32_tests.exe");
    EXPECT_EQ(self.name, "Snaplark: copy and paste with the mouse");
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
// up changes nothing, as on Windows) and passes the keyboard hook. The state the typist reads is
// the one of the events taken so far, so a user's key event still queued is not in it yet, as on
// Windows, where a key's state moves only once the hooks have returned (LowLevelKeyboardProc).
struct FakeSystem final : KeyboardDevice {
    std::string windowClass = "Notepad";
    VirtualKey keyForC = 'C';
    std::bitset<256> state;
    std::deque<std::pair<KeyStroke, bool>> queue;  // with whether the typist typed it
    std::vector<KeyStroke> typed;
    std::string seen;  // each key but a modifier or the mask that the window got, as "Ctrl+C"
    Typist typist{*this};

    // Takes everything queued, as the hook sees it, settling when the typist asks.
    void process()
    {
        for (; !queue.empty(); queue.pop_front()) {
            const auto [stroke, ours] = queue.front();
            if (!stroke.up &&
                std::string("CJVI").find(static_cast<char>(stroke.key)) != std::string::npos) {
                seen += state[lCtrl] || state[rCtrl] ? "Ctrl+" : "";
                seen += state[lShift] || state[rShift] ? "Shift+" : "";
                seen += static_cast<char>(stroke.key);
            }
            state.set(stroke.key, !stroke.up);
            if (typist.keyObserved(stroke.key, stroke.up, ours)) typist.settle();
        }
    }
    bool isDown(VirtualKey key) const override { return state.test(key); }
    TerminalKind foregroundKind() const override { return consoleKindOf(windowClass); }
    VirtualKey keyTyping(char character) const override { return character == 'c' ? keyForC : 'V'; }
    std::size_t type(const std::vector<KeyStroke>& strokes) override
    {
        for (const KeyStroke& stroke : strokes) {
            typed.push_back(stroke);
            queue.push_back({stroke, true});
        }
        return strokes.size();
    }
};

std::bitset<256> keys(const std::vector<VirtualKey>& held)
{
    std::bitset<256> bits;
    for (VirtualKey k : held)
        bits.set(k);
    return bits;
}

// Each chord, whole in one run, with the modifiers it presses on the side of each pair the user
// does not hold, and every key the user held down again after.
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
        {"Notepad", keyC, {lCtrl}, "+RCtrl +J -J -RCtrl", 'J'},  // where Dvorak has its c
        {"Notepad", keyC, {lCtrl, rCtrl}, "+LCtrl +C -C -LCtrl +LCtrl"},
        {"Notepad",
         keyV,
         {lShift, rShift, lCtrl},
         "-LShift -RShift +RCtrl +V -V -RCtrl +LShift +RShift"},
        // Alt and Win are let go behind a mask key, or the window's menu or Start would open.
        {"Notepad", keyC, {lAlt, lWin}, "+Mask -Mask -LAlt -LWin +LCtrl +C -C -LCtrl +LAlt +LWin"},
        // The console and Windows Terminal take Ctrl+Insert and Shift+Insert by default
        // (Ctrl+Shift+V only when the console's opt-in is on).
        {"ConsoleWindowClass",
         keyV,
         {rShift, rCtrl},
         "-RCtrl +LShift +Insert -Insert -LShift +RCtrl"},
        {"CASCADIA_HOSTING_WINDOW_CLASS", keyC, {lCtrl}, "+RCtrl +Insert -Insert -RCtrl"},
        // PuTTY and mintty copy what is selected by themselves, and paste with Shift+Insert.
        {"PuTTY", keyC, {lCtrl}, ""},
        {"mintty", keyV, {lCtrl, lShift}, "-LCtrl +RShift +Insert -Insert -RShift +LCtrl"},
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

// The user lets go of a modifier (and maybe takes it again) just before the chord, too late for
// the keyboard state the chord was made from, or just after it: the window still gets the chord,
// never a bare letter, and each key ends as the user left it.
TEST(Typist, AKeyTheUserMovesAroundTheChordEndsAsTheUserLeftIt)
{
    struct Case {
        VirtualKeyCode key;
        std::vector<VirtualKey> heldBefore;
        std::vector<KeyStroke> beforeChord, afterChord;
        std::string seen;
        std::vector<VirtualKey> heldAfter;
    };
    const Case cases[] = {
        {keyC, {lCtrl}, {{lCtrl, true}}, {}, "Ctrl+C", {}},
        {keyC, {lCtrl, rCtrl}, {{lCtrl, true}}, {}, "Ctrl+C", {rCtrl}},
        {keyC, {lCtrl}, {{lCtrl, true}, {lCtrl, false}}, {}, "Ctrl+C", {lCtrl}},
        {keyV, {lCtrl, lShift}, {{lShift, true}}, {}, "Ctrl+V", {lCtrl}},
        {keyV, {lCtrl, lShift}, {{lCtrl, true}, {lShift, true}}, {}, "Ctrl+V", {}},
        {keyV, {lCtrl, lShift}, {}, {{lShift, true}}, "Ctrl+V", {lCtrl}},
        {keyV, {lCtrl, lShift}, {{lShift, true}, {lShift, false}}, {}, "Ctrl+V", {lShift, lCtrl}},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.state = keys(c.heldBefore);
        for (KeyStroke s : c.beforeChord)
            system.queue.push_back({s, false});
        system.typist.keyDown(c.key, modifier::command);
        system.typist.keyUp(c.key);
        system.process();
        for (KeyStroke s : c.afterChord)
            system.queue.push_back({s, false});
        system.process();
        EXPECT_EQ(system.seen, c.seen) << &c - cases;
        EXPECT_EQ(system.state, keys(c.heldAfter)) << &c - cases;
    }
}

}  // namespace
}  // namespace snaplark::platform::win32
