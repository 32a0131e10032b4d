#pragma once

#include <memory>

#include "platform/keyboard.h"

namespace snaplark::platform::macos {

// Types key events through Core Graphics, at the HID level, into the application with keyboard
// focus. Key codes are positions (8 is the key labelled C on an ANSI keyboard), so the layout is
// not consulted; each event is released when its KeyboardEvent goes.
class Typist final : public KeyboardEvents {
public:
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override;
    void post(EventTap tap, const KeyboardEvent& event) override;
};

}  // namespace snaplark::platform::macos
