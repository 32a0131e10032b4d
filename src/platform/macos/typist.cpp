#include "platform/macos/typist.h"

#include <ApplicationServices/ApplicationServices.h>

namespace snaplark::platform::macos {
namespace {

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

}  // namespace

std::unique_ptr<KeyboardEvent> Typist::createKeyboardEvent(VirtualKeyCode key, bool keyDown)
{
    if (keyDown && beforeTyping_) beforeTyping_();
    CGEventRef event = CGEventCreateKeyboardEvent(nullptr, key, keyDown);
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
