#include "platform/win32/focus.h"

#include <cctype>
#include <iterator>
#include <string>
#include <string_view>

namespace snaplark::platform::win32 {

Foreground foreground()
{
    Foreground result;
    const HWND window = GetForegroundWindow();
    if (window == nullptr) return result;
    char name[256] = {};
    if (GetClassNameA(window, name, static_cast<int>(sizeof name)) > 0) {
        result.kind = consoleKindOf(name);
    }
    // GetGUIThreadInfo with no thread answers for the foreground thread; its focus window may
    // belong to another thread, even of another process (an application hosted in a frame of the
    // system's), and the keys go to that thread, in its layout.
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    const HWND focus =
        GetGUIThreadInfo(0, &info) && info.hwndFocus != nullptr ? info.hwndFocus : window;
    result.layout = GetKeyboardLayout(GetWindowThreadProcessId(focus, nullptr));
    result.window = window;
    return result;
}

namespace {

// One per process: a WinEvent callback carries no context.
LastForeground* watching = nullptr;

// Windows that are no application to pause in: ours; tool windows ("a tool window does not
// appear in the taskbar or in the dialog that appears when the user presses ALT+TAB",
// WS_EX_TOOLWINDOW), like the switcher itself; windows that a click does not bring to the front
// (WS_EX_NOACTIVATE: one "does not become the foreground window when the user clicks it", like an
// on-screen keyboard); and the task bar, whose classes
// Microsoft does not document (public write-ups of the shell know it as Shell_TrayWnd, and as
// Shell_SecondaryTrayWnd on other screens).
bool isApplicationWindow(HWND window)
{
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0 ||
        process == GetCurrentProcessId() ||
        (GetWindowLongPtrW(window, GWL_EXSTYLE) & (WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE)) != 0) {
        return false;
    }
    wchar_t name[32] = {};
    GetClassNameW(window, name, static_cast<int>(std::size(name)));
    return std::wstring_view(name) != L"Shell_TrayWnd" &&
           std::wstring_view(name) != L"Shell_SecondaryTrayWnd";
}

}  // namespace

// SetWinEventHook with WINEVENT_OUTOFCONTEXT: "the event is delivered on the same thread that
// called SetWinEventHook", which "must have a message loop"; WINEVENT_SKIPOWNPROCESS leaves out
// our own windows. EVENT_SYSTEM_FOREGROUND comes for every change of the foreground window, its
// hwnd the new one. The window in front now seeds it.
LastForeground::LastForeground()
{
    watching = this;
    hook_ = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr, changed, 0,
                            0, WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNPROCESS);
    note(GetForegroundWindow());
}

LastForeground::~LastForeground()
{
    if (hook_ != nullptr) UnhookWinEvent(hook_);
    if (watching == this) watching = nullptr;
}

void CALLBACK LastForeground::changed(HWINEVENTHOOK /*hook*/, DWORD event, HWND window,
                                      LONG /*object*/, LONG /*child*/, DWORD /*thread*/,
                                      DWORD /*time*/)
{
    if (watching != nullptr && event == EVENT_SYSTEM_FOREGROUND) watching->note(window);
}

void LastForeground::note(HWND window)
{
    if (isApplicationWindow(window)) window_ = window;
}

HWND LastForeground::window() const
{
    return window_ != nullptr && IsWindow(window_) ? window_ : nullptr;
}

VirtualKey keyTyping(char character, HKL layout)
{
    const SHORT scanned = VkKeyScanExA(character, layout);
    if (scanned != -1 && (scanned & 0xFF) != 0xFF) return static_cast<VirtualKey>(scanned & 0xFF);
    return static_cast<VirtualKey>(std::toupper(static_cast<unsigned char>(character)));
}

}  // namespace snaplark::platform::win32
