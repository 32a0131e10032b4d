#include "platform/win32/focus.h"

#include <cctype>
#include <string>

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

VirtualKey keyTyping(char character, HKL layout)
{
    const SHORT scanned = VkKeyScanExA(character, layout);
    if (scanned != -1 && (scanned & 0xFF) != 0xFF) return static_cast<VirtualKey>(scanned & 0xFF);
    return static_cast<VirtualKey>(std::toupper(static_cast<unsigned char>(character)));
}

}  // namespace snaplark::platform::win32
