#include "platform/win32/modifier_map.h"

#include <windows.h>

#include <array>

namespace snaplark::platform::win32 {
namespace {

struct ModifierKey {
    int virtualKey;
    ModifierFlags flag;
};

// The generic VK_CONTROL, VK_SHIFT and VK_MENU cover both keys of each pair; Windows has no
// generic code for its two logo keys.
constexpr std::array<ModifierKey, 5> heldKeys{{
    {VK_CONTROL, modifier::command},
    {VK_SHIFT, modifier::shift},
    {VK_MENU, modifier::option},
    {VK_LWIN, modifier::control},
    {VK_RWIN, modifier::control},
}};

constexpr std::array<ModifierKey, 1> toggledKeys{{
    {VK_CAPITAL, modifier::capsLock},
}};

}  // namespace

ModifierFlags modifierFlagsOf(const KeyProbe& keys)
{
    ModifierFlags flags = 0;
    for (const ModifierKey& key : heldKeys) {
        if (keys.down(key.virtualKey)) flags |= key.flag;
    }
    for (const ModifierKey& key : toggledKeys) {
        if (keys.toggled(key.virtualKey)) flags |= key.flag;
    }
    return flags;
}

}  // namespace snaplark::platform::win32
