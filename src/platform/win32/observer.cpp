#include "platform/win32/observer.h"

#include "platform/win32/modifier_map.h"

namespace snaplark::platform::win32 {
namespace {

// Hook procedures carry no context; there is one observer per process.
Observer* active = nullptr;

constexpr UINT reinstallMessage = WM_APP + 20;
// Well inside LowLevelHooksTimeout's cap of one second: a lost hook is back within two looks.
constexpr UINT watchMilliseconds = 1000;

bool asyncDown(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

}  // namespace

void CapsLock::key(VirtualKey key, bool up)
{
    if (key != VK_CAPITAL) return;
    if (!up && !down_) on_ = !on_;
    down_ = !up;
}

bool HookWatch::lost(DWORD lastInput)
{
    const bool inputMoved = lastInput_ && *lastInput_ != lastInput;
    const bool lost = inputMoved && !called_;
    lastInput_ = lastInput;
    called_ = false;
    return lost;
}

Observer::~Observer()
{
    if (thread_.joinable()) {
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }
    if (active == this) active = nullptr;
}

bool Observer::start()
{
    if (thread_.joinable()) return true;
    active = this;
    std::promise<bool> installed;
    auto result = installed.get_future();
    thread_ =
        std::thread([this, promise = std::move(installed)]() mutable { run(std::move(promise)); });
    return result.get();
}

void Observer::reinstall()
{
    if (threadId_ != 0) PostThreadMessageW(threadId_, reinstallMessage, 0, 0);
}

void Observer::run(std::promise<bool> installed)
{
    // LowLevelMouseProc: "the thread that installed the hook must have a message loop"; the
    // hook is called by a message sent to it. PeekMessage makes the queue before anyone posts.
    MSG message{};
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    threadId_ = GetCurrentThreadId();
    // The best start this thread has; from here on the hook follows the key itself.
    capsLock_ = CapsLock((GetKeyState(VK_CAPITAL) & 1) != 0);
    capsLockOn_ = capsLock_.on();
    const bool ok = install();
    installed.set_value(ok);
    const UINT_PTR timer = SetTimer(nullptr, 0, watchMilliseconds, nullptr);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd == nullptr && message.message == reinstallMessage) {
            install();
        } else if (message.hwnd == nullptr && message.message == WM_TIMER) {
            // LowLevelMouseProc: on Windows 7 and later a hook that times out is removed
            // silently, and "there is no way for the application to know whether the hook is
            // removed". Input the hooks never saw tells.
            LASTINPUTINFO last{sizeof last, 0};
            if (GetLastInputInfo(&last) && watch_.lost(last.dwTime)) install();
        } else {
            DispatchMessageW(&message);
        }
    }
    KillTimer(nullptr, timer);
    uninstall();
}

bool Observer::install()
{
    uninstall();
    const HINSTANCE module = GetModuleHandleW(nullptr);
    keyboard_ = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, module, 0);
    mouse_ = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, module, 0);
    return keyboard_ != nullptr && mouse_ != nullptr;
}

void Observer::uninstall()
{
    // A hook Windows already removed fails to unhook; nothing is left to undo then.
    if (mouse_ != nullptr) UnhookWindowsHookEx(mouse_);
    if (keyboard_ != nullptr) UnhookWindowsHookEx(keyboard_);
    mouse_ = keyboard_ = nullptr;
}

void Observer::setIconRect(const RECT& rect)
{
    const std::lock_guard lock(mutex_);
    iconRect_ = rect;
}

void Observer::setChordInFlight(std::optional<ModifierFlags> userFlags)
{
    const std::lock_guard lock(mutex_);
    chordInFlight_ = userFlags;
}

ModifierFlags Observer::currentFlags() const
{
    const bool capsLockOn = capsLockOn_;
    return modifierFlagsOf({asyncDown, [capsLockOn](int key) {
                                // Only Caps Lock's toggle counts; the hook follows it.
                                return key == VK_CAPITAL && capsLockOn;
                            }});
}

Observer::Click Observer::decode(WPARAM wParam, LPARAM lParam)
{
    return {lParam != 0, static_cast<ModifierFlags>(wParam)};
}

Observer::Key Observer::decodeKey(WPARAM wParam, LPARAM lParam)
{
    return {static_cast<VirtualKey>(wParam), (lParam & 1) != 0, (lParam & 2) != 0};
}

LRESULT CALLBACK Observer::mouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && active != nullptr) {
        active->onMouse(wParam, *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK Observer::keyboardHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && active != nullptr) {
        active->onKey(*reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam));
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Observer::onKey(const KBDLLHOOKSTRUCT& event)
{
    watch_.hookCalled();
    const bool up = (event.flags & LLKHF_UP) != 0;
    const bool ours = (event.flags & LLKHF_INJECTED) != 0 && event.dwExtraInfo == typedByUs;
    const auto key = static_cast<VirtualKey>(event.vkCode);
    capsLock_.key(key, up);
    capsLockOn_ = capsLock_.on();
    PostMessageW(window_, keyMessage_, key, (up ? 1 : 0) | (ours ? 2 : 0));
}

bool Observer::onOwnWindow(POINT point) const
{
    {
        const std::lock_guard lock(mutex_);
        if (PtInRect(&iconRect_, point)) return true;
    }
    const HWND window = WindowFromPoint(point);
    DWORD process = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

void Observer::onMouse(WPARAM message, const MSLLHOOKSTRUCT& event)
{
    watch_.hookCalled();
    const auto change = primaryButtonChange(static_cast<unsigned>(message));
    if (!change) return;
    if (!clicks_.isOthers(*change, onOwnWindow(event.pt), menuOpen_)) return;
    // The keyboard state as the system has it at this event: the input before it is processed.
    std::optional<ModifierFlags> inFlight;
    {
        const std::lock_guard lock(mutex_);
        inFlight = chordInFlight_;
    }
    const ModifierFlags flags = inFlight ? *inFlight : currentFlags();
    PostMessageW(window_, clickMessage_, static_cast<WPARAM>(flags),
                 *change == ButtonChange::press ? 1 : 0);
}

}  // namespace snaplark::platform::win32
