#include "platform/win32/terminal_rule.h"

#include <array>

namespace snaplark::platform::win32 {
namespace {

struct KnownConsole {
    std::string_view windowClass;
    TerminalKind kind;
};

// Window classes are compared exactly: they are program identifiers, not user-visible names.
// The console host takes Ctrl+Shift+C/V only with "Use Ctrl+Shift+C/V as Copy/Paste" ticked, which
// is off by default; Ctrl+Insert and Shift+Insert it takes as it comes ("Enable Ctrl key
// shortcuts", on by default). Windows Terminal binds both by default too (its actions reference:
// copy ctrl+c, ctrl+shift+c, ctrl+insert, enter; paste ctrl+v, ctrl+shift+v, shift+insert). Ctrl+C
// would interrupt the running program where nothing is selected, and Ctrl+V reaches it as ^V when
// the console's Ctrl key shortcuts are off.
constexpr std::array<KnownConsole, 4> knownConsoles{{
    {"ConsoleWindowClass", TerminalKind::insertChords},
    {"CASCADIA_HOSTING_WINDOW_CLASS", TerminalKind::insertChords},
    {"PuTTY", TerminalKind::selectionOnly},
    {"mintty", TerminalKind::selectionOnly},
}};

}  // namespace

TerminalKind consoleKindOf(std::string_view windowClass)
{
    for (const KnownConsole& console : knownConsoles) {
        if (console.windowClass == windowClass) return console.kind;
    }
    return TerminalKind::none;
}

}  // namespace snaplark::platform::win32
