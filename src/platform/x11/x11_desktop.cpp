#include "platform/x11/x11_desktop.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/record.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <atomic>
#include <bitset>
#include <cstring>
#include <iostream>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "platform/x11/modifier_map.h"
#include "platform/x11/terminal_rule.h"

namespace snaplark::platform::x11 {
namespace {

constexpr unsigned primaryButton = 1;
constexpr int maxWindowDepth = 32;

using KeySet = std::bitset<256>;

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct ConnectionCloser {
    void operator()(xcb_connection_t* connection) const { xcb_disconnect(connection); }
};
using ConnectionPtr = std::unique_ptr<xcb_connection_t, ConnectionCloser>;

int connectionLost(Display* display);

class Token final : public MonitorToken {};

class X11KeyEvent final : public KeyboardEvent {
public:
    X11KeyEvent(VirtualKeyCode key, bool down) : key(key), down(down) {}
    void setFlags(ModifierFlags flags) override { this->flags = flags; }
    const VirtualKeyCode key;
    const bool down;
    ModifierFlags flags = 0;
};

// Keycodes of this display's keyboard map that the chords need.
struct Keycodes {
    KeyCode c = 0;  // the key in the ANSI C position
    KeyCode v = 0;  // and in the V position
    KeyCode insert = 0;
    std::vector<KeyCode> controls;  // every key on the Control modifier, in the map's order
    std::vector<KeyCode> shifts;    // and on Shift
    KeyCode alt = 0;
    KeyCode super = 0;
    KeySet holdable;  // keys on Shift, Control and Mod1-5 that are not locks
};

// What a key-down changed, so that its key-up can undo exactly that.
struct PendingChord {
    KeyCode key = 0;
    std::vector<KeyCode> pressed;   // modifiers this chord pressed, in order
    std::vector<KeyCode> released;  // modifiers the user held that this chord let go
    bool capsLockWasLocked = false;
};

class Desktop final : public X11Desktop, EventMonitors, KeyboardEvents {
public:
    Desktop(DisplayPtr control, ConnectionPtr data)
        : control_(std::move(control)), data_(std::move(data))
    {
        int major = 0, minor = 0, event = 0, error = 0, opcode = 0;
        hasXTest_ = XTestQueryExtension(control_.get(), &event, &error, &major, &minor) != 0;
        // Asked by name first: Xlib complains on standard error about a missing extension.
        hasRecord_ = XQueryExtension(control_.get(), "RECORD", &opcode, &event, &error) != 0 &&
                     XRecordQueryVersion(control_.get(), &major, &minor) != 0;
        if (XQueryExtension(control_.get(), "XInputExtension", &xinputOpcode_, &event, &error)) {
            int xiMajor = 2, xiMinor = 2;
            hasXInput_ = XIQueryVersion(control_.get(), &xiMajor, &xiMinor) == Success;
        }
        hasXkb_ = XkbQueryExtension(control_.get(), &opcode, &event, &error, &major, &minor) != 0;
        readMaps();
        wakeUp_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (hasRecord_) startRecording();
    }

    ~Desktop() override
    {
        if (reader_.joinable()) {
            // Disabled from the other connection; the server then ends the recorded stream.
            stopping_ = true;
            XRecordDisableContext(control_.get(), context_);
            XSync(control_.get(), False);
            reader_.join();
        }
        if (wakeUp_ >= 0) ::close(wakeUp_);
    }

    bool claimSingleInstance() override
    {
        Display* d = control_.get();
        const Atom atom = XInternAtom(d, "_SNAPLARK_AGENT", False);
        // Under the server grab no second agent can look between our look and our claim.
        XGrabServer(d);
        const bool free = XGetSelectionOwner(d, atom) == None;
        if (free) {
            instanceWindow_ = XCreateSimpleWindow(d, DefaultRootWindow(d), -1, -1, 1, 1, 0, 0, 0);
            XSetSelectionOwner(d, atom, instanceWindow_, CurrentTime);
        }
        XUngrabServer(d);
        XSync(d, False);
        return free;
    }

    std::vector<std::string> missingExtensions() const override
    {
        std::vector<std::string> missing;
        if (!hasRecord_) {
            missing.emplace_back("the X server has no RECORD extension, so mouse gestures cannot "
                                 "be observed; the tray menu still works");
        }
        if (!hasXTest_) {
            missing.emplace_back("the X server has no XTEST extension, so copy and paste cannot be "
                                 "typed; gestures are still recognized");
        }
        if (!hasXInput_) {
            missing.emplace_back("the X server has no XInputExtension 2.2, so a modifier let go "
                                 "during a paste's keystrokes may be given back by mistake");
        }
        return missing;
    }

