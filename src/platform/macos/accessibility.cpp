#include "platform/macos/accessibility.h"

#include <ApplicationServices/ApplicationServices.h>

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

}  // namespace snaplark::platform::macos
