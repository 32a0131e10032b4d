#include "fake_sdk.h"

#include <objc/runtime.h>

#include <map>
#include <memory>
#include <sstream>
#include <utility>

// The SDK's opaque types, given bodies here.
struct FakeObject {
    explicit FakeObject(std::string label) : label(std::move(label)) {}
    virtual ~FakeObject() = default;
    std::string label;
};
struct __CFString : FakeObject {
    using FakeObject::FakeObject;
};
struct __CFBoolean : FakeObject {
    using FakeObject::FakeObject;
};
struct __CFRunLoop : FakeObject {
    using FakeObject::FakeObject;
};
struct __CFDictionary : FakeObject {
    using FakeObject::FakeObject;
};
struct __CGEvent : FakeObject {
    using FakeObject::FakeObject;
    CGEventType type = kCGEventNull;
    CGEventFlags flags = 0;
    std::int64_t targetProcess = 0;
    std::int64_t sourceProcess = 0;
};
struct __CFMachPort : FakeObject {
    using FakeObject::FakeObject;
    CGEventMask mask = 0;
    CGEventTapCallBack callback = nullptr;
    void* userInfo = nullptr;
    bool enabled = true;
    bool valid = true;
    bool onMainRunLoop = false;
};
struct __CFRunLoopSource : FakeObject {
    using FakeObject::FakeObject;
    CFMachPortRef port = nullptr;
};
struct objc_class {
    std::string name;
};
struct objc_object {
    std::string name;
};
struct objc_selector {
    std::string name;
};

namespace {

__CFString commonModes{"kCFRunLoopCommonModes"};
__CFString promptKey{"kAXTrustedCheckOptionPrompt"};
__CFBoolean trueValue{"kCFBooleanTrue"};
__CFRunLoop mainRunLoop{"main"};
objc_class applicationClass{"NSApplication"};
objc_object application{"NSApp"};

struct World {
    snaplark::fake_sdk::Settings settings;
    std::vector<std::string> calls;
    std::map<const void*, std::unique_ptr<FakeObject>> owned;
    std::vector<__CFMachPort*> taps;
    std::map<std::string, int> counters;
    std::map<std::string, std::unique_ptr<objc_selector>, std::less<>> selectors;
};

World& world()
{
    static World w;
    return w;
}

template <typename T> T* make(const std::string& kind)
{
    auto object = std::make_unique<T>(kind + std::to_string(++world().counters[kind]));
    T* raw = object.get();
    world().owned.emplace(raw, std::move(object));
    return raw;
}

std::string label(const void* object)
{
    if (object == nullptr) return "NULL";
    if (auto found = world().owned.find(object); found != world().owned.end()) {
        return found->second->label;
    }
    for (const FakeObject* known : std::initializer_list<const FakeObject*>{
             &commonModes, &promptKey, &trueValue, &mainRunLoop}) {
        if (object == known) return known->label;
    }
    return "unknown";
}

const char* boolText(bool value)
{
    return value ? "true" : "false";
}

std::string hex(std::uint64_t value)
{
    std::ostringstream out;
    out << "0x" << std::hex << value;
    return out.str();
}

std::string locationName(CGEventTapLocation tap)
{
    switch (tap) {
    case kCGHIDEventTap: return "kCGHIDEventTap";
    case kCGSessionEventTap: return "kCGSessionEventTap";
    case kCGAnnotatedSessionEventTap: return "kCGAnnotatedSessionEventTap";
    }
    return std::to_string(static_cast<std::uint32_t>(tap));
}

void record(std::string line)
{
    world().calls.push_back(std::move(line));
}

}  // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFBooleanRef kCFBooleanTrue = &trueValue;
const CFRunLoopMode kCFRunLoopCommonModes = &commonModes;
CFStringRef kAXTrustedCheckOptionPrompt = &promptKey;
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks{};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks{};

void CFRelease(CFTypeRef cf)
{
    record("CFRelease(" + label(cf) + ")");
    std::erase_if(world().taps, [cf](const __CFMachPort* tap) { return tap == cf; });
    world().owned.erase(cf);
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
    std::string line = "CFDictionaryCreate(" + label(allocator) + ", {";
    for (CFIndex i = 0; i < numValues; ++i) {
        line += (i ? ", " : "") + label(keys[i]) + ": " + label(values[i]);
    }
    line += "}";
    if (keyCallBacks != &kCFTypeDictionaryKeyCallBacks ||
        valueCallBacks != &kCFTypeDictionaryValueCallBacks) {
        line += ", other callbacks";
    }
    auto* dictionary = make<__CFDictionary>("dictionary");
    record(line + ") = " + dictionary->label);
    return dictionary;
}

CFRunLoopSourceRef CFMachPortCreateRunLoopSource(CFAllocatorRef allocator, CFMachPortRef port,
                                                 CFIndex order)
{
    auto* source = make<__CFRunLoopSource>("source");
    source->port = port;
    record("CFMachPortCreateRunLoopSource(" + label(allocator) + ", " + label(port) + ", " +
           std::to_string(order) + ") = " + source->label);
    return source;
}

void CFMachPortInvalidate(CFMachPortRef port)
{
    record("CFMachPortInvalidate(" + label(port) + ")");
    port->valid = false;
}

CFRunLoopRef CFRunLoopGetMain(void)
{
    return &mainRunLoop;
}

void CFRunLoopAddSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    record("CFRunLoopAddSource(" + label(rl) + ", " + label(source) + ", " + label(mode) + ")");
    if (rl == &mainRunLoop && mode == kCFRunLoopCommonModes) source->port->onMainRunLoop = true;
}

