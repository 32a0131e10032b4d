// A window with a text field for the end-to-end test and the latency benchmark. Standard output
// gets one line per event they wait for:
//   ready                        the window is up, caret at the end of "alpha beta gamma"
//   text <content>               the field's text changed
//   down <vk> <microseconds>     the field got WM_KEYDOWN
//   release <microseconds>       the left button went up anywhere
//   key <vk> up|down injected|device   every key event, as a low-level hook sees it
//   held <vks>|none              the keys the system holds down, 300 ms after the last key-up
#include <windows.h>

#include <cstring>
#include <iostream>
#include <string>

namespace {

HWND window = nullptr, field = nullptr;
WNDPROC fieldProcedure = nullptr;
LARGE_INTEGER frequency{};

long long microseconds()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000000 / frequency.QuadPart;
}

LRESULT CALLBACK fieldHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
        std::cout << "down " << wParam << ' ' << microseconds() << std::endl;
    return CallWindowProcW(fieldProcedure, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONUP)
        std::cout << "release " << microseconds() << std::endl;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        std::cout << "key " << event.vkCode << ((event.flags & LLKHF_UP) ? " up" : " down")
                  << ((event.flags & LLKHF_INJECTED) ? " injected" : " device") << std::endl;
        if (event.flags & LLKHF_UP) SetTimer(window, 1, 300, nullptr);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && HIWORD(wParam) == EN_CHANGE) {
        wchar_t text[512] = {};
        char utf8[1024] = {};
        GetWindowTextW(field, text, 512);
        WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
        std::cout << "text " << utf8 << std::endl;
    } else if (message == WM_TIMER) {
        KillTimer(hwnd, 1);
        std::string held;
        for (int key = VK_BACK; key < 0xFF; ++key) {
            if ((GetAsyncKeyState(key) & 0x8000) != 0) held += ' ' + std::to_string(key);
        }
        std::cout << "held" << (held.empty() ? " none" : held) << std::endl;
    } else if (message == WM_SETFOCUS) {
        // As a dialog does: the window given the focus hands it to its field.
        SetFocus(field);
        return 0;
    } else if (message == WM_DESTROY) {
        PostQuitMessage(0);
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

// With a window class named on the command line (a console's, say), the pad plays that program
// and is titled "Snaplark test console".
int main(int argc, char** argv)
{
    QueryPerformanceFrequency(&frequency);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    const std::wstring className =
        argc > 1 ? std::wstring(argv[1], argv[1] + std::strlen(argv[1])) : L"SnaplarkTestPad";
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className.c_str();
    RegisterClassW(&windowClass);
    window = CreateWindowExW(
        0, className.c_str(), argc > 1 ? L"Snaplark test console" : L"Snaplark test pad",
        WS_OVERLAPPEDWINDOW, 200, 200, 600, 300, nullptr, nullptr, instance, nullptr);
    field = CreateWindowExW(0, L"EDIT", L"alpha beta gamma",
                            WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 10, 10, 560, 30,
                            window, nullptr, instance, nullptr);
    SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), 0);
    fieldProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fieldHook)));
    SetWindowsHookExW(WH_MOUSE_LL, mouseHook, instance, 0);
    SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, instance, 0);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, 16, 16);
    std::cout << "ready" << std::endl;
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}
