#pragma once

#include <string_view>

#include "platform/event_monitor.h"
#include "platform/keyboard.h"

namespace snaplark::platform::x11 {

// How a terminal emulator takes copy and paste. Ctrl+C in a terminal interrupts the running
// program, so the shortcut must never reach one as it is.
enum class TerminalKind {
    none,           // not a terminal: the shortcut as the agent asked for it
    shiftChords,    // copies with Ctrl+Shift+C and pastes with Ctrl+Shift+V
    selectionOnly,  // has no safe copy chord (its selection already is the PRIMARY selection);
                    // pastes with Shift+Insert
};

// The kind of the application whose window has the WM_CLASS instance and class names given.
TerminalKind terminalKindOf(std::string_view instanceName, std::string_view className);

enum class ChordKey { c, v, insert };

// What to type for one shortcut: the keys to hold, then the key. `skip` types nothing.
struct Chord {
    bool skip = false;
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool super = false;
    ChordKey key = ChordKey::c;
};

// The chord for a key-down of the agent's virtual key code with its flag word, in a window of the
// given kind; nullopt-like `skip` for a key the desktop has no position for.
Chord chordFor(TerminalKind kind, VirtualKeyCode key, ModifierFlags flags);

}  // namespace snaplark::platform::x11