    EventMonitors& eventMonitors() override { return *this; }
    KeyboardEvents& keyboard() override { return *this; }
    int fileDescriptor() const override { return wakeUp_; }

    void dispatch() override
    {
        std::uint64_t count = 0;
        [[maybe_unused]] const auto n = ::read(wakeUp_, &count, sizeof count);
        std::vector<xEvent> events;
        {
            std::lock_guard lock(queueMutex_);
            events.swap(queue_);
        }
        if (remapped_.exchange(false)) readMaps();
        for (const xEvent& event : events)
            onButton(event);
        if (readerLost_) connectionLost(nullptr);
    }

    void setOwnWindows(OwnWindows ownWindows) override { ownWindows_ = std::move(ownWindows); }

    std::shared_ptr<MonitorToken>
    addGlobalMonitorForEventsMatchingMask(std::uint64_t mask,
                                          std::function<void(const Event&)> handler) override
    {
        if (!recording_) return nullptr;
        monitors_.emplace_back(mask, std::move(handler));
        return std::make_shared<Token>();
    }

    std::unique_ptr<KeyboardEvent> createKeyboardEvent(VirtualKeyCode key, bool keyDown) override
    {
        if (!hasXTest_) return nullptr;
        return std::make_unique<X11KeyEvent>(key, keyDown);
    }

    void post(EventTap /*tap*/, const KeyboardEvent& event) override
    {
        const auto& e = dynamic_cast<const X11KeyEvent&>(event);
        if (e.down) {
            beginChord(e);
        } else {
            endChord(e);
        }
        XFlush(control_.get());
    }

private:
    void readMaps()
    {
        Display* d = control_.get();
        unsigned char map[256];
        const int buttons = XGetPointerMapping(d, map, sizeof map);
        pointerMap_.assign(map, map + std::max(buttons, 0));

        ModifierKeysyms keysyms;
        Keycodes codes;
        if (XModifierKeymap* modmap = XGetModifierMapping(d)) {
            for (int index = 0; index < 8; ++index) {
                for (int i = 0; i < modmap->max_keypermod; ++i) {
                    const KeyCode kc = modmap->modifiermap[index * modmap->max_keypermod + i];
                    if (kc == 0) continue;
                    const KeySym sym = XkbKeycodeToKeysym(d, kc, 0, 0);
                    keysyms[index].push_back(sym);
                    if (index == ControlMapIndex) codes.controls.push_back(kc);
                    if (index == ShiftMapIndex) codes.shifts.push_back(kc);
                    const bool lock = sym == XK_Caps_Lock || sym == XK_Shift_Lock ||
                                      sym == XK_Num_Lock || sym == XK_Scroll_Lock;
                    if (index != LockMapIndex && !lock) codes.holdable.set(kc);
                }
            }
            XFreeModifiermap(modmap);
        }
        modifiers_ = ModifierTable(keysyms);

        codes.c = keycodeByName("AB03", XK_c);
        codes.v = keycodeByName("AB04", XK_v);
        codes.insert = XKeysymToKeycode(d, XK_Insert);
        codes.alt = XKeysymToKeycode(d, XK_Alt_L);
        codes.super = XKeysymToKeycode(d, XK_Super_L);
        keycodes_ = codes;
    }

    // The key at that position of the keyboard (as XKB names it), whatever the layout; the key of
    // the keysym when the server has no XKB names.
    KeyCode keycodeByName(const char* name, KeySym fallback)
    {
        Display* d = control_.get();
        KeyCode found = 0;
        if (hasXkb_) {
            if (XkbDescPtr desc = XkbGetMap(d, 0, XkbUseCoreKbd)) {
                if (XkbGetNames(d, XkbKeyNamesMask, desc) == Success && desc->names &&
                    desc->names->keys) {
                    for (int kc = desc->min_key_code; kc <= desc->max_key_code && found == 0;
                         ++kc) {
                        if (std::strncmp(desc->names->keys[kc].name, name, XkbKeyNameLength) == 0) {
                            found = static_cast<KeyCode>(kc);
                        }
                    }
                }
                XkbFreeKeyboard(desc, 0, True);
            }
        }
        return found != 0 ? found : XKeysymToKeycode(d, fallback);
    }

