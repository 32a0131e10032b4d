#include "gesture/app_delegate.h"

#include <iostream>

namespace snaplark {
namespace {

using platform::Selector;

std::shared_ptr<platform::MenuItem> makeEntry(platform::Platform& platform, std::string_view title,
                                              Selector action)
{
    return platform.menus.makeMenuItem(title, action, "");
}

}  // namespace

AppDelegate::AppDelegate(platform::Platform& platform) : AppDelegate(platform, std::cout) {}

// Every field is set in declaration order; none is read before the last is set.
AppDelegate::AppDelegate(platform::Platform& platform, std::ostream& diagnostics)
    : platform_(platform), diagnostics_(diagnostics),
      statusItem(platform.statusBar.statusItemWithLength(platform::variableStatusItemLength)),
      menu(platform.menus.makeMenu()),
      nsmenuItemDisable(makeEntry(platform, "Disable", Selector::disableFromTrayWithSender)),
      nsmenuItemIndefinitely(
          makeEntry(platform, "Indefinitely", Selector::indefinitelyFromTrayWithSender)),
      nsmenuItemHour1(makeEntry(platform, "1 Hour", Selector::hour1FromTrayWithSender)),
      nsmenuItemHour3(makeEntry(platform, "3 Hour", Selector::hour3FromTrayWithSender)),
      nsmenuItemHour6(makeEntry(platform, "6 Hour", Selector::hour6FromTrayWithSender)),
      nsmenuItemHour10(makeEntry(platform, "10 Hour", Selector::hour10FromTrayWithSender)),
      nsmenuItemPause(
          platform.application.knowsActiveApplications()
              ? makeEntry(platform, "Pause in an application", Selector::pauseFromTrayWithSender)
              : nullptr)
{
}

void AppDelegate::applicationDidFinishLaunching()
{
    platform_.application.setActivationPolicy(platform::ActivationPolicy::prohibited);
    statusItem->setHighlightMode(true);
    if (platform::StatusButton* button = statusItem->button()) {
        auto image = platform_.statusBar.imageNamed("StatusBarButtonImage");
        button->setImage(image);
        button->setAlternateImage(image);
        button->setAction(Selector::launchFromTrayWithSender);
        button->setTarget(this);
    }
    buildStatusMenu();

    // The tokens are dropped: the monitors stay installed until the process exits.
    platform_.eventMonitors.addGlobalMonitorForEventsMatchingMask(
        platform::leftMouseUpMask,
        [this](const platform::Event& event) { handleLeftMouseUp(event); });
    platform_.eventMonitors.addGlobalMonitorForEventsMatchingMask(
        platform::leftMouseDownMask,
        [this](const platform::Event& event) { handleLeftMouseDown(event); });

    // Common modes, so minutes are still counted while the menu or a dialog is open.
    auto timer = platform_.mainRunLoop.scheduledTimer(60.0, *this, Selector::timerTick, true);
    platform_.mainRunLoop.addTimer(timer, platform::RunLoopMode::commonModes);
}

// Nothing to save: the switches are written when clicked, and the schedule starts afresh.
void AppDelegate::applicationWillTerminate() {}

bool AppDelegate::respondsTo(Selector selector) const
{
    switch (selector) {
    case Selector::terminate:
    case Selector::onClickedCopy:
    case Selector::onClickedPaste:
    case Selector::onClickedCopyAfterSelection:
    case Selector::onClickedResumeApplication: return false;
    default: return true;
    }
}

void AppDelegate::perform(Selector selector, platform::Object* sender)
{
    auto* entry = dynamic_cast<platform::MenuItem*>(sender);
    // The schedule's actions read and write their own entry's check mark.
    auto withEntry = [entry](auto action) {
        if (entry != nullptr) action(*entry);
    };
    switch (selector) {
    case Selector::timerTick: timerTick(); break;
    case Selector::launchFromTrayWithSender: launchFromTrayWithSender(sender); break;
    case Selector::disableFromTrayWithSender:
        withEntry([this](auto& e) { disableFromTrayWithSender(e); });
        break;
    case Selector::indefinitelyFromTrayWithSender:
        withEntry([this](auto& e) { indefinitelyFromTrayWithSender(e); });
        break;
    case Selector::hour1FromTrayWithSender:
        withEntry([this](auto& e) { hour1FromTrayWithSender(e); });
        break;
    case Selector::hour3FromTrayWithSender:
        withEntry([this](auto& e) { hour3FromTrayWithSender(e); });
        break;
    case Selector::hour6FromTrayWithSender:
        withEntry([this](auto& e) { hour6FromTrayWithSender(e); });
        break;
    case Selector::hour10FromTrayWithSender:
        withEntry([this](auto& e) { hour10FromTrayWithSender(e); });
        break;
    case Selector::preferenceFromTrayWithSender: preferenceFromTrayWithSender(sender); break;
    case Selector::aboutFromTrayWithSender: aboutFromTrayWithSender(sender); break;
    case Selector::howToUseFromTrayWithSender: howToUseFromTrayWithSender(sender); break;
    case Selector::pauseFromTrayWithSender:
        withEntry([this](auto& e) { pauseFromTrayWithSender(e); });
        break;
    case Selector::terminate:
    case Selector::onClickedCopy:
    case Selector::onClickedPaste:
    case Selector::onClickedCopyAfterSelection:
    case Selector::onClickedResumeApplication: break;
    }
}

// Flushed line by line: the output is often a pipe or a journal read while the agent runs.
void AppDelegate::writeLine(std::string_view line)
{
    diagnostics_ << line << '\n' << std::flush;
}

}  // namespace snaplark
