#pragma once

#include <string_view>

#include "platform/event_monitor.h"
#include "platform/keyboard.h"

namespace snaplark::platform::win32 {

// How a console window takes copy and paste. Ctrl+C in a console interrupts the running program
// when nothing is selected, so the shortcut must never reach one as it is.
enum class ConsoleKind {
    none,           // not a console: the shortcut as the agent asked for it
    shiftChords,    // the Windows console host and Windows Terminal: Ctrl+Shift+C, Ctrl+Shift+V
    selectionOnly,  // copies what is selected by itself and pastes with Shift+Insert (PuTTY,
                    // mintty): typing a copy chord there would only send ^C to the program
};

// The kind of the window whose window class name is given.
ConsoleKind consoleKindOf(std::string_view windowClass);

enum class ChordKey { c, v, insert };

// What to type for one shortcut: the keys to hold, then the key. `skip` types nothing.
struct Chord {
    bool skip = false;
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool win = false;
    ChordKey key = ChordKey::c;
};

// The chord for a key-down of the agent's virtual key code with its flag word, in a window of the
// given kind.
Chord chordFor(ConsoleKind kind, VirtualKeyCode key, ModifierFlags flags);

}  // namespace snaplark::platform::win32
