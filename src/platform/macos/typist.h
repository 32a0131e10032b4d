#pragma once

#include <functional>
#include <map>
#include <memory>

#include "platform/keyboard.h"

namespace snaplark::platform::macos {

// Types key events through Core Graphics, at the HID level, into the application with keyboard
// focus. Copy's key code 8 and paste's 9 (the ANSI C and V positions) become the keys that type c
// and v in the current layout, as menus match those characters; each event is released when its
// KeyboardEvent goes.
class Typist final : public KeyboardEvents {
public:
    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override;
    void post(EventTap tap, const KeyboardEvent& event) override;
    // Runs as each chord starts, before its key-down is made.
    void setBeforeTyping(std::function<void()> hook) { beforeTyping_ = std::move(hook); }

private:
    std::function<void()> beforeTyping_;
    // The key each key-down went to, so that its key-up goes there too if the layout changes.
    std::map<VirtualKeyCode, VirtualKeyCode> pressed_;
};

}  // namespace snaplark::platform::macos