void CFRunLoopRemoveSource(CFRunLoopRef rl, CFRunLoopSourceRef source, CFRunLoopMode mode)
{
    record("CFRunLoopRemoveSource(" + label(rl) + ", " + label(source) + ", " + label(mode) + ")");
    if (rl == &mainRunLoop) source->port->onMainRunLoop = false;
}

CFMachPortRef CGEventTapCreate(CGEventTapLocation tap, CGEventTapPlacement place,
                               CGEventTapOptions options, CGEventMask eventsOfInterest,
                               CGEventTapCallBack callback, void* userInfo)
{
    std::string line =
        "CGEventTapCreate(" + locationName(tap) + ", " +
        (place == kCGHeadInsertEventTap ? "kCGHeadInsertEventTap" : "kCGTailAppendEventTap") +
        ", " +
        (options == kCGEventTapOptionListenOnly ? "kCGEventTapOptionListenOnly"
                                                : "kCGEventTapOptionDefault") +
        ", " + hex(eventsOfInterest) + ")";
    if (world().settings.tapRefused) {
        record(line + " = NULL");
        return nullptr;
    }
    auto* port = make<__CFMachPort>("tap");
    port->mask = eventsOfInterest;
    port->callback = callback;
    port->userInfo = userInfo;
    world().taps.push_back(port);
    record(line + " = " + port->label);
    return port;
}

void CGEventTapEnable(CFMachPortRef tap, bool enable)
{
    record("CGEventTapEnable(" + label(tap) + ", " + boolText(enable) + ")");
    tap->enabled = enable;
}

CGEventFlags CGEventGetFlags(CGEventRef event)
{
    return event->flags;
}

int64_t CGEventGetIntegerValueField(CGEventRef event, CGEventField field)
{
    switch (field) {
    case kCGEventTargetUnixProcessID: return event->targetProcess;
    case kCGEventSourceUnixProcessID: return event->sourceProcess;
    default: return 0;
    }
}

CGEventRef CGEventCreateKeyboardEvent(CGEventSourceRef source, CGKeyCode virtualKey, bool keyDown)
{
    const std::string line = "CGEventCreateKeyboardEvent(" + label(source) + ", " +
                             std::to_string(virtualKey) + ", " + boolText(keyDown) + ")";
    const snaplark::fake_sdk::Settings& s = world().settings;
    if (keyDown ? s.keyDownCannotBeMade : s.keyUpCannotBeMade) {
        record(line + " = NULL");
        return nullptr;
    }
    auto* event = make<__CGEvent>("event");
    event->type = keyDown ? kCGEventKeyDown : kCGEventKeyUp;
    record(line + " = " + event->label);
    return event;
}

void CGEventSetFlags(CGEventRef event, CGEventFlags flags)
{
    record("CGEventSetFlags(" + label(event) + ", " + hex(flags) + ")");
    if (event != nullptr) event->flags = flags;
}

void CGEventPost(CGEventTapLocation tap, CGEventRef event)
{
    record("CGEventPost(" + locationName(tap) + ", " + label(event) + ")");
}

Boolean AXIsProcessTrusted(void)
{
    record(std::string("AXIsProcessTrusted() = ") + boolText(world().settings.trusted));
    return world().settings.trusted;
}

Boolean AXIsProcessTrustedWithOptions(CFDictionaryRef options)
{
    record("AXIsProcessTrustedWithOptions(" + label(options) +
           ") = " + boolText(world().settings.trusted));
    return world().settings.trusted;
}

Class objc_getClass(const char* name)
{
    if (std::string(name) == applicationClass.name && world().settings.applicationExists) {
        return &applicationClass;
    }
    return nullptr;
}

SEL sel_registerName(const char* str)
{
    auto& selectors = world().selectors;
    auto found = selectors.find(str);
    if (found == selectors.end()) {
        found = selectors.emplace(str, std::make_unique<objc_selector>(objc_selector{str})).first;
    }
    return found->second.get();
}

namespace snaplark::fake_sdk {

void reset()
{
    World& w = world();
    w.settings = {};
    w.calls.clear();
    w.owned.clear();
    w.taps.clear();
    w.counters.clear();
}

Settings& settings()
{
    return world().settings;
}

const std::vector<std::string>& calls()
{
    return world().calls;
}

std::vector<std::string> liveObjects()
{
    std::vector<std::string> live;
    for (const auto& [pointer, object] : world().owned)
        live.push_back(object->label);
    return live;
}

void sendMouseEvent(CGEventType type, CGEventFlags flags, std::int64_t targetProcess,
                    std::int64_t sourceProcess)
{
    __CGEvent event{"mouse event"};
    event.type = type;
    event.flags = flags;
    event.targetProcess = targetProcess;
    event.sourceProcess = sourceProcess;
    for (__CFMachPort* tap : world().taps) {
        if (!tap->valid || !tap->enabled || !tap->onMainRunLoop) continue;
        if ((tap->mask & CGEventMaskBit(type)) == 0) continue;
        tap->callback(nullptr, type, &event, tap->userInfo);
    }
}

void disableTaps(CGEventType reason)
{
    __CGEvent event{"tap disabled"};
    for (__CFMachPort* tap : world().taps) {
        if (!tap->valid) continue;
        tap->enabled = false;
        tap->callback(nullptr, reason, &event, tap->userInfo);
    }
}

void* receiveMessage(void* receiver, void* selector, long argument)
{
    const std::string name = static_cast<objc_selector*>(selector)->name;
    if (receiver == &applicationClass && name == "sharedApplication") {
        record("[NSApplication sharedApplication] = NSApp");
        return &application;
    }
    if (receiver == &application && name == "setActivationPolicy:") {
        record("[NSApp setActivationPolicy:" + std::to_string(argument) + "]");
        return nullptr;
    }
    record("unexpected message " + name);
    return nullptr;
}

}  // namespace snaplark::fake_sdk
