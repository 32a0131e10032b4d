#include "platform/x11/typist.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
// The XKB protocol header names a field `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

namespace snaplark::platform::x11 {
namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

template <typename Reply> ReplyPtr<Reply> owned(Reply* reply)
{
    return ReplyPtr<Reply>(reply, &std::free);
}

}  // namespace

Typist::Typist(Display* control, const KeyboardMap& map, bool hasXkb, int xinputOpcode)
    : d_(control), map_(map), hasXkb_(hasXkb), xinputOpcode_(xinputOpcode), kinds_(control)
{
    // Asked once here, so that no chord waits for xcb to look the extension up.
    if (hasXkb_) xcb_get_extension_data(XGetXCBConnection(d_), &xcb_xkb_id);
}

KeyCode Typist::keycodeOf(ChordKey key, int group) const
{
    switch (key) {
    case ChordKey::c: return map_.c[group];
    case ChordKey::v: return map_.v[group];
    case ChordKey::insert: return map_.insert;
    }
    return 0;
}

void Typist::fake(KeyCode key, bool press)
{
    if (key != 0) XTestFakeKeyEvent(d_, key, press ? True : False, CurrentTime);
}

// One round trip: the requests go out together and their replies are waited for in order.
Typist::Looks Typist::look()
{
    xcb_connection_t* c = XGetXCBConnection(d_);
    const auto focus = xcb_get_input_focus(c);
    const auto keymap = xcb_query_keymap(c);
    rawKeysSince_ = keymap.sequence;
    xcb_xkb_get_state_cookie_t state{};
    if (hasXkb_) state = xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD);

    Looks looks;
    if (const auto reply = owned(xcb_get_input_focus_reply(c, focus, nullptr))) {
        looks.focus = reply->focus;
    }
    if (const auto reply = owned(xcb_query_keymap_reply(c, keymap, nullptr))) {
        for (int i = 0; i < 256; ++i) {
            if ((reply->keys[i / 8] >> (i % 8)) & 1) looks.down.set(i);
        }
    }
    if (hasXkb_) {
        if (const auto reply = owned(xcb_xkb_get_state_reply(c, state, nullptr))) {
            looks.group = reply->group % keyboardGroups;
            looks.capsLockLocked = (reply->lockedMods & LockMask) != 0;
        }
    }
    // Whatever the server sent before these answers is read by now: a change to a watched window
    // before the focus was asked drops its terminal kind before it is used.
    handleQueued();
    return looks;
}

void Typist::handleQueued()
{
    while (XEventsQueued(d_, QueuedAlready) > 0) {
        XEvent event;
        XNextEvent(d_, &event);
        handle(event);
    }
}

ActiveApplication Typist::activeApplication()
{
    Window focus = None;
    int revert = 0;
    XGetInputFocus(d_, &focus, &revert);
    return kinds_.applicationOf(focus);
}

void Typist::takeEvents()
{
    while (XPending(d_) > 0) {
        XEvent event;
        XNextEvent(d_, &event);
        handle(event);
    }
}

void Typist::handle(XEvent& event)
{
    XGenericEventCookie& cookie = event.xcookie;
    if (cookie.type != GenericEvent || cookie.extension != xinputOpcode_) {
        kinds_.handle(event);
        return;
    }
    if (!watching_ || !XGetEventData(d_, &cookie)) return;
    const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
    // Those the server sent before it answered the chord's look at the keyboard do not count.
    const bool current =
        static_cast<int>(static_cast<unsigned>(cookie.serial) - rawKeysSince_) >= 0;
    if (current && (raw->evtype == XI_RawKeyPress || raw->evtype == XI_RawKeyRelease)) {
        rawKeys_.push_back({static_cast<KeyCode>(raw->detail), raw->evtype == XI_RawKeyPress});
    }
    XFreeEventData(d_, &cookie);
}

