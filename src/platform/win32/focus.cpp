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
    result.layout = GetKeyboardLayout(GetWindowThreadProcessId(window, nullptr));
    return result;
}

VirtualKey keyTyping(char character, HKL layout)
{
    const SHORT scanned = VkKeyScanExA(character, layout);
    if (scanned != -1 && (scanned & 0xFF) != 0xFF) return static_cast<VirtualKey>(scanned & 0xFF);
    return static_cast<VirtualKey>(std::toupper(static_cast<unsigned char>(character)));
}

}  // namespace snaplark::platform::win32
