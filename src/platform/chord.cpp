#include "platform/chord.h"

namespace snaplark::platform {
namespace {

constexpr VirtualKeyCode keyC = 8;
constexpr VirtualKeyCode keyV = 9;

}  // namespace

Chord chordFor(TerminalKind kind, VirtualKeyCode key, ModifierFlags flags)
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
    chord.super = (flags & modifier::control) != 0;
    const bool shortcut = flags == modifier::command;
    if (!shortcut || kind == TerminalKind::none) return chord;

    if (kind == TerminalKind::shiftChords) {
        chord.shift = true;
    } else if (kind == TerminalKind::insertChords) {
        chord = Chord{};
        chord.control = key == keyC;
        chord.shift = key == keyV;
        chord.key = ChordKey::insert;
    } else if (key == keyC) {
        chord.skip = true;
    } else {
        chord = Chord{};
        chord.shift = true;
        chord.key = ChordKey::insert;
    }
    return chord;
}

}  // namespace snaplark::platform