// Key presses and releases from every keyboard, raw: the server reports them even when it drops
// them (a release of a key that is not down), so a user's let-go shows even after this chord has
// let go of the same key. Watched only while a chord runs.
void Typist::watchRawKeys(bool watch)
{
    watching_ = watch && xinputOpcode_ != 0;
    rawKeys_.clear();
    if (xinputOpcode_ == 0) return;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (watch) {
        XISetMask(bits, XI_RawKeyPress);
        XISetMask(bits, XI_RawKeyRelease);
    }
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(d_, DefaultRootWindow(d_), &mask, 1);
}

// The raw key events that reached the connection up to now, in server order.
std::vector<Typist::RawKey> Typist::takeRawKeys()
{
    XSync(d_, False);
    handleQueued();
    return std::exchange(rawKeys_, {});
}

void Typist::keyDown(VirtualKeyCode key, ModifierFlags flags)
{
    pending_.reset();
    // Raw key events are watched from before the look at the keyboard, so that no let-go after it
    // goes unseen.
    watchRawKeys(true);
    const Looks looks = look();
    const Chord chord = chordFor(kinds_.of(looks.focus), key, flags);
    const KeySet& down = looks.down;

    PendingChord pending;
    pending.capsLockWasLocked = looks.capsLockLocked;
    lastGroup_ = looks.group;
    pending.key = chord.skip ? 0 : keycodeOf(chord.key, looks.group);
    if (pending.key == 0) {
        watchRawKeys(false);
        XFlush(d_);
        return;
    }

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
        if (!down.test(k) || !map_.holdable.test(k)) continue;
        if (chord.control && contains(map_.controls, k)) continue;
        if (chord.shift && contains(map_.shifts, k)) continue;
        pending.released.push_back(static_cast<KeyCode>(k));
    }
    // Nothing to give back: no let-go needs watching.
    if (pending.released.empty()) watchRawKeys(false);

    if (pending.capsLockWasLocked) XkbLockModifiers(d_, XkbUseCoreKbd, LockMask, 0);
    for (KeyCode k : pending.released)
        fake(k, false);
    auto press = [&](bool wanted, KeyCode k) {
        if (wanted && k != 0) {
            fake(k, true);
            pending.pressed.push_back(k);
        }
    };
    press(chord.control, freeKey(map_.controls));
    press(chord.shift, freeKey(map_.shifts));
    press(chord.alt, map_.alt);
    press(chord.super, map_.super);
    fake(pending.key, true);
    pending_ = std::move(pending);
    XFlush(d_);
}

void Typist::keyUp(VirtualKeyCode key)
{
    if (!pending_) {
        // The key-down could not be made; make sure its key is not left down either way.
        const Chord chord = chordFor(TerminalKind::none, key, 0);
        if (!chord.skip) fake(keycodeOf(chord.key, lastGroup_), false);
        endChord();
        return;
    }
    PendingChord pending = std::move(*pending_);
    pending_.reset();
    fake(pending.key, false);
    for (auto k = pending.pressed.rbegin(); k != pending.pressed.rend(); ++k)
        fake(*k, false);
    if (pending.capsLockWasLocked) XkbLockModifiers(d_, XkbUseCoreKbd, LockMask, LockMask);
    if (pending.released.empty()) {
        endChord();
        return;
    }

    // Give back only what the user still holds: a key with a release besides this chord's own was
    // let go meanwhile (a new press of it is the user's and needs no help).
    std::vector<RawKey> seen = takeRawKeys();
    if (beforeGiveBack_) beforeGiveBack_();
    std::vector<KeyCode> restored;
    for (KeyCode k : pending.released) {
        const auto releases = std::count_if(
            seen.begin(), seen.end(), [k](const RawKey& e) { return e.key == k && !e.press; });
        if (releases <= 1 || xinputOpcode_ == 0) {
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
    endChord();
}

// Marks the end of the chord's keystrokes in the server's order of requests, where the observer
// follows them.
void Typist::endChord()
{
    XNoOp(d_);
    XFlush(d_);
}

}  // namespace snaplark::platform::x11
