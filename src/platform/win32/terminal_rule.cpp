#include "platform/win32/terminal_rule.h"

#include <array>

namespace snaplark::platform::win32 {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;

struct KnownConsole {
    std::string_view windowClass;
    ConsoleKind kind;
};

// Window classes are compared exactly: they are program identifiers, not user-visible names.
constexpr std::array<KnownConsole, 4> knownConsoles{{
    {"ConsoleWindowClass", ConsoleKind::shiftChords},
    {"CASCADIA_HOSTING_WINDOW_CLASS", ConsoleKind::shiftChords},
    {"PuTTY", ConsoleKind::selectionOnly},
    {"mintty", ConsoleKind::selectionOnly},
}};

}  // namespace

ConsoleKind consoleKindOf(std::string_view windowClass)
{
    for (const KnownConsole& console : knownConsoles) {
        if (console.windowClass == windowClass) return console.kind;
    }
    return ConsoleKind::none;
}

Chord chordFor(ConsoleKind kind, VirtualKeyCode key, ModifierFlags flags)
{
    Chord chord;
    if (key != keyC && key != keyV) {
        chord.skip = true;
        return chord;
    }
    chord.key = key == keyC ? ChordKey::c : ChordKey::v;
    chord.control = (flags & modifier::command) != 0;
    chord.shift = (flags & modifier::shift) != 0;
    chord.alt = (flags & modifier::option) != 0;
    chord.win = (flags & modifier::control) != 0;
    const bool shortcut = flags == modifier::command;
    if (!shortcut || kind == ConsoleKind::none) return chord;

    if (kind == ConsoleKind::shiftChords) {
        chord.shift = true;
    } else if (key == keyC) {
        chord.skip = true;
    } else {
        chord = Chord{};
        chord.shift = true;
        chord.key = ChordKey::insert;
    }
    return chord;
}

}  // namespace snaplark::platform::win32
