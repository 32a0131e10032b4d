#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "gesture/modifier_flags.h"
#include "platform/win32/modifier_map.h"

namespace snaplark::platform::win32 {
namespace {

// The keyboard state at a click, as the hook reads it, and the line the agent writes for it.
TEST(ModifierMap, KeysHeldAtAClickNameTheirRow)
{
    struct Case {
        std::set<int> down;
        std::set<int> toggled;
        std::string_view line;
        int row;
    };
    const Case cases[] = {
        {{}, {}, "no modifier keys are pressed", defaultRowNumber},
        {{VK_CONTROL, VK_LCONTROL}, {}, "Command key is pressed", copyRowNumber},
        {{VK_CONTROL, VK_RCONTROL}, {}, "Command key is pressed", copyRowNumber},
        {{VK_CONTROL, VK_SHIFT}, {}, "command-shift keys are pressed", pasteRowNumber},
        {{VK_SHIFT}, {}, "shift key is pressed", 1},
        {{VK_LWIN}, {}, "control key is pressed", 2},
        {{VK_RWIN}, {}, "control key is pressed", 2},
        {{VK_MENU}, {}, "option key is pressed", 3},
        // AltGr reaches Windows as Ctrl and Alt: no copy.
        {{VK_CONTROL, VK_MENU}, {}, "option-command keys are pressed", 10},
        {{VK_CONTROL, VK_LWIN}, {}, "control-command keys are pressed", 9},
        {{VK_CONTROL, VK_SHIFT, VK_MENU, VK_LWIN},
         {},
         "shift-control-option-command keys are pressed",
         15},
        // Caps Lock on blocks both gestures; Num Lock, Scroll Lock and Kana do not.
        {{VK_CONTROL}, {VK_CAPITAL}, "no modifier keys are pressed", defaultRowNumber},
        {{VK_CONTROL}, {VK_NUMLOCK, VK_SCROLL, VK_KANA}, "Command key is pressed", copyRowNumber},
        // A held lock key is not a modifier: only its toggle counts.
        {{VK_CONTROL, VK_CAPITAL}, {}, "Command key is pressed", copyRowNumber},
    };
    for (const Case& c : cases) {
        const KeyProbe probe{[&](int key) { return c.down.count(key) != 0; },
                             [&](int key) { return c.toggled.count(key) != 0; }};
        const ModifierRow& row = classifyModifiers(modifierFlagsOf(probe));
        EXPECT_EQ(row.line, c.line);
        EXPECT_EQ(row.number, c.row) << c.line;
    }
}

}  // namespace
}  // namespace snaplark::platform::win32
