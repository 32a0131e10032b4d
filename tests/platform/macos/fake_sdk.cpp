#include "fake_sdk.h"

#include <objc/runtime.h>

#include <deque>
#include <sstream>
#include <type_traits>

snaplark::fake_sdk::World snaplark::fake_sdk::world;
using snaplark::fake_sdk::world;

// Every opaque type of the SDK is this one object, cast to the SDK's pointer type at the border.
struct FakeObject {
    std::string label;
    CGEventFlags flags = 0;
    std::int64_t target = 0;
    std::int64_t source = 0;
    CGEventTapCallBack callback = nullptr;  // a tap's
    void* userInfo = nullptr;
    CFTypeID type = 0;  // a property list value's: one of the IDs below
};
enum : CFTypeID { booleanType = 1, numberType, stringType };
struct CFDictionaryKeyCallBacks {};
struct CFDictionaryValueCallBacks {};

namespace {

std::deque<FakeObject> objects;
std::map<std::string, FakeObject> named;  // constants, classes and selectors: never released

template <typename Sdk = FakeObject*> Sdk cast(const void* object)
{
    return reinterpret_cast<Sdk>(const_cast<void*>(object));
}

template <typename Sdk> Sdk make(const std::string& kind)
{
    objects.push_back({kind + std::to_string(++world.made[kind])});
    world.live.insert(&objects.back());
    return cast<Sdk>(&objects.back());
}

template <typename Sdk> Sdk constant(const std::string& name)
{
    return cast<Sdk>(&named.try_emplace(name, FakeObject{name}).first->second);
}

// Pointers by their labels, flag words and masks in hex, everything else as C++ prints it.
template <typename T> std::string text(T value)
{
    std::ostringstream out;
    if constexpr (std::is_pointer_v<T>)
        out << (value ? cast(value)->label : "NULL");
    else if constexpr (std::is_same_v<T, std::uint64_t>)
        out << "0x" << std::hex << value;
    else
        out << std::boolalpha << value;
    return out.str();
}

// Writes down "function(arguments...)"; the caller may add " = result".
template <typename... Args> std::string& record(const char* function, Args... arguments)
{
    std::string line;
    ((line += (line.empty() ? "" : ", ") + text(arguments)), ...);
    return world.calls += (world.calls.empty() ? "" : "; ") + (function + ("(" + line + ")"));
}

template <typename Result, typename... Args>
Result answer(Result result, const char* function, Args... arguments)
{
    record(function, arguments...) += " = " + text(result);
    return result;
}

}  // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFBooleanRef kCFBooleanTrue = constant<CFBooleanRef>("kCFBooleanTrue");
const CFBooleanRef kCFBooleanFalse = constant<CFBooleanRef>("kCFBooleanFalse");
const CFStringRef kCFPreferencesCurrentUser = constant<CFStringRef>("kCFPreferencesCurrentUser");
const CFStringRef kCFPreferencesAnyHost = constant<CFStringRef>("kCFPreferencesAnyHost");
const CFRunLoopMode kCFRunLoopCommonModes = constant<CFStringRef>("kCFRunLoopCommonModes");
CFStringRef kAXTrustedCheckOptionPrompt = constant<CFStringRef>("kAXTrustedCheckOptionPrompt");
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{};

void CFRelease(CFTypeRef cf)
{
    record("CFRelease", cf);
    world.live.erase(cf);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
    if (cf == kCFBooleanTrue || cf == kCFBooleanFalse) return booleanType;
    return cast(cf)->type;
}
CFTypeID CFBooleanGetTypeID(void)
{
    return booleanType;
}
CFTypeID CFNumberGetTypeID(void)
{
    return numberType;
}
CFTypeID CFStringGetTypeID(void)
{
    return stringType;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    return boolean == kCFBooleanTrue;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value)
{
    if (type != kCFNumberSInt64Type) return false;
    *static_cast<SInt64*>(value) = static_cast<SInt64>(cast(number)->flags);
    return true;
}

// A string is labelled with its text, so that the trail reads as the calls were written.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean)
{
    if (encoding != kCFStringEncodingUTF8) return nullptr;
    auto string = make<CFStringRef>("string");
    cast(string)->label.assign(reinterpret_cast<const char*>(bytes), numBytes);
    cast(string)->type = stringType;
    return string;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size, CFStringEncoding)
{
    const std::string& text = cast(string)->label;
    if (static_cast<CFIndex>(text.size()) >= size) return false;
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    return true;
}

// Only the current user's domains on any host are kept; another domain answers nothing.
CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef domain, CFStringRef user,
                                         CFStringRef host)
{
    CFPropertyListRef result = nullptr;
    const auto& values = world.preferences[cast(domain)->label];
    if (auto found = values.find(cast(key)->label); found != values.end() &&
                                                    user == kCFPreferencesCurrentUser &&
                                                    host == kCFPreferencesAnyHost) {
        result = found->second ? kCFBooleanTrue : kCFBooleanFalse;
    }
    return answer(result, "CFPreferencesCopyValue", key, domain, user, host);
}

