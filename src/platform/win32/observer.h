#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
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

// Notices hooks that Windows removed without a word (a hook that overran LowLevelHooksTimeout),
// each hook by itself: the session's input moved on while that hook was not called. The mouse hook
// is missed when the pointer moved; the keyboard hook when nothing the mouse did accounts for the
// input.
class HookWatch {
public:
    void mouseCalled() { mouseCalled_ = true; }
    void keyboardCalled() { keyboardCalled_ = true; }
    struct Lost {
        bool mouse = false;
        bool keyboard = false;
    };
    // `lastInput` is GetLastInputInfo's tick at this look, `pointer` where the pointer is. The
    // tick is compared for change, not order: Windows does not promise it only grows.
    Lost look(DWORD lastInput, POINT pointer);

private:
    std::optional<DWORD> lastInput_;
    POINT pointer_{};
    bool mouseCalled_ = false;
    bool keyboardCalled_ = false;
};

// Watches the primary button of every window through a low-level mouse hook, and every key through
// a low-level keyboard hook, both on a thread of their own that does nothing else, so that no
// dialog, menu, registry read or SendInput on the agent's thread can keep input waiting past
// LowLevelHooksTimeout. The hooks read what belongs to the moment of the event (the keyboard
// state, whether the click is ours) and post it to the agent's window: the work runs there, in
// event order.
class Observer {
public:
    // What is posted to the agent's window: clicks in other applications, every key event, and
    // input that went by unseen by a hook (which is then installed again).
    struct Messages {
        UINT click;
        UINT key;
        UINT unseen;
    };
    Observer(HWND window, Messages messages) : window_(window), messages_(messages) {}
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Starts the hooks' thread and installs both hooks; false when either was refused.
    bool start();
    // Installs both hooks again (after resume from sleep).
    void reinstall();
    // Takes both hooks out while the session is locked (they see nothing there), and back in.
    void setLocked(bool locked);

    // Our menu is open: every press goes to it.
    void setMenuOpen(bool open) { menuOpen_ = open; }
    // Where our notification icon is, in screen coordinates: it lies in the task bar's window,
    // not ours.
    void setIconRect(const RECT& rect);
    // A chord is being typed: the keyboard shows the chord's modifiers, not the user's, until it
    // ends. A hook called meanwhile takes the flags the user held when the chord began.
    void setChordInFlight(std::optional<ModifierFlags> userFlags);

    // A click in another application, as the mouse hook saw it.
    struct Click {
        bool press = false;
        ModifierFlags flags = 0;
        POINT point{};          // MSLLHOOKSTRUCT's pt: per-monitor-aware screen coordinates
        DWORD time = 0;         // its time stamp, in milliseconds as message times are
        HWND window = nullptr;  // the top-level window under the pointer, which the click goes to
    };
    // The clicks the hook posted, one per click message, taken in order on the agent's thread.
    std::optional<Click> takeClick();
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
    bool install(bool mouse, bool keyboard);
    void uninstall();
    void lookForLostHooks();
    void onMouse(WPARAM message, const MSLLHOOKSTRUCT& event);
    void onKey(const KBDLLHOOKSTRUCT& event);
    bool onOwnWindow(POINT point, HWND under) const;

    const HWND window_;
    const Messages messages_;
    std::thread thread_;
    std::atomic<DWORD> threadId_ = 0;
    // Touched on the hooks' thread only.
    HHOOK mouse_ = nullptr;
    HHOOK keyboard_ = nullptr;
    bool locked_ = false;
    OwnClicks clicks_;
    HookWatch watch_;
    // Shared with the agent's thread.
    std::atomic<bool> menuOpen_{false};
    mutable std::mutex mutex_;
    RECT iconRect_{};
    std::optional<ModifierFlags> chordInFlight_;
    std::deque<Click> clicksPosted_;
};

}  // namespace snaplark::platform::win32
