#pragma once

#include <optional>

#include "platform/evdev/typist.h"

struct xkb_keymap;

namespace snaplark::platform::evdev {

// The keys typing c and v in the first layout of a keymap; the C and V positions for a letter
// that layout lacks (Cyrillic, Greek…), which is what applications match there.
ChordKeys chordKeysOf(xkb_keymap* keymap);

// The same for a keymap in its text form, as a compositor sends it; none for text that is not a
// keymap.
std::optional<ChordKeys> chordKeysOfKeymap(const char* keymap);

}  // namespace snaplark::platform::evdev
