#include "platform/x11/typist.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <algorithm>

#include "platform/x11/focus.h"

namespace snaplark::platform::x11 {

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

KeySet Typist::keysDown()
{
    char keys[32] = {};
    XQueryKeymap(d_, keys);
    KeySet set;
    for (int i = 0; i < 256; ++i) {
        if ((keys[i / 8] >> (i % 8)) & 1) set.set(i);
    }
    return set;
}

// Key presses and releases from every keyboard, raw: the server reports them even when it drops
// them (a release of a key that is not down), so a user's let-go shows even after this chord has
// let go of the same key. Watched only while a chord runs.
void Typist::watchRawKeys(bool watch)
{
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
    std::vector<RawKey> keys;
    while (XPending(d_) > 0) {
        XEvent event;
        XNextEvent(d_, &event);
        XGenericEventCookie& cookie = event.xcookie;
        if (cookie.type != GenericEvent || cookie.extension != xinputOpcode_) continue;
        if (!XGetEventData(d_, &cookie)) continue;
        const auto* raw = static_cast<const XIRawEvent*>(cookie.data);
        const bool current = cookie.serial >= rawKeysSince_;
        if (current && (raw->evtype == XI_RawKeyPress || raw->evtype == XI_RawKeyRelease)) {
            keys.push_back({static_cast<KeyCode>(raw->detail), raw->evtype == XI_RawKeyPress});
        }
        XFreeEventData(d_, &cookie);
    }
    return keys;
}

void Typist::keyDown(VirtualKeyCode key, ModifierFlags flags)
{
    pending_.reset();
    const Chord chord = chordFor(focusedTerminalKind(d_), key, flags);
    if (chord.skip) return;

    // Raw key events are watched from before the look at the keyboard, so that no let-go after it
    // goes unseen; those the server sent before it answered the look do not count.
    watchRawKeys(true);
    rawKeysSince_ = NextRequest(d_);
    const KeySet down = keysDown();

    PendingChord pending;
    int group = 0;
    if (hasXkb_) {
        XkbStateRec state{};
        if (XkbGetState(d_, XkbUseCoreKbd, &state) == Success) {
            group = state.group % keyboardGroups;
            pending.capsLockWasLocked = (state.locked_mods & LockMask) != 0;
        }
    }
    lastGroup_ = group;
    pending.key = keycodeOf(chord.key, group);
    if (pending.key == 0) {
        watchRawKeys(false);
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
    if (pending.released.empty()) {
        // Nothing to give back: stop watching, and drop what came in with the look so that the
        // connection never piles up events.
        watchRawKeys(false);
        while (XEventsQueued(d_, QueuedAlready) > 0) {
            XEvent unused;
            XNextEvent(d_, &unused);
        }
    }

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
        XFlush(d_);
        return;
    }
    PendingChord pending = std::move(*pending_);
    pending_.reset();
    fake(pending.key, false);
    for (auto k = pending.pressed.rbegin(); k != pending.pressed.rend(); ++k)
        fake(*k, false);
    if (pending.capsLockWasLocked) XkbLockModifiers(d_, XkbUseCoreKbd, LockMask, LockMask);
    if (pending.released.empty()) {
        XFlush(d_);
        return;
    }

    // Give back only what the user still holds: a key with a release besides this chord's own was
    // let go meanwhile (a new press of it is the user's and needs no help).
    std::vector<RawKey> seen = takeRawKeys();
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
    XFlush(d_);
}

}  // namespace snaplark::platform::x11
