#pragma once

#include <windows.h>

#include <functional>
#include <optional>

#include "platform/event_monitor.h"
#include "platform/win32/own_windows.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {

// Marks the key events the agent types, so that the keyboard hook can tell them from the user's.
inline constexpr ULONG_PTR typedByUs = 0x534E4C4B;

// Watches the primary button of every window through a low-level mouse hook, and every key through
// a low-level keyboard hook, both on the thread that runs the message loop. Windows removes a hook
// that keeps the input waiting, so the hooks only read what belongs to the moment of the event
// (the keyboard state, whether the click is ours) and post it to the agent's window: the work runs
// after the hook has returned, in event order.
class Observer {
public:
    // Clicks in other applications are posted to `window` as `clickMessage`.
    Observer(HWND window, UINT clickMessage) : window_(window), clickMessage_(clickMessage) {}
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Installs both hooks; false when the mouse hook could not be installed. `keys` is called in
    // the keyboard hook for every key event; when it returns true, `keysMessage` is posted.
    bool start(std::function<bool(VirtualKey, bool up, bool ours)> keys, UINT keysMessage);

    // Our menu is open: every press goes to it.
    void setMenuOpen(bool open) { menuOpen_ = open; }
    // Where our notification icon is, in screen coordinates: it lies in the task bar's window,
    // not ours.
    void setIconRect(const RECT& rect) { iconRect_ = rect; }
    // A chord is being typed: the keyboard shows the chord's modifiers, not the user's, until it
    // ends. A hook called meanwhile (Wine calls our hooks while SendInput waits for them) takes
    // the flags the user held when the chord began.
    void setChordInFlight(std::optional<ModifierFlags> userFlags) { chordInFlight_ = userFlags; }
    // The flag word of the keyboard as it is now.
    static ModifierFlags currentFlags();

    struct Click {
        bool press;
        ModifierFlags flags;
    };
    static Click decode(WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK mouseHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK keyboardHook(int code, WPARAM wParam, LPARAM lParam);
    void onMouse(WPARAM message, const MSLLHOOKSTRUCT& event);
    bool onOwnWindow(POINT point) const;

    HWND window_;
    UINT clickMessage_;
    UINT keysMessage_ = 0;
    HHOOK mouse_ = nullptr;
    HHOOK keyboard_ = nullptr;
    std::function<bool(VirtualKey, bool, bool)> keys_;
    OwnClicks clicks_;
    bool menuOpen_ = false;
    RECT iconRect_{};
    std::optional<ModifierFlags> chordInFlight_;
};

}  // namespace snaplark::platform::win32
