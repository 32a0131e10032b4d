#pragma once

#include <windows.h>

#include <memory>
#include <vector>

#include "platform/storyboard.h"

namespace snaplark::platform::win32 {

class Win32Services;

// One preferences window made from the dialog resource: it owns its controllers and checkboxes,
// and the services own it until the window is destroyed.
class PreferencesScene {
public:
    // A new window, hidden until its controller shows it; nullptr when the program lacks the
    // scene's classes.
    static std::shared_ptr<WindowController> instantiate(Win32Services& services);

    explicit PreferencesScene(Win32Services& services) : services_(services) {}
    ~PreferencesScene();
    PreferencesScene(const PreferencesScene&) = delete;
    PreferencesScene& operator=(const PreferencesScene&) = delete;

    HWND dialog() const { return dialog_; }

private:
    static INT_PTR CALLBACK dialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void clicked(int control);

    struct Outlet {
        int control;
        Selector action;
        std::shared_ptr<Button> button;
    };

    Win32Services& services_;
    HWND dialog_ = nullptr;
    std::shared_ptr<Window> window_;
    std::shared_ptr<WindowController> controller_;
    std::shared_ptr<ViewController> content_;
    std::vector<Outlet> outlets_;
    std::shared_ptr<ItemList> pausedList_;
};

}  // namespace snaplark::platform::win32
