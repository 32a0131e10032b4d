#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/event_monitor.h"
#include "platform/win32/own_windows.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {

// Marks the key events the agent types, so that the keyboard hook can tell them from the user's.
inline constexpr ULONG_PTR typedByUs = 0x534E4C4B;

// Caps Lock's toggle as the keyboard hook sees the key go by. GetKeyState reads the calling
// thread's view of the keyboard, which only moves as that thread reads key messages, and the
// hooks' thread reads none: the toggle is followed here instead, from the state at the start.
class CapsLock {
public:
    explicit CapsLock(bool on) : on_(on) {}
    // A key event from the hook; a held key's repeats do not toggle again.
    void key(VirtualKey key, bool up);
    bool on() const { return on_; }

private:
    bool on_;
    bool down_ = false;
};

// Notices hooks that Windows removed without a word (a hook that overran LowLevelHooksTimeout):
// the session's input moved on while neither hook was called.
class HookWatch {
public:
    void hookCalled() { called_ = true; }
    // `lastInput` is GetLastInputInfo's tick at this look; true when the hooks must be installed
    // again. The tick is compared for change, not order: Windows does not promise it only grows.
    bool lost(DWORD lastInput);

private:
    std::optional<DWORD> lastInput_;
    bool called_ = false;
};

// Watches the primary button of every window through a low-level mouse hook, and every key through
// a low-level keyboard hook, both on a thread of their own that does nothing else, so that no
// dialog, menu, registry read or SendInput on the agent's thread can keep input waiting past
// LowLevelHooksTimeout. The hooks read what belongs to the moment of the event (the keyboard
// state, whether the click is ours) and post it to the agent's window: the work runs there, in
// event order.
class Observer {
public:
    // Clicks in other applications are posted to `window` as `clickMessage`, every key event as
    // `keyMessage`.
    Observer(HWND window, UINT clickMessage, UINT keyMessage)
        : window_(window), clickMessage_(clickMessage), keyMessage_(keyMessage)
    {
    }
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Starts the hooks' thread and installs both hooks; false when either was refused.
    bool start();
    // Installs both hooks again (after resume from sleep, or when the session is unlocked).
    void reinstall();

    // Our menu is open: every press goes to it.
    void setMenuOpen(bool open) { menuOpen_ = open; }
    // Where our notification icon is, in screen coordinates: it lies in the task bar's window,
    // not ours.
    void setIconRect(const RECT& rect);
    // A chord is being typed: the keyboard shows the chord's modifiers, not the user's, until it
    // ends. A hook called meanwhile takes the flags the user held when the chord began.
    void setChordInFlight(std::optional<ModifierFlags> userFlags);
    // The flag word of the keyboard as it is now.
    ModifierFlags currentFlags() const;

    struct Click {
        bool press;
        ModifierFlags flags;
    };
    static Click decode(WPARAM wParam, LPARAM lParam);
    struct Key {
        VirtualKey key;
        bool up;
        bool ours;
    };
    static Key decodeKey(WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam);
    void run(std::promise<bool> installed);
    bool install();
    void uninstall();
    void onMouse(WPARAM message, const MSLLHOOKSTRUCT& event);
    void onKey(const KBDLLHOOKSTRUCT& event);
    bool onOwnWindow(POINT point) const;

    const HWND window_;
    const UINT clickMessage_;
    const UINT keyMessage_;
    std::thread thread_;
    DWORD threadId_ = 0;
    // Touched on the hooks' thread only.
    HHOOK mouse_ = nullptr;
    HHOOK keyboard_ = nullptr;
    OwnClicks clicks_;
    CapsLock capsLock_{false};
    HookWatch watch_;
    // Shared with the agent's thread.
    std::atomic<bool> capsLockOn_{false};
    std::atomic<bool> menuOpen_{false};
    mutable std::mutex mutex_;
    RECT iconRect_{};
    std::optional<ModifierFlags> chordInFlight_;
};

}  // namespace snaplark::platform::win32