    // A thread of its own reads the recorded stream as fast as the server sends it: a reader that
    // falls behind makes the server skip events for its context. The events are handled on the
    // thread that calls dispatch(), woken through an eventfd. The context belongs to the reading
    // connection.
    void startRecording()
    {
        xcb_connection_t* c = data_.get();
        context_ = xcb_generate_id(c);
        xcb_record_range_t range{};
        range.device_events.first = ButtonPress;
        range.device_events.last = ButtonRelease;
        const xcb_record_client_spec_t clients = XCB_RECORD_CS_ALL_CLIENTS;
        xcb_generic_error_t* error = xcb_request_check(
            c, xcb_record_create_context_checked(c, context_, 0, 1, 1, &clients, &range));
        if (error != nullptr || wakeUp_ < 0) {
            std::free(error);
            return;
        }
        // Enabled here and confirmed by the first reply, so that a disable at shutdown can never
        // come before it and leave the reader waiting.
        const auto cookie = xcb_record_enable_context(c, context_);
        xcb_flush(c);
        std::free(xcb_record_enable_context_reply(c, cookie, nullptr));
        if (xcb_connection_has_error(c)) return;
        recording_ = true;
        reader_ = std::thread([this, cookie] { readRecorded(cookie); });
    }

    void readRecorded(xcb_record_enable_context_cookie_t cookie)
    {
        xcb_connection_t* c = data_.get();
        while (auto* reply = xcb_record_enable_context_reply(c, cookie, nullptr)) {
            const std::unique_ptr<xcb_record_enable_context_reply_t, decltype(&std::free)> owned(
                reply, &std::free);
            if (reply->category == XRecordEndOfData) break;
            if (reply->category == XRecordFromServer) {
                const std::uint8_t* data = xcb_record_enable_context_data(reply);
                const int length = xcb_record_enable_context_data_length(reply);
                std::lock_guard lock(queueMutex_);
                for (int at = 0; at + static_cast<int>(sizeof(xEvent)) <= length;
                     at += sizeof(xEvent)) {
                    xEvent event;
                    std::memcpy(&event, data + at, sizeof event);
                    queue_.push_back(event);
                }
            }
            // Events reach this connection too (MappingNotify); they are read so none pile up.
            while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
                if ((event->response_type & 0x7f) == MappingNotify) remapped_ = true;
                std::free(event);
            }
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(wakeUp_, &one, sizeof one);
        }
        if (!stopping_) {
            readerLost_ = true;
            const std::uint64_t one = 1;
            [[maybe_unused]] const auto n = ::write(wakeUp_, &one, sizeof one);
        }
    }

    void onButton(const xEvent& event)
    {
        const int type = event.u.u.type & 0x7f;
        if (type != ButtonPress && type != ButtonRelease) return;
        // RECORD reports the physical button; the user's pointer map says which one is primary.
        const unsigned physical = event.u.u.detail;
        const unsigned logical =
            physical >= 1 && physical <= pointerMap_.size() ? pointerMap_[physical - 1] : physical;
        if (logical != primaryButton) return;
        const int x = event.u.keyButtonPointer.rootX;
        const int y = event.u.keyButtonPointer.rootY;
        if (inOwnWindow(x, y)) return;

        const Event observed{modifiers_.translate(event.u.keyButtonPointer.state)};
        const std::uint64_t mask = type == ButtonPress ? leftMouseDownMask : leftMouseUpMask;
        for (const auto& [monitorMask, handler] : monitors_) {
            if ((monitorMask & mask) != 0) handler(observed);
        }
    }

    bool inOwnWindow(int x, int y)
    {
        if (ownWindows_.popupOpen && ownWindows_.popupOpen()) return true;
        if (!ownWindows_.isOwnWindow) return false;
        Display* d = control_.get();
        const Window root = DefaultRootWindow(d);
        Window window = root;
        for (int depth = 0; depth < maxWindowDepth; ++depth) {
            int wx = 0, wy = 0;
            Window child = None;
            if (!XTranslateCoordinates(d, root, window, x, y, &wx, &wy, &child) || child == None) {
                return false;
            }
            if (ownWindows_.isOwnWindow(child)) return true;
            window = child;
        }
        return false;
    }

    // The WM_CLASS of the window with keyboard focus, or of its nearest ancestor that has one.
    TerminalKind focusedTerminalKind()
    {
        Display* d = control_.get();
        Window window = None;
        int revert = 0;
        XGetInputFocus(d, &window, &revert);
        for (int depth = 0; depth < maxWindowDepth && window != None && window != PointerRoot;
             ++depth) {
            XClassHint hint{};
            if (XGetClassHint(d, window, &hint) != 0) {
                const TerminalKind kind = terminalKindOf(hint.res_name ? hint.res_name : "",
                                                         hint.res_class ? hint.res_class : "");
                if (hint.res_name) XFree(hint.res_name);
                if (hint.res_class) XFree(hint.res_class);
                return kind;
            }
            Window root = None, parent = None;
            Window* children = nullptr;
            unsigned count = 0;
            if (!XQueryTree(d, window, &root, &parent, &children, &count)) break;
            if (children) XFree(children);
            if (parent == root) break;
            window = parent;
        }
        return TerminalKind::none;
    }

