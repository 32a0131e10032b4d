#include <algorithm>

#include "gesture/app_delegate.h"
#include "preferences/settings_store.h"

namespace snaplark {

void AppDelegate::buildStatusMenu()
{
    using platform::Selector;
    auto& menus = platform_.menus;
    menu->addItem(nsmenuItemDisable);
    menu->addItem(menus.separatorItem());
    nsmenuItemIndefinitely->setState(platform::stateOn);
    menu->addItem(nsmenuItemIndefinitely);
    menu->addItem(nsmenuItemHour1);
    menu->addItem(nsmenuItemHour3);
    menu->addItem(nsmenuItemHour6);
    menu->addItem(nsmenuItemHour10);
    menu->addItem(menus.separatorItem());
    menu->addItem(menus.makeMenuItem("Preference", Selector::preferenceFromTrayWithSender, ""));
    menu->addItem(menus.makeMenuItem("About Snaplark", Selector::aboutFromTrayWithSender, ""));
    menu->addItem(menus.separatorItem());
    menu->addItem(menus.makeMenuItem("How to use", Selector::howToUseFromTrayWithSender, ""));
    // Next to the way out, so that the rows above keep their places where it is shown.
    if (nsmenuItemPause) {
        menu->addItem(menus.separatorItem());
        menu->addItem(nsmenuItemPause);
        menu->setDelegate(this);
    }
    menu->addItem(menus.makeMenuItem("Quit", Selector::terminate, ""));
    statusItem->setMenu(menu);
}

void AppDelegate::launchFromTrayWithSender(platform::Object* /*sender*/)
{
    writeLine("onClickedMenuBar");
    postCopyKeystroke();
}

// The pause entry names the application that was active as the menu opened, or says why it
// names none.
void AppDelegate::menuWillOpen()
{
    if (!nsmenuItemPause) return;
    menuApplication_ = platform_.application.activeApplication();
    if (menuApplication_.id.empty()) {
        nsmenuItemPause->setTitle("Pause in an application (none known here)");
        nsmenuItemPause->setEnabled(false);
        return;
    }
    const std::string verb = pausedIn(menuApplication_) ? "Resume in " : "Pause in ";
    nsmenuItemPause->setTitle(verb + menuApplication_.name);
    nsmenuItemPause->setEnabled(true);
}

// Pauses the gestures in the application the entry names, or resumes them there.
void AppDelegate::pauseFromTrayWithSender(platform::MenuItem& /*sender*/)
{
    if (menuApplication_.id.empty()) return;
    const auto defaults = platform_.userDefaults.open();
    auto paused = pausedApplications(*defaults);
    const auto found = std::find_if(paused.begin(), paused.end(),
                                    [this](const auto& p) { return p.id == menuApplication_.id; });
    if (found != paused.end()) {
        paused.erase(found);
    } else {
        paused.push_back(menuApplication_);
    }
    setPausedApplications(*defaults, paused);
}

}  // namespace snaplark
