#include "fake_sdk.h"

#include <objc/runtime.h>

#include <deque>
#include <set>

snaplark::fake_sdk::World snaplark::fake_sdk::world;
using snaplark::fake_sdk::world;

// Every opaque type of the SDK is this one object, cast to the SDK's pointer type at the border.
struct FakeObject {
    CFTypeID type = 0;  // a property list value's: one of the IDs below
    std::string text{};
    bool boolean = false;
    std::int64_t number = 0;
    CGKeyCode key = 0;  // a key event's
    bool down = false;
    CGEventFlags flags = 0;  // a key or mouse event's
    std::int64_t target = 0;
    CGPoint at{};  // a mouse event's
    std::int64_t clickState = 1;
    CGEventTapCallBack callback = nullptr;  // a tap's
    void* userInfo = nullptr;
    bool enabled = true;
    FakeObject* port = nullptr;  // a run-loop source's tap
    bool onMainRunLoop = false;  // a tap's, through its source
};
enum : CFTypeID { booleanType = 1, numberType, stringType, runningApplicationType };
struct UCKeyboardLayout {};

namespace {

std::deque<FakeObject> objects;
std::deque<FakeObject> constants;  // never released

template <typename Sdk = FakeObject*> Sdk cast(const void* object)
{
    return reinterpret_cast<Sdk>(const_cast<void*>(object));
}

template <typename Sdk> Sdk make(FakeObject object = {})
{
    objects.push_back(std::move(object));
    world.live.insert(&objects.back());
    return cast<Sdk>(&objects.back());
}

template <typename Sdk> Sdk constant(FakeObject object = {})
{
    constants.push_back(std::move(object));
    return cast<Sdk>(&constants.back());
}

const std::string& text(CFStringRef string)
{
    return cast(string)->text;
}

}  // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFBooleanRef kCFBooleanTrue = constant<CFBooleanRef>({booleanType, "", true});
const CFBooleanRef kCFBooleanFalse = constant<CFBooleanRef>({booleanType, "", false});
const CFStringRef kCFPreferencesCurrentUser = constant<CFStringRef>({stringType, "user"});
const CFStringRef kCFPreferencesAnyHost = constant<CFStringRef>({stringType, "any host"});
const CFRunLoopMode kCFRunLoopCommonModes = constant<CFStringRef>({stringType, "common"});
const CFStringRef kTISPropertyUnicodeKeyLayoutData = constant<CFStringRef>({stringType, "uchr"});

void CFRelease(CFTypeRef cf)
{
    world.live.erase(cf);
}

CFTypeID CFGetTypeID(CFTypeRef cf)
{
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
    return cast(boolean)->boolean;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType type, void* value)
{
    if (type != kCFNumberSInt64Type) return false;
    *static_cast<SInt64*>(value) = cast(number)->number;
    return true;
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex numBytes,
                                    CFStringEncoding encoding, Boolean)
{
    if (encoding != kCFStringEncodingUTF8) return nullptr;
    return make<CFStringRef>(
        {stringType, std::string(reinterpret_cast<const char*>(bytes), numBytes)});
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size, CFStringEncoding)
{
    if (static_cast<CFIndex>(text(string).size()) >= size) return false;
    text(string).copy(buffer, text(string).size());
    buffer[text(string).size()] = '\0';
    return true;
}

// The fake's strings are UTF-8 already: a byte stands for a UTF-16 unit, at most three bytes each.
CFIndex CFStringGetLength(CFStringRef string)
{
    return static_cast<CFIndex>(text(string).size());
}

CFIndex CFStringGetMaximumSizeForEncoding(CFIndex length, CFStringEncoding)
{
    return length * 3;
}

// Only the current user's domains on any host are kept. A value is copied for the caller.
CFPropertyListRef CFPreferencesCopyValue(CFStringRef key, CFStringRef domain, CFStringRef user,
                                         CFStringRef host)
{
    if (user != kCFPreferencesCurrentUser || host != kCFPreferencesAnyHost) return nullptr;
    const auto& values = world.preferences[text(domain)];
    const auto found = values.find(text(key));
    if (found == values.end()) return nullptr;
    if (const bool* value = std::get_if<bool>(&found->second))
        return *value ? kCFBooleanTrue : kCFBooleanFalse;
    if (const auto* value = std::get_if<std::int64_t>(&found->second)) {
        FakeObject number{numberType};
        number.number = *value;
        return make<CFNumberRef>(number);
    }
    return make<CFStringRef>({stringType, std::get<std::string>(found->second)});
}

