// Sends the running agent's hidden window what Windows would send it, where Wine sends nothing:
//   dpi N      WM_DPICHANGED with N dots per inch (the scale of the monitor under the window moved)
//   lock       WM_WTSSESSION_CHANGE with WTS_SESSION_LOCK, and "unlock" with WTS_SESSION_UNLOCK
//   window     (nothing sent) the window's handle, printed; fails when no agent runs
//   readd      the agent's icon taken out and put back with no picture, tool tip or messages,
//              then TaskbarCreated: the agent's own NIM_ADD then fails though an icon of its id is
//              there, as when Shell_NotifyIcon timed out after adding
//   paused     (nothing sent) the rows of the preferences window's list of paused applications
// Usage: snaplark_post_agent dpi N | lock | unlock | window | readd | paused
#include <windows.h>
// After windows.h, which they need.
#include <shellapi.h>
#include <wtsapi32.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/win32/resource_ids.h"

int main(int argc, char** argv)
{
    const HWND agent = FindWindowW(L"SnaplarkAgent", nullptr);
    if (agent == nullptr || argc < 2) return 2;
    const char* what = argv[1];
    if (std::strcmp(what, "dpi") == 0 && argc == 3) {
        // The suggested rectangle (lParam) is left out: the window is hidden and has no size.
        const auto dpi = static_cast<WORD>(std::atoi(argv[2]));
        return PostMessageW(agent, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), 0) ? 0 : 1;
    }
    if (std::strcmp(what, "lock") == 0 || std::strcmp(what, "unlock") == 0) {
        const WPARAM change = what[0] == 'l' ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK;
        return PostMessageW(agent, WM_WTSSESSION_CHANGE, change, 0) ? 0 : 1;
    }
    if (std::strcmp(what, "window") == 0) {
        std::printf("%p\n", static_cast<void*>(agent));
        return 0;
    }
    if (std::strcmp(what, "readd") == 0) {
        NOTIFYICONDATAW icon{};
        icon.cbSize = sizeof icon;
        icon.hWnd = agent;
        icon.uID = 1;
        Shell_NotifyIconW(NIM_DELETE, &icon);
        if (!Shell_NotifyIconW(NIM_ADD, &icon)) return 1;
        return PostMessageW(agent, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0) ? 0 : 1;
    }
    if (std::strcmp(what, "paused") == 0) {
        const HWND dialog = FindWindowW(nullptr, L"Snaplark Preferences");
        const HWND list = dialog ? GetDlgItem(dialog, SNAPLARK_PAUSED_LIST) : nullptr;
        if (list == nullptr) return 1;
        const auto rows = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT row = 0; row < rows; ++row) {
            wchar_t text[256] = {};
            if (SendMessageW(list, LB_GETTEXTLEN, row, 0) < 256)
                SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text));
            std::printf("%ls\n", text);
        }
        return 0;
    }
    return 2;
}
