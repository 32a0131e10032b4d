#include "platform/evdev/keymap_keys.h"

#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

namespace snaplark::platform::evdev {
namespace {

// The first key whose first level in the first layout is that keysym alone; 0 for none. XKB key
// codes are the kernel's plus 8.
std::uint16_t typing(xkb_keymap* keymap, xkb_keysym_t wanted)
{
    const xkb_keycode_t last = xkb_keymap_max_keycode(keymap);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap); code <= last; ++code) {
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap, code, 0, 0, &syms);
        if (count == 1 && syms[0] == wanted && code >= 8)
            return static_cast<std::uint16_t>(code - 8);
    }
    return 0;
}

}  // namespace

ChordKeys chordKeysOf(xkb_keymap* keymap)
{
    const std::uint16_t c = typing(keymap, XKB_KEY_c);
    const std::uint16_t v = typing(keymap, XKB_KEY_v);
    return {c ? c : std::uint16_t{KEY_C}, v ? v : std::uint16_t{KEY_V}};
}

std::optional<ChordKeys> chordKeysOfKeymap(const char* text)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_DEFAULT_INCLUDES);
    if (context == nullptr) return std::nullopt;
    // A keymap we cannot read leaves the positions in use; no need to say so at length.
    xkb_context_set_log_level(context, XKB_LOG_LEVEL_CRITICAL);
    xkb_keymap* keymap = xkb_keymap_new_from_string(context, text, XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::optional<ChordKeys> keys;
    if (keymap != nullptr) {
        keys = chordKeysOf(keymap);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return keys;
}

}  // namespace snaplark::platform::evdev
