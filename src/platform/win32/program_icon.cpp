#include "platform/win32/program_icon.h"

#include "platform/win32/resource_ids.h"

namespace snaplark::platform::win32 {
namespace {

// A function of a newer Windows than the oldest the agent runs on, or null where it is missing.
template <typename Function> Function* systemFunction(const wchar_t* library, const char* name)
{
    const HMODULE module = LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) return nullptr;
    // Through void(*)(), which a function pointer may be cast from without a warning.
    return reinterpret_cast<Function*>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

UINT systemDpi()
{
    const HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

UINT notificationAreaDpi(HWND window)
{
    // GetDpiForWindow (Windows 10 1607) gives a per-monitor aware window "the DPI of the monitor
    // where the window is located". GetDpiForShellUIComponent would name the notification
    // area's own, but Wine exports it as a stub that aborts the program.
    static auto* const forWindow =
        systemFunction<UINT WINAPI(HWND)>(L"user32.dll", "GetDpiForWindow");
    const UINT dpi = forWindow != nullptr ? forWindow(window) : 0;
    return dpi != 0 ? dpi : systemDpi();
}

int smallIconSize(UINT dpi)
{
    // GetSystemMetricsForDpi needs Windows 10 1607; GetSystemMetrics answers for the system DPI,
    // which a per-monitor aware process must scale itself.
    static auto* const forDpi =
        systemFunction<int WINAPI(int, UINT)>(L"user32.dll", "GetSystemMetricsForDpi");
    if (forDpi != nullptr) {
        if (const int size = forDpi(SM_CXSMICON, dpi); size > 0) return size;
    }
    return smallIconSizeScaled(GetSystemMetrics(SM_CXSMICON), systemDpi(), dpi);
}

int smallIconSizeScaled(int systemSize, UINT systemDpi, UINT dpi)
{
    if (systemDpi == 0) return systemSize;
    return MulDiv(systemSize, static_cast<int>(dpi), static_cast<int>(systemDpi));
}

HICON loadProgramIcon(int size)
{
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    // LoadIconWithScaleDown (comctl32 6, which the manifest asks for; SxS redirection comes
    // before the search path) takes the exact size when the .ico has it, and otherwise scales a
    // larger picture down where LoadImage would blow a smaller one up.
    static auto* const scaleDown =
        systemFunction<HRESULT WINAPI(HINSTANCE, PCWSTR, int, int, HICON*)>(
            L"comctl32.dll", "LoadIconWithScaleDown");
    HICON icon = nullptr;
    if (scaleDown != nullptr &&
        SUCCEEDED(scaleDown(instance, MAKEINTRESOURCEW(SNAPLARK_ICON), size, size, &icon))) {
        return icon;
    }
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(SNAPLARK_ICON), IMAGE_ICON,
                                         size, size, LR_DEFAULTCOLOR));
}

}  // namespace snaplark::platform::win32
