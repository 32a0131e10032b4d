#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/win32_desktop.h"

namespace snaplark::platform::win32 {

class NotificationIcon;
class PreferencesScene;

// A balloon from the notification icon `icon` (on Windows 10 and 11, a notification): NIF_INFO
// with the information icon, the title and the text each cut to its field and ended by a NUL.
NOTIFYICONDATAW balloonFrom(const NOTIFYICONDATAW& icon, const std::wstring& title,
                            const std::wstring& text);

// The Win32 side of the platform: the agent's hidden window and its message loop, the
// notification-area icon and its menu, message boxes, the preferences dialog, the minute timer,
// the settings in the registry and the package's version keys. Input comes from Win32Desktop.
class Win32Services final : public Application,
                            public StatusBar,
                            public MenuFactory,
                            public UserDefaultsStore,
                            public RunLoop,
                            public AlertFactory,
                            public StoryboardLoader,
                            public Bundle {
public:
    explicit Win32Services(const ClassRegistry& classes);
    ~Win32Services() override;
    Win32Services(const Win32Services&) = delete;
    Win32Services& operator=(const Win32Services&) = delete;

    Platform& platform() { return platform_; }
    void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
    // Runs the message loop until the application terminates; returns the exit status.
    int run();

    void sendAction(Selector action, Responder* target, Object* sender);
    // Tries to add the icons that are missing every few seconds until they are all there.
    void retryIcons();
    // Tells the icons whether the agent is suspended, for their tool tip.
    void showSuspended(bool suspended);
    // A notification from the icon, shown once the icon is there; `shown` runs when it was.
    void tell(std::wstring title, std::wstring text, std::function<void()> shown = {});
    // At the agent's first start, says where its icon is: on Windows 11 a new icon lands out of
    // sight, behind the notification area's arrow.
    void greetOnFirstStart();
    const ClassRegistry& classes() const { return classes_; }
    HWND window() const { return window_; }
    Win32Desktop& desktop() { return *desktop_; }

    // The open preferences windows; the loop gives them their keyboard navigation.
    void addScene(std::unique_ptr<PreferencesScene> scene);
    void removeScene(HWND dialog);
    // Shows a checkbox's new state in the other open preferences windows.
    void showInOtherScenes(HWND dialog, int control, bool checked);

    KeyboardWords keyboardWords() const override { return KeyboardWords::control; }
    bool knowsActiveApplications() const override { return true; }
    ActiveApplication activeApplication() const override { return desktop_->activeApplication(); }
    void setActivationPolicy(ActivationPolicy policy) override;
    void terminate(Object* sender) override;

    std::shared_ptr<StatusItem> statusItemWithLength(double length) override;
    std::shared_ptr<Image> imageNamed(std::string_view name) override;

    std::shared_ptr<Menu> makeMenu() override;
    std::shared_ptr<MenuItem> makeMenuItem(std::string_view title, Selector action,
                                           std::string_view keyEquivalent) override;
    std::shared_ptr<MenuItem> separatorItem() override;

    std::unique_ptr<UserDefaults> open() override;

    std::shared_ptr<Timer> scheduledTimer(double intervalSeconds, Responder& target,
                                          Selector selector, bool repeats) override;
    void addTimer(const std::shared_ptr<Timer>& timer, RunLoopMode mode) override;

    std::unique_ptr<Alert> makeAlert() override;
    std::unique_ptr<Storyboard> storyboardWithName(std::string_view name) override;
    const InfoDictionary* infoDictionary() const override { return &info_; }

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);

    struct TimerEntry {
        Responder* target;
        Selector selector;
        bool repeats;
    };

    static HWND createWindow(Win32Services* services);
    void addIcons(bool all);
    // Tells the user, once per window, that gestures cannot reach it and why.
    void tellUnreachable(HWND window);
    // Shows every icon at the small-icon size for `dpi`.
    void fitIcons(UINT dpi);

    const ClassRegistry& classes_;
    HWND window_;
    UINT taskbarCreated_;
    std::unique_ptr<Win32Desktop> desktop_;
    Platform platform_;
    ApplicationDelegate* delegate_ = nullptr;
    bool terminating_ = false;
    InfoDictionary info_;
    std::vector<std::weak_ptr<NotificationIcon>> icons_;
    std::map<UINT_PTR, TimerEntry> timers_;
    UINT_PTR nextTimer_ = 1;
    std::vector<std::unique_ptr<PreferencesScene>> scenes_;
    std::set<HWND> toldUnreachable_;
};

}  // namespace snaplark::platform::win32
