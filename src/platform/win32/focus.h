#pragma once

#include <windows.h>

#include "platform/win32/terminal_rule.h"
#include "platform/win32/typist.h"

namespace snaplark::platform::win32 {

// The window that receives typed keys, as the typist needs it: the foreground window, what kind
// of window it is, and the keyboard layout of the thread that has the keyboard focus.
struct Foreground {
    HWND window = nullptr;
    TerminalKind kind = TerminalKind::none;
    HKL layout = nullptr;
};
Foreground foreground();

// The window the user last worked in: the foreground window, followed as it changes, and the
// window of each click in another application (which that click brings to the front, and which is
// all there is to go by where no change is told, as under Wine). Not one of ours, nor the task
// bar's, which the foreground moves to when the user clicks our icon or reaches it from the
// keyboard. It lives on the agent's thread, whose message loop delivers the changes.
class LastForeground {
public:
    LastForeground();
    ~LastForeground();
    LastForeground(const LastForeground&) = delete;
    LastForeground& operator=(const LastForeground&) = delete;

    // The top-level window of a click in another application.
    void clicked(HWND window) { note(window); }
    // Nothing while no such window is known, or the one known has gone.
    HWND window() const;

private:
    static void CALLBACK changed(HWINEVENTHOOK hook, DWORD event, HWND window, LONG object,
                                 LONG child, DWORD thread, DWORD time);
    void note(HWND window);

    HWINEVENTHOOK hook_ = nullptr;
    HWND window_ = nullptr;
};

// The key that types the character in the layout; for a layout without the letter (Cyrillic,
// Greek) the key of the letter's own code, which applications match their shortcuts against.
VirtualKey keyTyping(char character, HKL layout);

}  // namespace snaplark::platform::win32
