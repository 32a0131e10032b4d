// The mouse of a user on a real Mac (the GitHub macOS runner), for the workflow's end-to-end job:
// posts left-button drags and clicks with the modifier flags a held Command (and Shift) gives,
// and selects a keyboard layout. The workflow checks the pasteboard and the document after each.
// Usage: snaplark_runner_driver drag X1 Y1 X2 Y2 | command-click X Y | paste-click X Y | layout ID
// Built on the runner only: clang++ -std=c++20 -framework ApplicationServices -framework Carbon
#include <ApplicationServices/ApplicationServices.h>
#include <Carbon/Carbon.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The window server takes posted events in order; a short pause lets each be routed, as a hand
// would, before the next. Every press and release is a single click.
void post(CGEventType type, CGPoint at, CGEventFlags flags)
{
    CGEventRef event = CGEventCreateMouseEvent(nullptr, type, at, kCGMouseButtonLeft);
    CGEventSetFlags(event, flags);
    CGEventSetIntegerValueField(event, kCGMouseEventClickState, 1);
    CGEventPost(kCGHIDEventTap, event);
    CFRelease(event);
    usleep(30000);
}

// Enables and selects the input source with that identifier (com.apple.keylayout.Dvorak);
// false when this system has none or will not switch.
bool selectLayout(const char* id)
{
    CFStringRef wanted = CFStringCreateWithCString(nullptr, id, kCFStringEncodingUTF8);
    const void* keys[] = {kTISPropertyInputSourceID};
    const void* values[] = {wanted};
    CFDictionaryRef filter = CFDictionaryCreate(
        nullptr, keys, values, 1, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFArrayRef sources = TISCreateInputSourceList(filter, true);
    bool selected = false;
    if (sources != nullptr && CFArrayGetCount(sources) > 0) {
        auto source = (TISInputSourceRef)CFArrayGetValueAtIndex(sources, 0);
        TISEnableInputSource(source);
        TISSelectInputSource(source);
        TISInputSourceRef current = TISCopyCurrentKeyboardLayoutInputSource();
        selected = CFEqual(TISGetInputSourceProperty(current, kTISPropertyInputSourceID), wanted);
        CFRelease(current);
    }
    if (sources != nullptr) CFRelease(sources);
    CFRelease(filter);
    CFRelease(wanted);
    return selected;
}

}  // namespace

int main(int argc, char** argv)
{
    const auto number = [argv](int i) { return std::strtod(argv[i], nullptr); };
    if (argc == 6 && std::strcmp(argv[1], "drag") == 0) {
        const CGPoint from{number(2), number(3)}, to{number(4), number(5)};
        post(kCGEventMouseMoved, from, 0);
        post(kCGEventLeftMouseDown, from, kCGEventFlagMaskCommand);
        for (int step = 1; step <= 10; ++step) {
            const double f = step / 10.0;
            post(kCGEventLeftMouseDragged,
                 {from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f},
                 kCGEventFlagMaskCommand);
        }
        post(kCGEventLeftMouseUp, to, kCGEventFlagMaskCommand);
        return 0;
    }
    if (argc == 4 &&
        (std::strcmp(argv[1], "command-click") == 0 || std::strcmp(argv[1], "paste-click") == 0)) {
        const CGPoint at{number(2), number(3)};
        const CGEventFlags flags = std::strcmp(argv[1], "command-click") == 0
                                       ? kCGEventFlagMaskCommand
                                       : kCGEventFlagMaskCommand | kCGEventFlagMaskShift;
        post(kCGEventMouseMoved, at, 0);
        post(kCGEventLeftMouseDown, at, flags);
        post(kCGEventLeftMouseUp, at, flags);
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "layout") == 0) return selectLayout(argv[2]) ? 0 : 2;
    std::fprintf(stderr, "usage: snaplark_runner_driver drag X1 Y1 X2 Y2 | command-click X Y | "
                         "paste-click X Y | layout ID\n");
    return 64;
}
