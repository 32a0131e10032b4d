#include "platform/macos/login_item.h"

// The strict declaration of objc_msgSend, without a prototype: each call is cast to its exact type.
#define OBJC_OLD_DISPATCH_PROTOTYPES 0
#include <objc/message.h>
#include <objc/runtime.h>

#include <iostream>

namespace snaplark::platform::macos {
namespace {

using NSInteger = long;
using BOOL = signed char;

// SMAppServiceStatus: notRegistered 0, enabled 1, requiresApproval 2, notFound 3.
// requiresApproval: registered, but the user must allow it in System Settings before it runs,
// also after revoking it there (SMAppService.Status reference).
constexpr NSInteger statusEnabled = 1, statusRequiresApproval = 2;

Class serviceClass()
{
    return objc_getClass("SMAppService");
}

// [SMAppService mainAppService]
id mainAppService()
{
    using Send = id (*)(Class, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(serviceClass(), sel_registerName("mainAppService"));
}

NSInteger status()
{
    using Send = NSInteger (*)(id, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(mainAppService(), sel_registerName("status"));
}

// registerAndReturnError: and unregisterAndReturnError: take an NSError** that may be NULL.
bool send(const char* selector)
{
    using Send = BOOL (*)(id, SEL, void*);
    return reinterpret_cast<Send>(objc_msgSend)(mainAppService(), sel_registerName(selector),
                                                nullptr) != 0;
}

}  // namespace

bool LoginItem::enabled() const
{
    return status() == statusEnabled;
}

bool LoginItem::awaitingApproval() const
{
    return status() == statusRequiresApproval;
}

bool LoginItem::setEnabled(bool enabled)
{
    if (!send(enabled ? "registerAndReturnError:" : "unregisterAndReturnError:")) {
        std::cerr << "snaplark: macOS did not " << (enabled ? "add" : "remove")
                  << " Snaplark as a login item\n";
        return false;
    }
    if (enabled && awaitingApproval()) {
        // +[SMAppService openSystemSettingsLoginItems] (macOS 13) opens the pane to allow it in.
        using Send = void (*)(Class, SEL);
        reinterpret_cast<Send>(objc_msgSend)(serviceClass(),
                                             sel_registerName("openSystemSettingsLoginItems"));
    }
    return true;
}

}  // namespace snaplark::platform::macos
