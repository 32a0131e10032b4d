#include "platform/macos/activation_policy.h"

#include <objc/message.h>
#include <objc/runtime.h>

namespace snaplark::platform::macos {
namespace {

// NSApplicationActivationPolicy is an NSInteger.
using NSInteger = long;

// objc_msgSend has no type of its own: it is called as the exact function each message is.
id sharedApplication()
{
    Class application = objc_getClass("NSApplication");
    if (application == nullptr) return nullptr;
    using Send = id (*)(Class, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(application, sel_registerName("sharedApplication"));
}

}  // namespace

void setApplicationActivationPolicy(ActivationPolicy policy)
{
    id application = sharedApplication();
    if (application == nullptr) return;
    // The returned flag is ignored, so the call is typed without it.
    using Send = void (*)(id, SEL, NSInteger);
    reinterpret_cast<Send>(objc_msgSend)(application, sel_registerName("setActivationPolicy:"),
                                         static_cast<NSInteger>(policy));
}

}  // namespace snaplark::platform::macos
