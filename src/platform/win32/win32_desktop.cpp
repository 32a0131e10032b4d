#include "platform/win32/win32_desktop.h"

#include <algorithm>

#include "platform/win32/focus.h"
#include "platform/win32/integrity.h"

namespace snaplark::platform::win32 {
namespace {

class Token final : public MonitorToken {};

class Win32KeyEvent final : public KeyboardEvent {
public:
    Win32KeyEvent(VirtualKeyCode key, bool down) : key(key), down(down) {}
    void setFlags(ModifierFlags flags) override { this->flags = flags; }
    const VirtualKeyCode key;
    const bool down;
    ModifierFlags flags = 0;
};

// Keys that sit in the extended block of the keyboard: without the flag Windows would type their
// twins (the left Control for the right one, the numeric pad's 0 for Insert).
bool isExtended(VirtualKey key)
{
    switch (key) {
    case VK_RCONTROL:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_INSERT: return true;
    default: return false;
    }
}

}  // namespace

Win32Desktop::Win32Desktop(HWND window, std::function<void(HWND)> unreachable)
    : observer_(window, {clickMessage, keyMessage, unseenMessage}), typist_(*this),
      unreachable_(std::move(unreachable))
{
}

bool Win32Desktop::startObserving()
{
    if (!observing_) observing_ = observer_.start();
    return observing_;
}

void Win32Desktop::onKey(WPARAM wParam, LPARAM lParam)
{
    const Observer::Key key = Observer::decodeKey(wParam, lParam);
    if (typist_.keyObserved(key.key, key.up, key.ours)) typist_.settle();
}

// A hook was lost, or input went where the hooks do not see: chords typed before may never come
// round, and an elevated window in front would explain it.
void Win32Desktop::onUnseen()
{
    typist_.forgetWatches();
    checkReach();
}

void Win32Desktop::checkReach()
{
    const HWND window = foreground().window;
    if (runsAboveUs(window) && unreachable_) unreachable_(window);
}

void Win32Desktop::onClick()
{
    const auto click = observer_.takeClick();
    if (!click) return;
    lastClickFlags_ = click->flags;
    Event event{click->flags};

    // Drags and double clicks as Windows counts them, with the settings of the moment.
    // GetSystemMetrics: SM_CXDRAG and SM_CYDRAG are "the number of pixels on either side of a
    // mouse-down point that the mouse pointer can move before a drag operation begins"; a move of
    // the larger of the two or more, along either axis, is a drag here (both are 4 unless the
    // user changed them). SM_CXDOUBLECLK and SM_CYDOUBLECLK are the width and height of "the
    // rectangle around the location of a first click" that the second must fall in: a press
    // continues a series within half the larger of them either way, so the distance passed, the
    // first one out, is one more. GetDoubleClickTime: the interval, in milliseconds.
    clickTracker_.setSettings(
        {std::max(GetSystemMetrics(SM_CXDRAG), GetSystemMetrics(SM_CYDRAG)),
         static_cast<std::int64_t>(GetDoubleClickTime()),
         std::max(GetSystemMetrics(SM_CXDOUBLECLK), GetSystemMetrics(SM_CYDOUBLECLK)) / 2 + 1});
    // Message times wrap after 49.7 days; the difference of two is right across the wrap.
    if (lastClickTime_) clickClock_ += static_cast<DWORD>(click->time - *lastClickTime_);
    lastClickTime_ = click->time;
    const ClickTracker::Point at{click->point.x, click->point.y};
    if (click->press) {
        clickTracker_.press(at, clickClock_);
        lastForeground_.clicked(click->window);
        pressApplication_ = names_.of(click->window);
        event.application = *pressApplication_;
    } else {
        const ClickTracker::Release release = clickTracker_.release(at, clickClock_);
        event.dragged = release.dragged;
        event.clickCount = release.clickCount;
        event.application = pressApplication_ ? *pressApplication_ : names_.of(click->window);
        pressApplication_.reset();
    }

    const std::uint64_t mask = click->press ? leftMouseDownMask : leftMouseUpMask;
    for (const auto& [monitorMask, handler] : monitors_) {
        if ((monitorMask & mask) != 0) handler(event);
    }
}

std::shared_ptr<MonitorToken>
Win32Desktop::addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                                    std::function<void(const Event&)> handler)
{
    if (!startObserving()) return nullptr;
    monitors_.emplace_back(mask, std::move(handler));
    return std::make_shared<Token>();
}

std::unique_ptr<KeyboardEvent> Win32Desktop::createKeyboardEvent(VirtualKeyCode key, bool keyDown)
{
    return std::make_unique<Win32KeyEvent>(key, keyDown);
}

void Win32Desktop::post(EventTap /*tap*/, const KeyboardEvent& event)
{
    const auto& e = dynamic_cast<const Win32KeyEvent&>(event);
    if (e.down) {
        // A chord follows the click that asked for it, in the same turn of the loop.
        observer_.setChordInFlight(lastClickFlags_);
        checkReach();
        typist_.keyDown(e.key, e.flags);
    } else {
        typist_.keyUp(e.key);
        observer_.setChordInFlight(std::nullopt);
        // A chord of the icon's own comes with no click.
        lastClickFlags_ = 0;
    }
}

bool Win32Desktop::isDown(VirtualKey key) const
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

TerminalKind Win32Desktop::foregroundKind() const
{
    return foreground().kind;
}

VirtualKey Win32Desktop::keyTyping(char character) const
{
    return win32::keyTyping(character, foreground().layout);
}

std::size_t Win32Desktop::type(const std::vector<KeyStroke>& strokes)
{
    std::vector<INPUT> inputs;
    inputs.reserve(strokes.size());
    // MapVirtualKeyEx: the scan code in the foreground window's layout, the same layout the key
    // code was chosen in; the agent's own thread may have another one.
    const HKL layout = foreground().layout;
    for (const KeyStroke& stroke : strokes) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = stroke.key;
        // Programs that read scan codes (games, remote desktops, consoles) see the key too.
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyExW(stroke.key, MAPVK_VK_TO_VSC, layout));
        input.ki.dwFlags = (stroke.up ? KEYEVENTF_KEYUP : 0) |
                           (isExtended(stroke.key) ? KEYEVENTF_EXTENDEDKEY : 0);
        input.ki.dwExtraInfo = typedByUs;
        inputs.push_back(input);
    }
    // SendInput: the events "are not interspersed with other keyboard or mouse input events
    // inserted either by the user ... or by calls to keybd_event, mouse_event, or other calls to
    // SendInput"; it returns how many went in. (Wine delivers them one by one.)
    if (inputs.empty()) return 0;
    return SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

}  // namespace snaplark::platform::win32
