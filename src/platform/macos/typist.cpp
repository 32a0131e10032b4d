#include "platform/macos/typist.h"

#include <ApplicationServices/ApplicationServices.h>

#include "platform/macos/keyboard_map.h"

namespace snaplark::platform::macos {
namespace {

constexpr VirtualKeyCode copyKey = 8, pasteKey = 9;

class KeyEvent final : public KeyboardEvent {
public:
    explicit KeyEvent(CGEventRef event) : event_(event) {}
    ~KeyEvent() override { CFRelease(event_); }
    KeyEvent(const KeyEvent&) = delete;
    KeyEvent& operator=(const KeyEvent&) = delete;

    // The gesture engine's flag word has Core Graphics' bit layout.
    void setFlags(ModifierFlags flags) override { CGEventSetFlags(event_, flags); }
    CGEventRef event() const { return event_; }

private:
    CGEventRef event_;
};

CGEventTapLocation location(EventTap tap)
{
    switch (tap) {
    case EventTap::hid: return kCGHIDEventTap;
    }
    return kCGHIDEventTap;
}

VirtualKeyCode layoutKey(VirtualKeyCode key)
{
    if (key == copyKey) return keyTyping(u'c', key);
    if (key == pasteKey) return keyTyping(u'v', key);
    return key;
}

}  // namespace

std::unique_ptr<KeyboardEvent> Typist::createKeyboardEvent(VirtualKeyCode key, bool keyDown)
{
    if (keyDown && beforeTyping_) beforeTyping_();
    if (keyDown) pressed_[key] = layoutKey(key);
    const auto pressed = pressed_.find(key);
    const VirtualKeyCode typed = pressed != pressed_.end() ? pressed->second : key;
    CGEventRef event = CGEventCreateKeyboardEvent(nullptr, typed, keyDown);
    if (event == nullptr) return nullptr;
    return std::make_unique<KeyEvent>(event);
}

void Typist::post(EventTap tap, const KeyboardEvent& event)
{
    const auto* ours = dynamic_cast<const KeyEvent*>(&event);
    if (ours == nullptr) return;
    CGEventPost(location(tap), ours->event());
}

}  // namespace snaplark::platform::macos