void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef domain,
                           CFStringRef user, CFStringRef host)
{
    record("CFPreferencesSetValue", key, value, domain, user, host);
    if (!world.preferencesRefused && user == kCFPreferencesCurrentUser &&
        host == kCFPreferencesAnyHost)
        world.preferences[cast(domain)->label][cast(key)->label] = value == kCFBooleanTrue;
}

Boolean CFPreferencesSynchronize(CFStringRef domain, CFStringRef user, CFStringRef host)
{
    return answer(!world.preferencesRefused, "CFPreferencesSynchronize", domain, user, host);
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex count, const CFDictionaryKeyCallBacks*,
                                   const CFDictionaryValueCallBacks*)
{
    return answer(make<CFDictionaryRef>("dictionary"), "CFDictionaryCreate", allocator, count,
                  keys[0], values[0]);
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, CFMachPortRef port,
                                                 CFIndex order)
{
    return answer(make<CFRunLoopSourceRef>("source"), "CFMachPortCreateRunLoopSource", allocator,
                  port, order);
}

void CFMachPortInvalidate(CFMachPortRef port)
{
    record("CFMachPortInvalidate", port);
}

CFRunLoopRef CFRunLoopGetMain(void)
{
    return constant<CFRunLoopRef>("main");
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    record("CFRunLoopAddSource", rl, source, mode);
}

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    record("CFRunLoopRemoveSource", rl, source, mode);
}

CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo)
{
    auto port = world.tapRefused ? nullptr : make<CFMachPortRef>("tap");
    if (port != nullptr) *cast(port) = {cast(port)->label, 0, 0, 0, callback, userInfo};
    return answer(port, "CGEventTapCreate", tap, place, options, eventsOfInterest);
}

void CGEventTapEnable(CFMachPortRef tap, bool enable)
{
    record("CGEventTapEnable", tap, enable);
}

CGEventFlags CGEventGetFlags(CGEventRef event)
{
    return cast(event)->flags;
}

int64_t CGEventGetIntegerValueField(CGEventRef event, CGEventField field)
{
    return field == kCGEventTargetUnixProcessID ? cast(event)->target : cast(event)->source;
}

CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef source, CGKeyCode virtualKey, bool keyDown)
{
    return answer(world.keyEventsRefused ? nullptr : make<CGEventRef>("event"),
                  "CGEventCreateKeyboardEvent", source, virtualKey, keyDown);
}

void CGEventSetFlags(CGEventRef event, CGEventFlags flags)
{
    record("CGEventSetFlags", event, flags);
}

void CGEventPost(CGEventTapLocation tap, CGEventRef event)
{
    record("CGEventPost", tap, event);
}

Boolean AXIsProcessTrusted(void)
{
    return answer(world.trusted, "AXIsProcessTrusted");
}

Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef options)
{
    return answer(world.trusted, "AXIsProcessTrustedWithOptions", options);
}

bool CGPreflightListenEventAccess(void)
{
    return answer(world.listening, "CGPreflightListenEventAccess");
}

Class objc_getClass(const char* name)
{
    return world.missingClasses.contains(name) ? nullptr : constant<Class>(name);
}

SEL sel_registerName(const char* str)
{
    return constant<SEL>(str);
}

void snaplark::fake_sdk::send(CGEventType type, CGEventFlags flags, std::int64_t target,
                              std::int64_t source)
{
    FakeObject event{"event", flags, target, source};
    for (const void* object : std::set(world.live)) {
        if (FakeObject* tap = cast(object); tap->callback != nullptr)
            tap->callback(nullptr, type, cast<CGEventRef>(&event), tap->userInfo);
    }
}

void snaplark::fake_sdk::note(const char* what, CGEventFlags flags)
{
    record(what, flags);
}

// objc_msgSend, as fake_objc_send.cpp defines it: "[receiver selector:argument]".
extern "C" void* receiveMessage(void* receiver, void* selector, long argument)
{
    std::string message = text(receiver) + " " + text(selector);
    if (message.ends_with(':')) message += std::to_string(argument);
    world.calls += (world.calls.empty() ? "[" : "; [") + message + "]";
    if (message.ends_with("mainAppService")) return constant<void*>("mainApp");
    if (message.ends_with(" status")) return reinterpret_cast<void*>(world.loginItemStatus);
    if (message.ends_with("AndReturnError:0")) {
        if (world.loginItemRefused) return nullptr;
        // Awaiting the user's approval stays so until the user acts in System Settings.
        if (message.find(" unregister") != std::string::npos)
            world.loginItemStatus = 0;
        else if (world.loginItemStatus == 0)
            world.loginItemStatus = 1;
        return reinterpret_cast<void*>(1);
    }
    return nullptr;
}
