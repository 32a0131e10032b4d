// The agent end to end on a real Windows desktop (the GitHub Windows runner): opens a window with
// a text field, starts snaplark.exe, and with SendInput drags over the text holding Ctrl (the
// clipboard must then hold it), then clicks holding Ctrl and Shift (the field must then hold the
// clipboard's text pasted). Every wait ends on the event it waits for or on a deadline.
// Usage: snaplark_runner_driver PATH\TO\snaplark.exe
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr wchar_t fieldText[] = L"alpha beta gamma";
constexpr UINT_PTR deadlineTimer = 1;
HWND field = nullptr;

void send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

INPUT key(WORD virtualKey, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}

// MOUSEINPUT: absolute coordinates are 0..65535 over the primary monitor. The buttons named are
// physical; the runner's mouse is not swapped.
INPUT mouse(POINT at, DWORD button)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | button;
    return input;
}

std::wstring clipboardText()
{
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

void setClipboardText(const std::wstring& text)
{
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

std::wstring fieldContents()
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

// Runs the message loop until `done` holds after a clipboard or text change, or the deadline.
template <typename Done> bool waitFor(HWND window, UINT seconds, Done done)
{
    SetTimer(window, deadlineTimer, seconds * 1000, nullptr);
    MSG message{};
    while (!done() && GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == window && message.message == WM_TIMER) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    KillTimer(window, deadlineTimer);
    return done();
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 2;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = L"SnaplarkRunnerDriver";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName,
                                        L"Snaplark driver", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                                        100, 600, 200, nullptr, nullptr, instance, nullptr);
    field = CreateWindowExW(0, L"EDIT", fieldText, WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 40, 540,
                            30, window, nullptr, instance, nullptr);
    AddClipboardFormatListener(window);
    SetForegroundWindow(window);

    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION agent{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &agent)) {
        std::puts("FAIL: cannot start the agent");
        return 1;
    }
    // The agent is ready once its window exists (it installs its hooks just after).
    waitFor(window, 20, [] { return FindWindowW(L"SnaplarkAgent", L"Snaplark") != nullptr; });

    RECT rect{};
    GetWindowRect(field, &rect);
    const POINT start{rect.left + 4, (rect.top + rect.bottom) / 2};
    const POINT end{rect.right - 8, start.y};
    setClipboardText(L"sentinel");
    send({key(VK_CONTROL, false), mouse(start, 0), mouse(start, MOUSEEVENTF_LEFTDOWN),
          mouse({(start.x + end.x) / 2, start.y}, 0), mouse(end, 0), mouse(end, MOUSEEVENTF_LEFTUP),
          key(VK_CONTROL, true)});
    const bool copied = waitFor(window, 10, [] { return clipboardText() == fieldText; });
    std::puts(copied ? "ok: Ctrl+drag copies the selection" : "FAIL: Ctrl+drag copied nothing");

    setClipboardText(L"PASTED");
    send({key(VK_CONTROL, false), key(VK_SHIFT, false), mouse(end, MOUSEEVENTF_LEFTDOWN),
          mouse(end, MOUSEEVENTF_LEFTUP), key(VK_SHIFT, true), key(VK_CONTROL, true)});
    const bool pasted =
        waitFor(window, 10, [] { return fieldContents().find(L"PASTED") != std::wstring::npos; });
    std::puts(pasted ? "ok: Ctrl+Shift+click pastes" : "FAIL: Ctrl+Shift+click pasted nothing");

    TerminateProcess(agent.hProcess, 0);
    CloseHandle(agent.hThread);
    CloseHandle(agent.hProcess);
    return copied && pasted ? 0 : 1;
}
