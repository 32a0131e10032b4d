#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "platform/click_tracker.h"
#include "platform/event_monitor.h"
#include "platform/keyboard.h"
#include "platform/win32/application_names.h"
#include "platform/win32/focus.h"
#include "platform/win32/observer.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {

// The agent's input on Windows: the primary button of every window, observed by the hooks (on
// their own thread) with the keyboard state at each event, and keystrokes typed with SendInput.
// Every handler and keystroke runs on the thread that owns `window`, from its message loop.
class Win32Desktop final : public EventMonitors, public KeyboardEvents, private KeyboardDevice {
public:
    static constexpr UINT clickMessage = WM_APP + 1;
    static constexpr UINT keyMessage = WM_APP + 2;
    static constexpr UINT unseenMessage = WM_APP + 4;

    // `unreachable` hears of a foreground window that no chord can reach, each time it is seen.
    Win32Desktop(HWND window, std::function<void(HWND)> unreachable);

    // Starts watching; false when Windows refused the mouse or the keyboard hook.
    bool startObserving();
    // Installs the hooks again: after resume from sleep.
    void reinstallHooks() { observer_.reinstall(); }
    // Takes the hooks out while the session is locked, and back in when it is unlocked.
    void setLocked(bool locked) { observer_.setLocked(locked); }
    // Whether our menu is open: clicks then are ours.
    void setMenuOpen(bool open) { observer_.setMenuOpen(open); }
    // Where our notification icon is: clicks there are ours too.
    void setIconRect(const RECT& rect) { observer_.setIconRect(rect); }
    // The window's procedure hands these three messages here.
    void onClick();
    void onKey(WPARAM wParam, LPARAM lParam);
    void onUnseen();

    // The application the user last worked in (the foreground window's, not ours nor the task
    // bar's); an empty id while none is known.
    ActiveApplication activeApplication() { return names_.of(lastForeground_.window()); }

    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override;
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override;
    void post(EventTap tap, const KeyboardEvent& event) override;

private:
    bool isDown(VirtualKey key) const override;
    TerminalKind foregroundKind() const override;
    VirtualKey keyTyping(char character) const override;
    std::size_t type(const std::vector<KeyStroke>& strokes) override;
    void checkReach();

    Observer observer_;
    Typist typist_;
    std::function<void(HWND)> unreachable_;
    bool observing_ = false;
    ModifierFlags lastClickFlags_ = 0;
    ClickTracker clickTracker_;
    // The hook's time stamps as one running count of milliseconds.
    std::optional<DWORD> lastClickTime_;
    std::int64_t clickClock_ = 0;
    // Where the press went: its release goes with it.
    std::optional<ActiveApplication> pressApplication_;
    LastForeground lastForeground_;
    ApplicationNames names_;
    std::vector<std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors_;
};

}  // namespace snaplark::platform::win32
