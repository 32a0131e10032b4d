#include "platform/x11/keyboard_map.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace snaplark::platform::x11 {
namespace {

struct XkbKeyboardFree {
    void operator()(XkbDescPtr desc) const { XkbFreeKeyboard(desc, 0, True); }
};
using XkbDescOwner = std::unique_ptr<XkbDescRec, XkbKeyboardFree>;

// The key at a position of the keyboard, as XKB names it (AB03 is the ANSI C position).
KeyCode keycodeByName(const XkbDescRec& desc, const char* name)
{
    if (!desc.names || !desc.names->keys) return 0;
    for (int kc = desc.min_key_code; kc <= desc.max_key_code; ++kc) {
        if (std::strncmp(desc.names->keys[kc].name, name, XkbKeyNameLength) == 0) {
            return static_cast<KeyCode>(kc);
        }
    }
    return 0;
}

// The group a key actually uses when the keyboard is in `group`, by the key's own rule for groups
// it does not have.
int effectiveGroup(XkbDescRec& desc, int kc, int group)
{
    const int groups = XkbKeyNumGroups(&desc, kc);
    if (groups == 0) return -1;
    if (group < groups) return group;
    const unsigned char info = XkbKeyGroupInfo(&desc, kc);
    switch (XkbOutOfRangeGroupAction(info)) {
    case XkbClampIntoRange: return groups - 1;
    case XkbRedirectIntoRange: {
        const int redirected = XkbOutOfRangeGroupNumber(info);
        return redirected < groups ? redirected : 0;
    }
    default: return group % groups;
    }
}

// The key whose first level types `keysym` in `group`, preferring the lowest keycode.
KeyCode keycodeTyping(XkbDescRec& desc, KeySym keysym, int group)
{
    for (int kc = desc.min_key_code; kc <= desc.max_key_code; ++kc) {
        const int g = effectiveGroup(desc, kc, group);
        if (g < 0) continue;
        if (XkbKeySymEntry(&desc, kc, 0, g) == keysym) return static_cast<KeyCode>(kc);
    }
    return 0;
}

}  // namespace

KeyboardMap readKeyboardMap(Display* d, bool hasXkb)
{
    KeyboardMap map;
    unsigned char buttons[256];
    const int count = XGetPointerMapping(d, buttons, sizeof buttons);
    map.pointerMap.assign(buttons, buttons + std::max(count, 0));

    // A fresh copy of the server's map: Xlib's own cache is only renewed by events this
    // connection does not read.
    XkbDescOwner desc(hasXkb ? XkbGetMap(d, XkbKeySymsMask | XkbKeyTypesMask, XkbUseCoreKbd)
                             : nullptr);
    if (desc && XkbGetNames(d, XkbKeyNamesMask, desc.get()) != Success) desc.reset();

    const auto symOf = [&](KeyCode kc) -> KeySym {
        if (desc) {
            const int g = effectiveGroup(*desc, kc, 0);
            return g < 0 ? NoSymbol : XkbKeySymEntry(desc.get(), kc, 0, g);
        }
        return XkbKeycodeToKeysym(d, kc, 0, 0);
    };

    ModifierKeysyms keysyms;
    if (XModifierKeymap* modmap = XGetModifierMapping(d)) {
        for (int index = 0; index < 8; ++index) {
            for (int i = 0; i < modmap->max_keypermod; ++i) {
                const KeyCode kc = modmap->modifiermap[index * modmap->max_keypermod + i];
                if (kc == 0) continue;
                const KeySym sym = symOf(kc);
                keysyms[index].push_back(sym);
                if (index == ControlMapIndex) map.controls.push_back(kc);
                if (index == ShiftMapIndex) map.shifts.push_back(kc);
                const bool lock = sym == XK_Caps_Lock || sym == XK_Shift_Lock ||
                                  sym == XK_Num_Lock || sym == XK_Scroll_Lock;
                if (index != LockMapIndex && !lock) map.holdable.set(kc);
                map.modifierBits[kc] |= static_cast<unsigned char>(1u << index);
            }
        }
        XFreeModifiermap(modmap);
    }
    map.modifiers = ModifierTable(keysyms);

    const KeyCode cPosition = desc ? keycodeByName(*desc, "AB03") : 0;
    const KeyCode vPosition = desc ? keycodeByName(*desc, "AB04") : 0;
    for (int group = 0; group < keyboardGroups; ++group) {
        const KeyCode c = desc ? keycodeTyping(*desc, XK_c, group) : 0;
        const KeyCode v = desc ? keycodeTyping(*desc, XK_v, group) : 0;
        map.c[group] = c ? c : cPosition ? cPosition : XKeysymToKeycode(d, XK_c);
        map.v[group] = v ? v : vPosition ? vPosition : XKeysymToKeycode(d, XK_v);
    }
    map.insert = XKeysymToKeycode(d, XK_Insert);
    map.alt = XKeysymToKeycode(d, XK_Alt_L);
    map.super = XKeysymToKeycode(d, XK_Super_L);
    return map;
}

}  // namespace snaplark::platform::x11
