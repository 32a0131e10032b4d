#include "platform/win32/observer.h"

#include "platform/win32/modifier_map.h"

namespace snaplark::platform::win32 {
namespace {

// Hook procedures carry no context; there is one observer per process.
Observer* active = nullptr;

constexpr UINT reinstallMessage = WM_APP + 20;
constexpr UINT lockMessage = WM_APP + 21;
// Well inside LowLevelHooksTimeout's cap of one second: a lost hook is back within two looks.
constexpr UINT watchMilliseconds = 1000;

bool asyncDown(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

// A lock key's toggle as the system has it at this event. GetAsyncKeyState has no toggle bit, and
// GetKeyState reads the calling thread's key state, which the reference page says moves as the
// thread reads key messages; the hooks' thread reads none, yet a thread with no key input of its
// own is brought in line with the system's state when it calls GetKeyState (as Windows was seen
// to do in the question Michael Kaplan answered in "The message queue runneth over, and may not
// be in sync", and as Wine does). Read at each click, the toggle is right whatever went by while
// the hooks were blind (the lock screen, UAC's desktop, an elevated window, a removed hook). The
// runner workflow checks this on Windows.
bool toggledNow(int key)
{
    return (GetKeyState(key) & 1) != 0;
}

ModifierFlags currentFlags()
{
    return modifierFlagsOf({asyncDown, toggledNow});
}

}  // namespace

HookWatch::Lost HookWatch::look(DWORD lastInput, POINT pointer)
{
    Lost lost;
    if (lastInput_ && *lastInput_ != lastInput) {
        const bool pointerMoved = pointer.x != pointer_.x || pointer.y != pointer_.y;
        lost.mouse = pointerMoved && !mouseCalled_;
        lost.keyboard = !pointerMoved && !mouseCalled_ && !keyboardCalled_;
    }
    lastInput_ = lastInput;
    pointer_ = pointer;
    mouseCalled_ = keyboardCalled_ = false;
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

void Observer::setLocked(bool locked)
{
    // Waits for the hooks' thread, which only ever waits for input: the input that follows finds
    // the hooks as the session's state wants them.
    std::promise<void> done;
    auto future = done.get_future();
    if (threadId_ != 0 && PostThreadMessageW(threadId_, lockMessage, locked ? 1 : 0,
                                             reinterpret_cast<LPARAM>(&done))) {
        future.wait();
    }
}

void Observer::run(std::promise<bool> installed)
{
    // LowLevelMouseProc: "the thread that installed the hook must have a message loop"; the
    // hook is called by a message sent to it. PeekMessage makes the queue before anyone posts.
    MSG message{};
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    // SetThreadPriority: above every thread of normal priority, so that a busy machine does not
    // keep the hooks past LowLevelHooksTimeout (Windows would remove them). The thread only ever
    // runs for a moment per event.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    threadId_ = GetCurrentThreadId();
    installed.set_value(install(true, true));
    const UINT_PTR timer = SetTimer(nullptr, 0, watchMilliseconds, nullptr);
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.hwnd != nullptr) {
            DispatchMessageW(&message);
        } else if (message.message == reinstallMessage) {
            if (!locked_) install(true, true);
        } else if (message.message == lockMessage) {
            locked_ = message.wParam != 0;
            if (locked_)
                uninstall();
            else
                install(true, true);
            reinterpret_cast<std::promise<void>*>(message.lParam)->set_value();
        } else if (message.message == WM_TIMER) {
            lookForLostHooks();
        } else {
            DispatchMessageW(&message);
        }
    }
    KillTimer(nullptr, timer);
    uninstall();
}

// LowLevelMouseProc: on Windows 7 and later a hook that times out is removed silently, and "there
// is no way for the application to know whether the hook is removed". Input a hook never saw
// tells; the agent hears of it too, since it is also what an elevated window in front looks like.
void Observer::lookForLostHooks()
{
    LASTINPUTINFO last{sizeof last, 0};
    POINT pointer{};
    if (locked_ || !GetLastInputInfo(&last) || !GetCursorPos(&pointer)) return;
    const HookWatch::Lost lost = watch_.look(last.dwTime, pointer);
    if (!lost.mouse && !lost.keyboard) return;
    install(lost.mouse, lost.keyboard);
    PostMessageW(window_, messages_.unseen, 0, 0);
}

bool Observer::install(bool mouse, bool keyboard)
{
    // A hook Windows already removed fails to unhook; nothing is left to undo then.
    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (keyboard) {
        if (keyboard_ != nullptr) UnhookWindowsHookEx(keyboard_);
        keyboard_ = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, module, 0);
    }
    if (mouse) {
        if (mouse_ != nullptr) UnhookWindowsHookEx(mouse_);
        mouse_ = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, module, 0);
    }
    return keyboard_ != nullptr && mouse_ != nullptr;
}

void Observer::uninstall()
{
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

std::optional<Observer::Click> Observer::takeClick()
{
    const std::lock_guard lock(mutex_);
    if (clicksPosted_.empty()) return std::nullopt;
    const Click click = clicksPosted_.front();
    clicksPosted_.pop_front();
    return click;
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
    watch_.keyboardCalled();
    const bool up = (event.flags & LLKHF_UP) != 0;
    const bool ours = (event.flags & LLKHF_INJECTED) != 0 && event.dwExtraInfo == typedByUs;
    PostMessageW(window_, messages_.key, event.vkCode, (up ? 1 : 0) | (ours ? 2 : 0));
}

bool Observer::onOwnWindow(POINT point, HWND under) const
{
    {
        const std::lock_guard lock(mutex_);
        if (PtInRect(&iconRect_, point)) return true;
    }
    DWORD process = 0;
    if (under != nullptr) GetWindowThreadProcessId(under, &process);
    return process == GetCurrentProcessId();
}

void Observer::onMouse(WPARAM message, const MSLLHOOKSTRUCT& event)
{
    watch_.mouseCalled();
    const auto change = primaryButtonChange(static_cast<unsigned>(message));
    if (!change) return;
    const HWND under = WindowFromPoint(event.pt);
    if (!clicks_.isOthers(*change, onOwnWindow(event.pt, under), menuOpen_)) return;
    // The keyboard state as the system has it at this event: the input before it is processed.
    // MSLLHOOKSTRUCT's pt and time are the event's own, which the agent's thread, running later,
    // could not read again.
    const std::lock_guard lock(mutex_);
    const ModifierFlags flags = chordInFlight_ ? *chordInFlight_ : currentFlags();
    clicksPosted_.push_back(
        {*change == ButtonChange::press, flags, event.pt, event.time, GetAncestor(under, GA_ROOT)});
    // A message the queue refused (it is full) has no click to take.
    if (!PostMessageW(window_, messages_.click, 0, 0)) clicksPosted_.pop_back();
}

}  // namespace snaplark::platform::win32
