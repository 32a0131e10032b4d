#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

class QTimer;

namespace snaplark::platform::qt {

class QtStatusItem;

// The Qt Widgets side of the platform: application, tray icon and menus, alerts, the preferences
// window, the minute timer, the settings store and the package's version keys. Mouse monitoring
// and keystrokes come from elsewhere (the windowing system's own backend).
class QtServices final : public Application,
                         public StatusBar,
                         public MenuFactory,
                         public UserDefaultsStore,
                         public RunLoop,
                         public AlertFactory,
                         public StoryboardLoader,
                         public Bundle {
public:
    QtServices(EventMonitors& eventMonitors, KeyboardEvents& keyboard,
               const ClassRegistry& classes);
    ~QtServices() override;

    Platform& platform() { return platform_; }
    void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
    // Where the windowing system has an activation policy of its own, it is told each change.
    void setActivationPolicyHook(std::function<void(ActivationPolicy)> hook)
    {
        activationPolicyHook_ = std::move(hook);
    }
    // Shows every status item, once start-up has attached its menu.
    void showStatusItems();
    // Sends an action along the application's dispatch.
    void sendAction(Selector action, Responder* target, Object* sender);

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

    const ClassRegistry& classes() const { return classes_; }

private:
    Platform platform_;
    const ClassRegistry& classes_;
    ApplicationDelegate* delegate_ = nullptr;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    std::function<void(ActivationPolicy)> activationPolicyHook_;
    bool terminating_ = false;
    InfoDictionary info_;
    std::vector<std::weak_ptr<QtStatusItem>> statusItems_;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

}  // namespace snaplark::platform::qt
