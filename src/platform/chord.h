#pragma once

#include "platform/event_monitor.h"
#include "platform/keyboard.h"

namespace snaplark::platform {

// How a terminal or console window takes copy and paste. Ctrl+C there interrupts the running
// program, so the shortcut must never reach one as it is.
enum class TerminalKind {
    none,           // not a terminal: the shortcut as the agent asked for it
    shiftChords,    // copies with Ctrl+Shift+C and pastes with Ctrl+Shift+V
    selectionOnly,  // has no safe copy chord (it copies what is selected by itself); pastes with
                    // Shift+Insert
    insertChords,   // copies with Ctrl+Insert and pastes with Shift+Insert
};

enum class ChordKey { c, v, insert };

// What to type for one shortcut: the keys to hold, then the key. `skip` types nothing.
struct Chord {
    bool skip = false;
    bool control = false;
    bool shift = false;
    bool alt = false;
    bool super = false;  // the logo key: Super on Linux, Windows on Windows
    ChordKey key = ChordKey::c;
};

// The chord for a key-down of the agent's virtual key code with its flag word, in a window of the
// given kind, on a desktop where Control plays Command's role; `skip` for a key code that is
// neither copy's nor paste's.
Chord chordFor(TerminalKind kind, VirtualKeyCode key, ModifierFlags flags);

}  // namespace snaplark::platform
