#include "gesture/app_delegate.h"

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
    menu->addItem(menus.makeMenuItem("Quit", Selector::terminate, ""));
    statusItem->setMenu(menu);
}

void AppDelegate::launchFromTrayWithSender(platform::Object* /*sender*/)
{
    writeLine("onClickedMenuBar");
    postCopyKeystroke();
}

}  // namespace snaplark
