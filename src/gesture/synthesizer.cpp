#include "gesture/app_delegate.h"
#include "preferences/settings_store.h"

namespace snaplark {
namespace {

constexpr platform::VirtualKeyCode keyC = 8;
constexpr platform::VirtualKeyCode keyV = 9;
// The whole flag word of the key-down: the shortcut carries Command alone, whatever the user holds.
constexpr ModifierFlags shortcutFlags = modifier::command;

}  // namespace

void AppDelegate::postCopyKeystroke()
{
    postCommandKeystroke(enableCopyKey, boolEnableCopy, keyC);
}

void AppDelegate::postPasteKeystroke()
{
    postCommandKeystroke(enablePasteKey, boolEnablePaste, keyV);
}

void AppDelegate::postCommandKeystroke(std::string_view settingsKey, bool& gestureSwitch,
                                       platform::VirtualKeyCode keyCode)
{
    const auto defaults = platform_.userDefaults.open();
    // Refreshed on every request, also while suspended, so the switch always mirrors the store.
    refreshSwitchFromSettings(*defaults, settingsKey, gestureSwitch);
    if (!gestureSwitch || boolDisable) return;

    auto& keyboard = platform_.keyboard;
    if (auto keyDown = keyboard.createKeyboardEvent(keyCode, true)) {
        keyDown->setFlags(shortcutFlags);
        keyboard.post(platform::EventTap::hid, *keyDown);
    }
    // The key-up goes out even when the key-down could not be made, so no key is left down.
    if (auto keyUp = keyboard.createKeyboardEvent(keyCode, false)) {
        keyboard.post(platform::EventTap::hid, *keyUp);
    }
}

}  // namespace snaplark
