#pragma once

#include <functional>
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
    // Runs as each chord starts, before its key-down is made.
    void setBeforeTyping(std::function<void()> hook) { beforeTyping_ = std::move(hook); }

private:
    std::function<void()> beforeTyping_;
};

}  // namespace snaplark::platform::macos