void CFPreferencesSetValue(CFStringRef key, CFPropertyListRef value, CFStringRef domain,
                           CFStringRef user, CFStringRef host)
{
    if (world.preferencesRefused || user != kCFPreferencesCurrentUser ||
        host != kCFPreferencesAnyHost)
        return;
    auto& stored = world.preferences[text(domain)][text(key)];
    if (CFGetTypeID(value) == booleanType)
        stored = cast(value)->boolean;
    else
        stored = cast(value)->text;
}

Boolean CFPreferencesSynchronize(CFStringRef, CFStringRef, CFStringRef)
{
    return !world.preferencesRefused;
}

const UInt8* CFDataGetBytePtr(CFDataRef)
{
    return reinterpret_cast<const UInt8*>(&*world.layout);
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef, CFMachPortRef port, CFIndex)
{
    FakeObject source;
    source.port = cast(port);
    return make<CFRunLoopSourceRef>(source);
}

void CFMachPortInvalidate(CFMachPortRef port)
{
    cast(port)->callback = nullptr;
}

CFRunLoopRef CFRunLoopGetMain(void)
{
    static const auto main = constant<CFRunLoopRef>();
    return main;
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    cast(source)->port->onMainRunLoop = rl == CFRunLoopGetMain() && mode == kCFRunLoopCommonModes;
}

void CFRunLoopRemoveSource(CFRunLoopRef, CFRunLoopSourceRef source, CFRunLoopMode)
{
    cast(source)->port->onMainRunLoop = false;
}

// Only a listen-only tap of the left button at the annotated session level is modelled; any other
// is refused, like one the system does not permit.
CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo)
{
    const CGEventMask left =
        CGEventMaskBit(kCGEventLeftMouseDown) | CGEventMaskBit(kCGEventLeftMouseUp);
    if (world.tapRefused || tap != kCGAnnotatedSessionEventTap ||
        options != kCGEventTapOptionListenOnly || eventsOfInterest != left)
        return nullptr;
    FakeObject port;
    port.callback = callback;
    port.userInfo = userInfo;
    return make<CFMachPortRef>(port);
}

void CGEventTapEnable(CFMachPortRef tap, bool enable)
{
    cast(tap)->enabled = enable;
}

CGEventFlags CGEventGetFlags(CGEventRef event)
{
    return cast(event)->flags;
}

CGPoint CGEventGetLocation(CGEventRef event)
{
    return cast(event)->at;
}

int64_t CGEventGetIntegerValueField(CGEventRef event, CGEventField field)
{
    switch (field) {
    case kCGMouseEventClickState: return cast(event)->clickState;
    case kCGEventTargetUnixProcessID: return cast(event)->target;
    }
    return 0;
}

CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef, CGKeyCode virtualKey, bool keyDown)
{
    FakeObject event;
    event.key = virtualKey;
    event.down = keyDown;
    return make<CGEventRef>(event);
}

void CGEventSetFlags(CGEventRef event, CGEventFlags flags)
{
    cast(event)->flags = flags;
}

void CGEventPost(CGEventTapLocation tap, CGEventRef event)
{
    if (tap == kCGHIDEventTap)
        world.typed.push_back({cast(event)->key, cast(event)->down, cast(event)->flags});
}

bool CGPreflightPostEventAccess(void)
{
    return world.typingAllowed;
}

bool CGRequestPostEventAccess(void)
{
    return world.typingAllowed;
}

TISInputSourceRef TISCopyCurrentKeyboardLayoutInputSource(void)
{
    return make<TISInputSourceRef>();
}

void* TISGetInputSourceProperty(TISInputSourceRef, CFStringRef propertyKey)
{
    static const auto data = constant<void*>();
    return propertyKey == kTISPropertyUnicodeKeyLayoutData && world.layout ? data : nullptr;
}

UInt8 LMGetKbdType(void)
{
    return 40;  // an ANSI keyboard's
}

