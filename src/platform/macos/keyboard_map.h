#pragma once

#include <cstdint>

namespace snaplark::platform::macos {

// The key that types `character` (a lower-case Latin letter) with Command held in the current
// keyboard layout: menus match a shortcut by the character the layout makes, not by the key's
// position. `preferred` when it already types it, or when no key does (Cyrillic, Greek...) or the
// layout cannot be read, since applications match the ANSI position there.
std::uint16_t keyTyping(char16_t character, std::uint16_t preferred);

}  // namespace snaplark::platform::macos
