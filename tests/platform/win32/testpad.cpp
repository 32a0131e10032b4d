// A window with a text field for the end-to-end tests and the latency benchmark. Standard output
// gets one line per event the tests wait for:
//   ready                        the window is up, its text selected-free, caret at the end
//   text <content>               the field's text changed
//   down <vk> <microseconds>     the field got WM_KEYDOWN
//   up <vk> <microseconds>       the field got WM_KEYUP
//   release <microseconds>       the left button went up anywhere (a hook of the pad's own)
//   key <vk> up|down injected|device <extra>   every key event, as a low-level hook sees it
//   held <vks>|none              keys the system holds down, 300 ms after the last key-up
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

constexpr UINT_PTR heldTimer = 1;
constexpr int fieldId = 10;
HWND field = nullptr;
WNDPROC fieldProcedure = nullptr;
LARGE_INTEGER frequency{};

long long microseconds()
{
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1000000 / frequency.QuadPart;
}

void reportHeldKeys()
{
    std::string held;
    for (int key = 0x08; key < 0xFF; ++key) {
        if (key == VK_LBUTTON || key == VK_RBUTTON || key == VK_MBUTTON) continue;
        if ((GetAsyncKeyState(key) & 0x8000) == 0) continue;
        held += ' ';
        held += std::to_string(key);
    }
    std::cout << "held" << (held.empty() ? std::string(" none") : held) << std::endl;
}

LRESULT CALLBACK fieldHook(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) {
        std::cout << "down " << wParam << ' ' << microseconds() << std::endl;
    } else if (message == WM_KEYUP || message == WM_SYSKEYUP) {
        std::cout << "up " << wParam << ' ' << microseconds() << std::endl;
        SetTimer(GetParent(window), heldTimer, 300, nullptr);
    }
    return CallWindowProcW(fieldProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam == WM_LBUTTONUP) {
        std::cout << "release " << microseconds() << std::endl;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) {
        const auto& event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        std::cout << "key " << event.vkCode << ((event.flags & LLKHF_UP) ? " up" : " down")
                  << ((event.flags & LLKHF_INJECTED) ? " injected " : " device ")
                  << event.dwExtraInfo << std::endl;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (LOWORD(wParam) == fieldId && HIWORD(wParam) == EN_CHANGE) {
            wchar_t text[512] = {};
            GetWindowTextW(field, text, 512);
            char utf8[1024] = {};
            WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
            std::cout << "text " << utf8 << std::endl;
        }
        return 0;
    case WM_TIMER:
        KillTimer(window, heldTimer);
        reportHeldKeys();
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    QueryPerformanceFrequency(&frequency);
    const std::wstring initial =
        argc > 1 ? std::wstring(argv[1], argv[1] + std::strlen(argv[1])) : L"alpha beta gamma";
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"SnaplarkTestPad";
    RegisterClassW(&windowClass);
    const HWND window =
        CreateWindowExW(0, L"SnaplarkTestPad", L"Snaplark test pad", WS_OVERLAPPEDWINDOW, 200, 200,
                        600, 300, nullptr, nullptr, instance, nullptr);
    field = CreateWindowExW(0, L"EDIT", initial.c_str(),
                            WS_CHILD | WS_VISIBLE | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL, 10, 10,
                            560, 30, window, reinterpret_cast<HMENU>(fieldId), instance, nullptr);
    SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(ANSI_FIXED_FONT)), 0);
    fieldProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(field, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(fieldHook)));
    const HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, instance, 0);
    const HHOOK keys = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, instance, 0);
    ShowWindow(window, SW_SHOWNORMAL);
    SetForegroundWindow(window);
    SetFocus(field);
    SendMessageW(field, EM_SETSEL, initial.size(), initial.size());
    std::cout << "ready" << std::endl;

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    if (keys != nullptr) UnhookWindowsHookEx(keys);
    return 0;
}
