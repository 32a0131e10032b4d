// The chord's keys follow the compositor's keymap: the key typing c and v in its first layout,
// the C and V positions where that layout has no Latin letters.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <xkbcommon/xkbcommon.h>

#include <string>
#include <tuple>

#include "platform/evdev/keymap_keys.h"

namespace snaplark::platform::evdev {
namespace {

// The keymap a compositor would send for these names, in its text form.
std::string keymapText(const char* layout, const char* variant)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    const xkb_rule_names names{"evdev", "pc105", layout, variant, nullptr};
    xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
    std::string text;
    if (keymap != nullptr) {
        char* s = xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1);
        text = s;
        free(s);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return text;
}

TEST(Keymap, ChordKeysFollowTheFirstLayout)
{
    const std::tuple<const char*, const char*, ChordKeys> cases[] = {
        {"us", "", {KEY_C, KEY_V}},
        {"ru", "", {KEY_C, KEY_V}},              // no Latin letters: the positions
        {"us,ru", "dvorak,", {KEY_I, KEY_DOT}},  // the first layout decides
    };
    for (const auto& [layout, variant, want] : cases) {
        const auto keys = chordKeysOfKeymap(keymapText(layout, variant).c_str());
        ASSERT_TRUE(keys.has_value()) << layout;
        EXPECT_EQ(std::pair(keys->c, keys->v), std::pair(want.c, want.v)) << layout << variant;
    }
    EXPECT_FALSE(chordKeysOfKeymap("not a keymap").has_value());
}

}  // namespace
}  // namespace snaplark::platform::evdev
