#include "platform/win32/observer.h"

#include "platform/win32/modifier_map.h"

namespace snaplark::platform::win32 {
namespace {

// Hook procedures carry no context; there is one observer per process.
Observer* active = nullptr;

bool asyncDown(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

bool toggledOn(int key)
{
    return (GetKeyState(key) & 1) != 0;
}

}  // namespace

Observer::~Observer()
{
    if (mouse_ != nullptr) UnhookWindowsHookEx(mouse_);
    if (keyboard_ != nullptr) UnhookWindowsHookEx(keyboard_);
    if (active == this) active = nullptr;
}

bool Observer::start(std::function<bool(VirtualKey, bool, bool)> keys, UINT keysMessage)
{
    if (mouse_ != nullptr) return true;
    active = this;
    keys_ = std::move(keys);
    keysMessage_ = keysMessage;
    const HINSTANCE module = GetModuleHandleW(nullptr);
    if (keyboard_ == nullptr)
        keyboard_ = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardHook, module, 0);
    mouse_ = SetWindowsHookExW(WH_MOUSE_LL, mouseHook, module, 0);
    return mouse_ != nullptr;
}

ModifierFlags Observer::currentFlags()
{
    return modifierFlagsOf({asyncDown, toggledOn});
}

Observer::Click Observer::decode(WPARAM wParam, LPARAM lParam)
{
    return {lParam != 0, static_cast<ModifierFlags>(wParam)};
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
    if (code == HC_ACTION && active != nullptr && active->keys_) {
        const auto& event = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        const bool up = (event.flags & LLKHF_UP) != 0;
        const bool ours = (event.flags & LLKHF_INJECTED) != 0 && event.dwExtraInfo == typedByUs;
        if (active->keys_(static_cast<VirtualKey>(event.vkCode), up, ours)) {
            PostMessageW(active->window_, active->keysMessage_, 0, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Observer::onOwnWindow(POINT point) const
{
    if (PtInRect(&iconRect_, point)) return true;
    const HWND window = WindowFromPoint(point);
    DWORD process = 0;
    if (window != nullptr) GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId();
}

void Observer::onMouse(WPARAM message, const MSLLHOOKSTRUCT& event)
{
    const auto change =
        primaryButtonChange(static_cast<unsigned>(message), GetSystemMetrics(SM_SWAPBUTTON) != 0);
    if (!change) return;
    if (!clicks_.isOthers(*change, onOwnWindow(event.pt), menuOpen_)) return;
    // The keyboard state as the system has it at this event: the input before it is processed.
    const ModifierFlags flags = chordInFlight_ ? *chordInFlight_ : currentFlags();
    PostMessageW(window_, clickMessage_, static_cast<WPARAM>(flags),
                 *change == ButtonChange::press ? 1 : 0);
}

}  // namespace snaplark::platform::win32
