#include "platform/macos/activation_policy.h"

// The strict declaration of objc_msgSend, without a prototype: each call is cast to its exact type.
#define OBJC_OLD_DISPATCH_PROTOTYPES 0
#include <objc/message.h>
#include <objc/runtime.h>

namespace snaplark::platform::macos {
namespace {

// NSApplicationActivationPolicy is an NSInteger.
using NSInteger = long;

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
