#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string_view>

#include "gesture/modifier_flags.h"
#include "platform/platform.h"

namespace snaplark {

// The application controller: it owns the agent's state, is the application's delegate and
// answers the status menu, the status button and the minute timer.
class AppDelegate final : public platform::ApplicationDelegate, public platform::MenuDelegate {
public:
    // Diagnostic lines go to the stream given, one flushed line per event.
    explicit AppDelegate(platform::Platform& platform, std::ostream& diagnostics);
    explicit AppDelegate(platform::Platform& platform);

    void applicationDidFinishLaunching() override;
    void timerTick();
    void applicationWillTerminate() override;
    void launchFromTrayWithSender(platform::Object* sender);
    void disableFromTrayWithSender(platform::MenuItem& sender);
    void indefinitelyFromTrayWithSender(platform::MenuItem& sender);
    void hour1FromTrayWithSender(platform::MenuItem& sender);
    void hour3FromTrayWithSender(platform::MenuItem& sender);
    void hour6FromTrayWithSender(platform::MenuItem& sender);
    void hour10FromTrayWithSender(platform::MenuItem& sender);
    void preferenceFromTrayWithSender(platform::Object* sender);
    void aboutFromTrayWithSender(platform::Object* sender);
    void howToUseFromTrayWithSender(platform::Object* sender);
    void pauseFromTrayWithSender(platform::MenuItem& sender);
    void menuWillOpen() override;

    void handleLeftMouseUp(ModifierFlags flags);
    void handleLeftMouseDown(ModifierFlags flags);
    // The same, with what the platform tells of the click besides its modifiers: a copy is not
    // typed in a paused application, nor after a click in place when copies wait for a
    // selection; a paste is not typed in a paused application.
    void handleLeftMouseUp(const platform::Event& event);
    void handleLeftMouseDown(const platform::Event& event);
    void postCopyKeystroke();
    void postPasteKeystroke();

    bool respondsTo(platform::Selector selector) const override;
    void perform(platform::Selector selector, platform::Object* sender) override;

private:
    platform::Platform& platform_;
    std::ostream& diagnostics_;

public:
    // The agent's state, in this order; readable by the platform and by tests.
    const std::shared_ptr<platform::StatusItem> statusItem;
    const std::shared_ptr<platform::Menu> menu;
    bool boolEnableCopy = true;
    bool boolEnablePaste = true;
    bool boolDisable = false;
    bool boolInfinitely = true;
    std::int64_t intMinFromStart = 0;
    std::int64_t intMinForDisable = 99999;
    const std::shared_ptr<platform::MenuItem> nsmenuItemDisable;
    const std::shared_ptr<platform::MenuItem> nsmenuItemIndefinitely;
    const std::shared_ptr<platform::MenuItem> nsmenuItemHour1;
    const std::shared_ptr<platform::MenuItem> nsmenuItemHour3;
    const std::shared_ptr<platform::MenuItem> nsmenuItemHour6;
    const std::shared_ptr<platform::MenuItem> nsmenuItemHour10;
    // "Pause in …", where the platform can tell the active application; null elsewhere.
    const std::shared_ptr<platform::MenuItem> nsmenuItemPause;

private:
    // The application that was active when the menu opened: the one the pause entry names.
    platform::ActiveApplication menuApplication_;
    bool pausedIn(const platform::ActiveApplication& application);
    void writeLine(std::string_view line);
    void postCommandKeystroke(std::string_view settingsKey, bool& gestureSwitch,
                              platform::VirtualKeyCode keyCode);
    void buildStatusMenu();
    void resetSchedule();
    void choosePeriod(platform::MenuItem& sender, std::int64_t minutes);
    void showPreferencesWindow();
    void showAboutAlert();
    void showHowToUseAlert();
};

}  // namespace snaplark
