#include "platform/win32/terminal_rule.h"

#include <array>

namespace snaplark::platform::win32 {
namespace {

struct KnownConsole {
    std::string_view windowClass;
    TerminalKind kind;
};

// Window classes are compared exactly: they are program identifiers, not user-visible names.
constexpr std::array<KnownConsole, 4> knownConsoles{{
    {"ConsoleWindowClass", TerminalKind::shiftChords},
    {"CASCADIA_HOSTING_WINDOW_CLASS", TerminalKind::shiftChords},
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