OSStatus UCKeyTranslate(const UCKeyboardLayout* keyLayoutPtr, UInt16 virtualKeyCode, UInt16,
                        UInt32 modifierKeyState, UInt32, OptionBits, UInt32*, UniCharCount,
                        UniCharCount* actualStringLength, UniChar unicodeString[])
{
    const auto& layout = *reinterpret_cast<const snaplark::fake_sdk::Layout*>(keyLayoutPtr);
    const auto& keys = modifierKeyState == ((cmdKey >> 8) & 0xFF) ? layout.withCommand
                       : modifierKeyState == 0                    ? layout.plain
                                                                  : decltype(layout.plain){};
    const auto found = keys.find(virtualKeyCode);
    *actualStringLength = found != keys.end() ? 1 : 0;
    if (found != keys.end()) unicodeString[0] = found->second;
    return noErr;
}

namespace {

// The Objective-C side: a selector is its interned name; of the classes, NSWorkspace,
// SMAppService and NSApplication are modelled, as far as the agent uses them.
std::set<std::string> selectors;
const auto workspaceClass = constant<Class>();
const auto sharedWorkspace = constant<id>();
const auto serviceClass = constant<Class>();
const auto mainAppService = constant<id>();
const auto applicationClass = constant<Class>();
const auto sharedApplication = constant<id>();
// Objects a message returns without giving them to the caller (autoreleased): never released.
std::deque<FakeObject> unowned;

id unownedString(const std::optional<std::string>& value)
{
    if (!value) return nullptr;
    unowned.push_back({stringType, *value});
    return cast<id>(&unowned.back());
}

}  // namespace

Class objc_getClass(const char* name)
{
    const std::string_view named = name;
    if (named == "NSWorkspace") return workspaceClass;
    if (named == "SMAppService") return serviceClass;
    return named == "NSApplication" ? applicationClass : nullptr;
}

SEL sel_registerName(const char* name)
{
    return cast<SEL>(selectors.insert(name).first->c_str());
}

// objc_msgSend, as fake_objc_send.cpp defines it. Messages to anything not modelled answer nil.
extern "C" void* receiveMessage(void* receiver, void* selector, long argument)
{
    const std::string_view message = static_cast<const char*>(selector);
    const auto answer = [](long value) { return reinterpret_cast<void*>(value); };
    if (receiver == workspaceClass && message == "sharedWorkspace") return sharedWorkspace;
    if (receiver == serviceClass && message == "mainAppService") return mainAppService;
    if (receiver == serviceClass && message == "openSystemSettingsLoginItems")
        ++world.loginSettingsOpened;
    if (receiver == mainAppService) {
        if (message == "status") return answer(world.loginStatus);
        if (message == "registerAndReturnError:" && world.loginRegisters) {
            world.loginStatus = world.statusOnceRegistered;
            return answer(1);
        }
        if (message == "unregisterAndReturnError:") {
            world.loginStatus = 0;
            return answer(1);
        }
    }
    if (receiver == applicationClass && message == "sharedApplication") return sharedApplication;
    if (receiver == sharedApplication && message == "setActivationPolicy:")
        world.activationPolicy = argument;
    if (receiver == sharedWorkspace && message == "frontmostApplication") {
        if (!world.front) return nullptr;
        unowned.push_back({runningApplicationType});
        return &unowned.back();
    }
    const FakeObject* object = cast(receiver);
    if (object != nullptr && object->type == runningApplicationType && world.front) {
        if (message == "processIdentifier")
            return reinterpret_cast<void*>(static_cast<std::intptr_t>(world.front->process));
        if (message == "bundleIdentifier") return unownedString(world.front->bundleIdentifier);
        if (message == "localizedName") return unownedString(world.front->localizedName);
    }
    if (object != nullptr && object->type == stringType && message == "UTF8String")
        return const_cast<char*>(object->text.c_str());
    return nullptr;
}

void snaplark::fake_sdk::click(CGEventType type, CGEventFlags flags, std::int64_t target,
                               CGPoint at, std::int64_t clickState)
{
    FakeObject event;
    event.flags = flags;
    event.target = target;
    event.at = at;
    event.clickState = clickState;
    for (const void* object : std::set(world.live)) {
        FakeObject* tap = cast(object);
        if (tap->callback != nullptr && tap->enabled && tap->onMainRunLoop && !world.tapSilent)
            tap->callback(nullptr, type, cast<CGEventRef>(&event), tap->userInfo);
    }
}

void snaplark::fake_sdk::switchTapsOff(CGEventType why)
{
    for (const void* object : std::set(world.live)) {
        FakeObject* tap = cast(object);
        if (tap->callback == nullptr) continue;
        tap->enabled = false;
        tap->callback(nullptr, why, nullptr, tap->userInfo);
    }
}
