#include "gesture/app_delegate.h"

namespace snaplark {

// Each event is judged alone on the modifiers held at that moment: no pairing of press and
// release, no movement or timing.

void AppDelegate::handleLeftMouseUp(ModifierFlags flags)
{
    const ModifierRow& row = classifyModifiers(flags);
    writeLine(row.line);
    if (row.number == copyRowNumber) postCopyKeystroke();
}

void AppDelegate::handleLeftMouseDown(ModifierFlags flags)
{
    const ModifierRow& row = classifyModifiers(flags);
    writeLine(row.line);
    if (row.number == pasteRowNumber) postPasteKeystroke();
}

}  // namespace snaplark
