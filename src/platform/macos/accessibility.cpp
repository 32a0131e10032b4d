#include "platform/macos/accessibility.h"

#include <ApplicationServices/ApplicationServices.h>

#include <utility>

namespace snaplark::platform::macos {

bool askForAccessibility()
{
    if (AXIsProcessTrusted()) return true;
    const void* keys[] = {kAXTrustedCheckOptionPrompt};
    const void* values[] = {kCFBooleanTrue};
    CFDictionaryRef options =
        CFDictionaryCreate(kCFAllocatorDefault, keys, values, 1, &kCFTypeDictionaryKeyCallBacks,
                           &kCFTypeDictionaryValueCallBacks);
    const bool trusted = AXIsProcessTrustedWithOptions(options);
    if (options != nullptr) CFRelease(options);
    return trusted;
}

Permissions currentPermissions()
{
    // AXIsProcessTrusted answers without prompting (AXIsProcessTrustedWithOptions is the one that
    // may prompt). CGPreflightListenEventAccess (macOS 10.15) checks, without a request, whether
    // the process may listen to events: the Input Monitoring list.
    return {AXIsProcessTrusted() != 0, CGPreflightListenEventAccess()};
}

std::optional<PermissionNotice::Notice> PermissionNotice::update(Permissions now)
{
    if (now.typing == told_.typing && now.listening == told_.listening) return std::nullopt;
    told_ = now;
    if (now.typing && now.listening) return Notice{};
    const char* what = !now.listening ? (now.typing ? "see your clicks" : "see your clicks or type")
                                      : "type Copy and Paste";
    const char* panes =
        !now.listening ? (now.typing ? "Input Monitoring" : "Accessibility and Input Monitoring")
                       : "Accessibility";
    Notice notice{std::string("Snaplark cannot ") + what +
                      ": allow it under System Settings, Privacy & Security, " + panes,
                  !std::exchange(helpShown_, true)};
    return notice;
}

}  // namespace snaplark::platform::macos
