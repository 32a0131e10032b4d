#include "platform/macos/focus.h"

// The strict declaration of objc_msgSend, without a prototype: each call is cast to its exact type.
#define OBJC_OLD_DISPATCH_PROTOTYPES 0
#include <objc/message.h>
#include <objc/runtime.h>
#include <sys/types.h>

#include <string>

namespace snaplark::platform::macos {
namespace {

template <typename Result, typename Receiver> Result send(Receiver receiver, const char* selector)
{
    using Send = Result (*)(Receiver, SEL);
    return reinterpret_cast<Send>(objc_msgSend)(receiver, sel_registerName(selector));
}

// NSString's UTF8String lives no longer than the string, so it is copied at once. The objects
// these getters return are not ours to release; AppKit drains the main thread's autorelease pool
// at the end of each turn of the event loop (NSAutoreleasePool reference).
std::string text(id string)
{
    if (string == nullptr) return {};
    const char* utf8 = send<const char*>(string, "UTF8String");
    return utf8 != nullptr ? utf8 : "";
}

}  // namespace

ActiveApplication FrontApplication::current()
{
    Class workspace = objc_getClass("NSWorkspace");
    if (workspace == nullptr) return {};
    // An optional: nil is possible, while no application is in front.
    id front = send<id>(send<id>(workspace, "sharedWorkspace"), "frontmostApplication");
    if (front == nullptr) return {};
    // Our own process id cannot be another's while we run, so it tells Snaplark apart.
    if (send<pid_t>(front, "processIdentifier") == ownProcess_) return lastOther_;
    // bundleIdentifier is nil for an application without an Info.plist; localizedName is the
    // name shown to the user, and may be nil too.
    ActiveApplication application{text(send<id>(front, "bundleIdentifier")),
                                  text(send<id>(front, "localizedName"))};
    if (application.id.empty()) return {};
    if (application.name.empty()) application.name = application.id;
    lastOther_ = application;
    return application;
}

}  // namespace snaplark::platform::macos