    KeySet keysDown()
    {
        char keys[32] = {};
        XQueryKeymap(control_.get(), keys);
        KeySet set;
        for (int i = 0; i < 256; ++i) {
            if ((keys[i / 8] >> (i % 8)) & 1) set.set(i);
        }
        return set;
    }

    // Key presses and releases from every keyboard, raw: the server reports them even when it
    // drops them (a release of a key that is not down), so a user's let-go shows even after this
    // chord has let go of the same key. Watched only while a chord runs.
    void watchRawKeys(bool watch)
    {
        if (!hasXInput_) return;
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        if (watch) {
            XISetMask(bits, XI_RawKeyPress);
            XISetMask(bits, XI_RawKeyRelease);
        }
        XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
        XISelectEvents(control_.get(), DefaultRootWindow(control_.get()), &mask, 1);
    }

    struct RawKey {
        KeyCode key;
        bool press;
    };
    // The raw key events that reached the control connection up to now, in server order.
    std::vector<RawKey> takeRawKeys()
    {
        Display* d = control_.get();
        XSync(d, False);
        std::vector<RawKey> keys;
        while (XPending(d) > 0) {
            XEvent event;
            XNextEvent(d, &event);
            XGenericEventCookie& cookie = event.xcookie;
            if (cookie.type != GenericEvent || cookie.extension != xinputOpcode_) continue;
            if (!XGetEventData(d, &cookie)) continue;
            const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
            const bool current = cookie.serial >= rawKeysSince_;
            if (current && (raw->evtype == XI_RawKeyPress || raw->evtype == XI_RawKeyRelease)) {
                keys.push_back({static_cast<KeyCode>(raw->detail), raw->evtype == XI_RawKeyPress});
            }
            XFreeEventData(d, &cookie);
        }
        return keys;
    }

    KeyCode keycodeOf(ChordKey key) const
    {
        switch (key) {
        case ChordKey::c: return keycodes_.c;
        case ChordKey::v: return keycodes_.v;
        case ChordKey::insert: return keycodes_.insert;
        }
        return 0;
    }

    void fake(KeyCode key, bool press)
    {
        if (key != 0) XTestFakeKeyEvent(control_.get(), key, press ? True : False, CurrentTime);
    }

    // The focused client must see exactly the chord's modifiers: let go of the others the user
    // holds, keep a held Control rather than press a second one, and take Caps Lock off.
    void beginChord(const X11KeyEvent& event)
    {
        pending_.reset();
        const Chord chord = chordFor(focusedTerminalKind(), event.key, event.flags);
        if (chord.skip) return;
        PendingChord pending;
        pending.key = keycodeOf(chord.key);
        if (pending.key == 0) return;

        // Raw key events are watched from before the look at the keyboard, so that no let-go after
        // it goes unseen; those the server sent before it answered the look do not count.
        watchRawKeys(true);
        rawKeysSince_ = NextRequest(control_.get());
        const KeySet down = keysDown();
        // The chord presses a Control (and Shift) key of its own that the user is not holding, so
        // that letting go of theirs mid-chord cannot take the modifier off the key.
        const auto contains = [](const std::vector<KeyCode>& keys, int k) {
            return std::find(keys.begin(), keys.end(), k) != keys.end();
        };
        const auto freeKey = [&down](const std::vector<KeyCode>& keys) -> KeyCode {
            for (KeyCode k : keys) {
                if (!down.test(k)) return k;
            }
            return 0;
        };
        for (int k = 0; k < 256; ++k) {
            if (!down.test(k) || !keycodes_.holdable.test(k)) continue;
            if (chord.control && contains(keycodes_.controls, k)) continue;
            if (chord.shift && contains(keycodes_.shifts, k)) continue;
            pending.released.push_back(static_cast<KeyCode>(k));
        }
        if (pending.released.empty()) {
            // Nothing to give back: stop watching, and drop what came in with the look so that
            // the connection never piles up events.
            watchRawKeys(false);
            Display* d = control_.get();
            while (XEventsQueued(d, QueuedAlready) > 0) {
                XEvent unused;
                XNextEvent(d, &unused);
            }
        }

        if (hasXkb_) {
            XkbStateRec state{};
            if (XkbGetState(control_.get(), XkbUseCoreKbd, &state) == Success &&
                (state.locked_mods & LockMask) != 0) {
                pending.capsLockWasLocked = true;
                XkbLockModifiers(control_.get(), XkbUseCoreKbd, LockMask, 0);
            }
        }
        for (KeyCode k : pending.released)
            fake(k, false);
        auto press = [&](bool wanted, KeyCode k) {
            if (wanted && k != 0) {
                fake(k, true);
                pending.pressed.push_back(k);
            }
        };
        press(chord.control, freeKey(keycodes_.controls));
        press(chord.shift, freeKey(keycodes_.shifts));
        press(chord.alt, keycodes_.alt);
        press(chord.super, keycodes_.super);
        fake(pending.key, true);
        pending_ = std::move(pending);
    }

