#pragma once

#include "platform/alert.h"
#include "platform/application.h"
#include "platform/bundle.h"
#include "platform/event_monitor.h"
#include "platform/keyboard.h"
#include "platform/menu.h"
#include "platform/run_loop.h"
#include "platform/status_bar.h"
#include "platform/storyboard.h"
#include "platform/user_defaults.h"

namespace snaplark::platform {

// Every service the program reaches the desktop through; a backend owns them and hands out this.
struct Platform {
    Application& application;
    StatusBar& statusBar;
    MenuFactory& menus;
    EventMonitors& eventMonitors;
    KeyboardEvents& keyboard;
    UserDefaultsStore& userDefaults;
    RunLoop& mainRunLoop;
    AlertFactory& alerts;
    StoryboardLoader& storyboards;
    Bundle& mainBundle;
};

}  // namespace snaplark::platform
