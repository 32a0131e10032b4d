// The agent end to end on a real Windows desktop (the GitHub Windows runner), where Wine's input
// differs: opens a window with a text field, starts snaplark.exe with its lines in a pipe, and with
// SendInput drags over the text holding Ctrl (the clipboard must then hold it and the field be
// untouched) and clicks holding Ctrl and Shift (the field must then end in the clipboard's text
// once). Each is done with the keys held until the chord is seen, and with the keys let go in the
// same SendInput call as the click, many times: a bare c or v typed over the selection fails it.
// Then two experiments whose result the agent's code follows: which message a low-level mouse hook
// gets for a physical left click with the buttons swapped, and Caps Lock switched on by input the
// agent's hooks see only in passing. Every wait ends on the event it waits for or on a deadline.
// Usage: snaplark_runner_driver PATH\TO\snaplark.exe
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr wchar_t fieldText[] = L"alpha beta gamma";
constexpr UINT_PTR deadlineTimer = 1;
constexpr UINT agentLine = WM_APP + 1;
HWND window = nullptr, field = nullptr;
std::mutex linesMutex;
std::string lines;  // what the agent wrote
std::vector<WPARAM> hookButtons;
bool failed = false;

void check(bool ok, const char* what)
{
    std::printf("%s: %s\n", ok ? "ok" : "FAIL", what);
    std::fflush(stdout);
    failed |= !ok;
}

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

// MOUSEINPUT: absolute coordinates are 0..65535 over the primary monitor; its button flags name
// the physical buttons.
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
    if (!OpenClipboard(window)) return L"(busy)";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// OpenClipboard: "If an application calls OpenClipboard with hwnd set to NULL, EmptyClipboard sets
// the clipboard owner to NULL; this causes SetClipboardData to fail": the driver's window owns it.
void setClipboardText(const std::wstring& text)
{
    while (!OpenClipboard(window))
        Sleep(10);
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    std::memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    CloseClipboard();
}

