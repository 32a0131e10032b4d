#include "gesture/app_delegate.h"
#include "preferences/settings_store.h"

namespace snaplark {
namespace {

// A copy waits for a selection where the user chose so: a drag, or the release that ends a
// double or triple click (a word or a line selected).
bool selects(const platform::Event& event)
{
    return event.dragged || event.clickCount >= 2;
}

}  // namespace

// Each event is judged on the modifiers held at that moment; the platform's word on movement,
// clicks and the active application only holds a chord back.

void AppDelegate::handleLeftMouseUp(ModifierFlags flags)
{
    handleLeftMouseUp(platform::Event{flags});
}

void AppDelegate::handleLeftMouseDown(ModifierFlags flags)
{
    handleLeftMouseDown(platform::Event{flags});
}

void AppDelegate::handleLeftMouseUp(const platform::Event& event)
{
    const ModifierRow& row = classifyModifiers(event.modifierFlags);
    writeLine(row.line);
    if (row.number != copyRowNumber || pausedIn(event.application)) return;
    if (!selects(event)) {
        const auto defaults = platform_.userDefaults.open();
        bool waitForSelection = false;
        refreshSwitchFromSettings(*defaults, copyOnlyAfterSelectionKey, waitForSelection);
        if (waitForSelection) return;
    }
    postCopyKeystroke();
}

void AppDelegate::handleLeftMouseDown(const platform::Event& event)
{
    const ModifierRow& row = classifyModifiers(event.modifierFlags);
    writeLine(row.line);
    if (row.number == pasteRowNumber && !pausedIn(event.application)) postPasteKeystroke();
}

bool AppDelegate::pausedIn(const platform::ActiveApplication& application)
{
    if (application.id.empty()) return false;
    const auto defaults = platform_.userDefaults.open();
    for (const auto& paused : pausedApplications(*defaults)) {
        if (paused.id == application.id) return true;
    }
    return false;
}

}  // namespace snaplark
