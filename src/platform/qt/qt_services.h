#pragma once

#include <QObject>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

class QMenu;
class QTimer;

namespace snaplark::platform::qt {

class Autostart;
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
    // Called with true when a status menu opens and false when it closes.
    void setMenuShownHandler(std::function<void(bool)> handler) { menuShown_ = std::move(handler); }
    void menuShown(bool shown)
    {
        if (menuShown_) menuShown_(shown);
    }
    // Tells the tray icons whether the agent is suspended, for their tool tip.
    void showSuspended(bool suspended);
    // A line the tool tips add under that state, such as a missing permission; empty for none.
    void showNotice(const QString& notice);
    const QString& notice() const { return notice_; }
    bool suspended() const { return suspended_; }
    // The first status item's menu, for those who draw it themselves; null before start-up.
    QMenu* statusMenu() const;
    // Called whenever the status menu's entries, the suspension or the notice change.
    void setStatusChangedHandler(std::function<void()> handler)
    {
        statusChanged_ = std::move(handler);
    }
    void statusChanged()
    {
        if (statusChanged_) statusChanged_();
    }
    // Where the active application is learnt, on a platform that can tell it.
    void setActiveApplicationSource(std::function<ActiveApplication()> source)
    {
        activeApplicationSource_ = std::move(source);
    }
    bool knowsActiveApplications() const override { return bool(activeApplicationSource_); }
    ActiveApplication activeApplication() const override
    {
        return activeApplicationSource_ ? activeApplicationSource_() : ActiveApplication{};
    }
    // What the How-to-use dialog says of problems, and what its buttons do.
    void setHelp(std::function<std::vector<HelpNote>()> notes, std::function<void(std::size_t)> fix)
    {
        helpNotes_ = std::move(notes);
        applyFix_ = std::move(fix);
    }
    std::vector<HelpNote> helpNotes() const override
    {
        return helpNotes_ ? helpNotes_() : std::vector<HelpNote>{};
    }
    void applyFix(std::size_t note) override
    {
        if (applyFix_) applyFix_(note);
    }
    // Sends an action along the application's dispatch.
    void sendAction(Selector action, Responder* target, Object* sender);

    void setKeyboardWords(KeyboardWords words) { keyboardWords_ = words; }
    // Where the agent's settings live; set before the delegate starts.
    void setUserDefaultsStore(UserDefaultsStore* store) { userDefaultsStore_ = store; }
    // The status items sit in a menu bar (macOS) that opens their menus by itself and draws their
    // pictures as templates, in its own colours.
    void setInMenuBar(bool inMenuBar) { inMenuBar_ = inMenuBar; }
    bool inMenuBar() const { return inMenuBar_; }
    // Where the desktop starts programs at login; without one the preferences window offers none.
    void setAutostart(Autostart* autostart) { autostart_ = autostart; }
    Autostart* autostart() const { return autostart_; }
    KeyboardWords keyboardWords() const override { return keyboardWords_; }
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
    KeyboardWords keyboardWords_ = KeyboardWords::command;
    Autostart* autostart_ = nullptr;
    UserDefaultsStore* userDefaultsStore_ = nullptr;
    std::function<void(bool)> menuShown_;
    std::function<void()> statusChanged_;
    std::function<ActiveApplication()> activeApplicationSource_;
    std::function<std::vector<HelpNote>()> helpNotes_;
    std::function<void(std::size_t)> applyFix_;
    bool suspended_ = false;
    std::function<void(ActivationPolicy)> activationPolicyHook_;
    bool terminating_ = false;
    bool inMenuBar_ = false;
    QString notice_;
    InfoDictionary info_;
    std::vector<std::weak_ptr<QtStatusItem>> statusItems_;
    std::vector<std::unique_ptr<QTimer>> timers_;
};

}  // namespace snaplark::platform::qt
