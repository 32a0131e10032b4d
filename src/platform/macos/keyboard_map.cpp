#include "platform/macos/keyboard_map.h"

#include <Carbon/Carbon.h>

namespace snaplark::platform::macos {
namespace {

// Virtual key codes run from 0 to 127 (UCKeyTranslate reference).
constexpr UInt16 keyCodes = 128;

// UCKeyTranslate takes the modifiers as an event record's modifiers shifted right by eight.
constexpr UInt32 commandHeld = (cmdKey >> 8) & 0xFF;

bool types(const UCKeyboardLayout* layout, UInt16 key, char16_t character)
{
    UInt32 deadKeyState = 0;
    UniChar typed[4];
    UniCharCount length = 0;
    const OSStatus status =
        UCKeyTranslate(layout, key, kUCKeyActionDown, commandHeld, LMGetKbdType(),
                       kUCKeyTranslateNoDeadKeysMask, &deadKeyState, 4, &length, typed);
    return status == noErr && length == 1 && typed[0] == character;
}

}  // namespace

std::uint16_t keyTyping(char16_t character, std::uint16_t preferred)
{
    // The keyboard layout in use, also while an input method is selected; copied, so released.
    // Text Input Sources wants the main thread, where gestures are typed.
    TISInputSourceRef source = TISCopyCurrentKeyboardLayoutInputSource();
    if (source == nullptr) return preferred;
    std::uint16_t key = preferred;
    // A property is got, not copied: it lives as long as the source.
    if (auto data = static_cast<CFDataRef>(
            TISGetInputSourceProperty(source, kTISPropertyUnicodeKeyLayoutData))) {
        const auto* layout = reinterpret_cast<const UCKeyboardLayout*>(CFDataGetBytePtr(data));
        if (!types(layout, preferred, character)) {
            for (UInt16 candidate = 0; candidate < keyCodes; ++candidate) {
                if (types(layout, candidate, character)) {
                    key = candidate;
                    break;
                }
            }
        }
    }
    CFRelease(source);
    return key;
}

}  // namespace snaplark::platform::macos