    // Lets go of what the chord pressed, then gives back only the modifiers the user still holds.
    void endChord(const X11KeyEvent& event)
    {
        if (!pending_) {
            // The key-down could not be made; make sure its key is not left down either way.
            const Chord chord = chordFor(TerminalKind::none, event.key, 0);
            if (!chord.skip) fake(keycodeOf(chord.key), false);
            return;
        }
        PendingChord pending = std::move(*pending_);
        pending_.reset();
        fake(pending.key, false);
        for (auto k = pending.pressed.rbegin(); k != pending.pressed.rend(); ++k)
            fake(*k, false);
        if (pending.capsLockWasLocked) {
            XkbLockModifiers(control_.get(), XkbUseCoreKbd, LockMask, LockMask);
        }
        if (pending.released.empty()) return;

        // Give back only what the user still holds: a key with a release besides this chord's own
        // was let go meanwhile (a new press of it is the user's and needs no help).
        std::vector<RawKey> seen = takeRawKeys();
        std::vector<KeyCode> restored;
        for (KeyCode k : pending.released) {
            const auto releases = std::count_if(
                seen.begin(), seen.end(), [k](const RawKey& e) { return e.key == k && !e.press; });
            if (releases <= 1 || !hasXInput_) {
                fake(k, true);
                restored.push_back(k);
            }
        }
        // A release that reached the server before the give-back found the key up and was dropped;
        // the key would now be stuck, so let go of it again.
        seen = takeRawKeys();
        watchRawKeys(false);
        for (KeyCode k : restored) {
            for (const RawKey& e : seen) {
                if (e.key != k) continue;
                if (!e.press) fake(k, false);
                break;
            }
        }
        XFlush(control_.get());
    }

    DisplayPtr control_;
    ConnectionPtr data_;
    bool hasXTest_ = false;
    bool hasRecord_ = false;
    bool hasXInput_ = false;
    int xinputOpcode_ = 0;
    unsigned long rawKeysSince_ = 0;  // serial of the chord's look at the keyboard
    bool hasXkb_ = false;
    bool recording_ = false;
    int wakeUp_ = -1;
    std::thread reader_;
    std::mutex queueMutex_;
    std::vector<xEvent> queue_;  // recorded, not yet handled
    std::atomic<bool> remapped_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> readerLost_{false};
    XRecordContext context_ = 0;
    Window instanceWindow_ = None;
    std::vector<unsigned char> pointerMap_;
    ModifierTable modifiers_{ModifierKeysyms{}};
    Keycodes keycodes_;
    std::optional<PendingChord> pending_;
    OwnWindows ownWindows_;
    std::vector<std::pair<std::uint64_t, std::function<void(const Event&)>>> monitors_;
};

int ignoreError(Display* /*display*/, XErrorEvent* /*error*/)
{
    return 0;
}

int connectionLost(Display* /*display*/)
{
    static constexpr char message[] = "snaplark: lost the connection to the X display; exiting\n";
    [[maybe_unused]] const auto written = ::write(STDERR_FILENO, message, sizeof message - 1);
    _exit(1);
}

}  // namespace

std::unique_ptr<X11Desktop> X11Desktop::open(const std::string& displayName, std::string& error)
{
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    DisplayPtr control(XOpenDisplay(name));
    ConnectionPtr data(control ? xcb_connect(name, nullptr) : nullptr);
    if (data && xcb_connection_has_error(data.get())) data.reset();
    if (!control || !data) {
        const char* shown = XDisplayName(name);
        error = std::string("cannot open the X display \"") + (shown && *shown ? shown : "") +
                "\"; Snaplark needs an X session (set DISPLAY or pass -display NAME)";
        return nullptr;
    }
    return std::make_unique<Desktop>(std::move(control), std::move(data));
}

void X11Desktop::installErrorHandlers()
{
    XSetErrorHandler(ignoreError);
    XSetIOErrorHandler(connectionLost);
}

}  // namespace snaplark::platform::x11