std::wstring fieldContents()
{
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(field)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(field, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::size_t lineCount()
{
    const std::lock_guard lock(linesMutex);
    std::size_t count = 0;
    for (char c : lines)
        count += c == '\n' ? 1 : 0;
    return count;
}

// Runs the message loop until `done` holds after some message, or the deadline.
template <typename Done> bool waitFor(UINT seconds, Done done)
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

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && wParam != WM_MOUSEMOVE) hookButtons.push_back(wParam);
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

enum class Expect { copy, paste, nothing };

// One gesture: the inputs of the click, then (if any) what lets its keys go after the effect.
// Each round starts from the field's text and a clipboard the gesture must change.
int rounds(const char* what, int count, Expect expect, const std::vector<INPUT>& click,
           const std::vector<INPUT>& after)
{
    int good = 0;
    for (int round = 0; round < count; ++round) {
        // The caret at the end: a Shift+click there selects nothing for the paste to replace.
        SetWindowTextW(field, fieldText);
        SendMessageW(field, EM_SETSEL, std::size(fieldText) - 1, std::size(fieldText) - 1);
        setClipboardText(expect == Expect::copy ? L"sentinel" : L"PASTED");
        const std::size_t before = lineCount();
        // Each gesture 12 px above or below the last one, outside the double-click rectangle
        // (SM_CYDOUBLECLK): a click taken for a double click would select a word.
        static int gestures = 0;
        std::vector<INPUT> inputs = click;
        for (INPUT& input : inputs) {
            if (input.type == INPUT_MOUSE)
                input.mi.dy +=
                    MulDiv(gestures % 2 == 0 ? -6 : 6, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        }
        ++gestures;
        send(inputs);
        // The agent writes a line for the press and one for the release, in order; the chord
        // follows in the same turn of its loop.
        waitFor(10, [&] { return lineCount() >= before + 2; });
        bool ok = false;
        if (expect == Expect::copy) {
            waitFor(10,
                    [] { return clipboardText() != L"sentinel" || fieldContents() != fieldText; });
            ok = clipboardText() == fieldText && fieldContents() == fieldText;
        } else if (expect == Expect::paste) {
            waitFor(10, [] { return fieldContents() != fieldText; });
            ok = fieldContents() == std::wstring(fieldText) + L"PASTED";
        } else {
            ok = lineCount() >= before + 2 && clipboardText() == L"PASTED" &&
                 fieldContents() == fieldText;
        }
        if (!after.empty()) send(after);
        if (!ok && good == round) {
            std::printf("  round %d: the field holds \"%ls\", the clipboard \"%ls\"\n", round + 1,
                        fieldContents().c_str(), clipboardText().c_str());
        }
        good += ok ? 1 : 0;
    }
    std::printf("%s: %d of %d as they should\n", what, good, count);
    return good;
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
    window = CreateWindowExW(WS_EX_TOPMOST, windowClass.lpszClassName, L"Snaplark driver",
                             WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 600, 300, nullptr, nullptr,
                             instance, nullptr);
    field = CreateWindowExW(0, L"EDIT", fieldText, WS_CHILD | WS_VISIBLE | WS_BORDER, 20, 40, 540,
                            30, window, nullptr, instance, nullptr);
    SetForegroundWindow(window);
    SetFocus(field);

    // The agent's lines come through a pipe, read on a thread of their own.
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    std::thread reader([readEnd] {
        char buffer[512];
        DWORD got = 0;
        while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0) {
            {
                const std::lock_guard lock(linesMutex);
                lines.append(buffer, got);
            }
            PostMessageW(window, agentLine, 0, 0);
        }
    });
    reader.detach();
    std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = writeEnd;
    PROCESS_INFORMATION agent{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &agent)) {
        std::puts("FAIL: cannot start the agent");
        return 1;
    }
    CloseHandle(writeEnd);
    RECT rect{};
    GetWindowRect(field, &rect);
    const POINT start{rect.left + 4, (rect.top + rect.bottom) / 2};
    const POINT end{rect.right - 8, start.y};
    const POINT middle{(start.x + end.x) / 2, start.y};
    const auto drag = [&](DWORD down, DWORD up) {
        return std::vector<INPUT>{mouse(start, 0), mouse(start, down), mouse(middle, 0),
                                  mouse(end, 0), mouse(end, up)};
    };
    const auto with = [](std::vector<INPUT> before, std::vector<INPUT> inputs,
                         std::vector<INPUT> after) {
        before.insert(before.end(), inputs.begin(), inputs.end());
        before.insert(before.end(), after.begin(), after.end());
        return before;
    };
    const std::vector<INPUT> ctrlDown{key(VK_CONTROL, false)}, ctrlUp{key(VK_CONTROL, true)};
    const std::vector<INPUT> bothDown{key(VK_CONTROL, false), key(VK_SHIFT, false)},
        bothUp{key(VK_SHIFT, true), key(VK_CONTROL, true)};
    const auto leftDrag = drag(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP);
    const std::vector<INPUT> click{mouse(end, MOUSEEVENTF_LEFTDOWN),
                                   mouse(end, MOUSEEVENTF_LEFTUP)};
    constexpr int many = 20;

    // The agent is ready once it reports a click.
    bool ready = false;
    for (int attempt = 0; attempt < 30 && !ready; ++attempt) {
        send(click);
        ready = waitFor(1, [] { return lineCount() >= 2; });
    }
    check(ready, "the agent reports clicks");

    check(rounds("Ctrl+drag, Ctrl held", 3, Expect::copy, with(ctrlDown, leftDrag, {}), ctrlUp) ==
              3,
          "Ctrl+drag copies the selection");
    check(rounds("Ctrl+drag, Ctrl let go in the click's SendInput", many, Expect::copy,
                 with(ctrlDown, leftDrag, ctrlUp), {}) == many,
          "Ctrl let go with the click still copies, and types no bare c");
    check(rounds("Ctrl+Shift+click, keys held", 3, Expect::paste, with(bothDown, click, {}),
                 bothUp) == 3,
          "Ctrl+Shift+click pastes");
    check(rounds("Ctrl+Shift+click, keys let go in the click's SendInput", many, Expect::paste,
                 with(bothDown, click, bothUp), {}) == many,
          "Ctrl and Shift let go with the click still paste, and type no bare v");

    // Caps Lock switched on by input the agent's hooks only pass on: read at the click from the
    // hooks' thread (which reads no key messages), it must block the copy.
    const std::vector<INPUT> capsLock{key(VK_CAPITAL, false), key(VK_CAPITAL, true)};
    send(capsLock);
    check(rounds("Ctrl+drag with Caps Lock on", 3, Expect::nothing, with(ctrlDown, leftDrag, {}),
                 ctrlUp) == 3,
          "with Caps Lock on, Ctrl+drag copies nothing");
    send(capsLock);

    // Swapped buttons: what a low-level mouse hook receives for a physical left click (sent on the
    // window below the field, where a secondary click does nothing), printed; the agent takes
    // WM_LBUTTON* as the primary button, so the hook must get the swapped message, and a Ctrl+drag
    // with the physical right button must copy.
    SwapMouseButton(TRUE);
    const HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, instance, 0);
    const POINT below{start.x, rect.bottom + 60};
    send({mouse(below, MOUSEEVENTF_LEFTDOWN), mouse(below, MOUSEEVENTF_LEFTUP)});
    waitFor(5, [] { return hookButtons.size() >= 2; });
    UnhookWindowsHookEx(hook);
    const bool swapped = !hookButtons.empty() && hookButtons[0] == WM_RBUTTONDOWN;
    std::printf("swapped buttons: a physical left press reaches a low-level mouse hook as %s\n",
                hookButtons.empty()                ? "nothing"
                : hookButtons[0] == WM_RBUTTONDOWN ? "WM_RBUTTONDOWN (the logical button)"
                : hookButtons[0] == WM_LBUTTONDOWN ? "WM_LBUTTONDOWN (the physical button)"
                                                   : "another message");
    check(swapped, "the hook gets the swapped message, as own_windows.cpp takes it");
    check(rounds("swapped buttons, Ctrl+drag with the physical right button", 3, Expect::copy,
                 with(ctrlDown, drag(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP), ctrlUp), {}) == 3,
          "with swapped buttons, Ctrl+drag with the primary (right) button copies");
    SwapMouseButton(FALSE);

    TerminateProcess(agent.hProcess, 0);
    CloseHandle(agent.hThread);
    CloseHandle(agent.hProcess);
    return failed ? 1 : 0;
}
