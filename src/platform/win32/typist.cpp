#include "platform/win32/typist.h"

#include <algorithm>
#include <array>

namespace snaplark::platform::win32 {
namespace {

struct ModifierPair {
    VirtualKey left;
    VirtualKey right;
    bool Chord::*wanted;
};

constexpr std::array<ModifierPair, 4> modifierPairs{{
    {Typist::leftControl, Typist::rightControl, &Chord::control},
    {Typist::leftShift, Typist::rightShift, &Chord::shift},
    {Typist::leftAlt, Typist::rightAlt, &Chord::alt},
    {Typist::leftWin, Typist::rightWin, &Chord::super},
}};

bool opensAMenuWhenLetGo(VirtualKey key)
{
    return key == Typist::leftAlt || key == Typist::rightAlt || key == Typist::leftWin ||
           key == Typist::rightWin;
}

}  // namespace

VirtualKey Typist::keyOf(ChordKey key) const
{
    switch (key) {
    case ChordKey::c: return device_.keyTyping('c');
    case ChordKey::v: return device_.keyTyping('v');
    case ChordKey::insert: return insertKey;
    }
    return 0;
}

void Typist::keyDown(VirtualKeyCode key, ModifierFlags flags)
{
    pending_.reset();
    skipped_.reset();
    const Chord chord = chordFor(device_.foregroundKind(), key, flags);
    if (chord.skip) {
        skipped_ = key;
        return;
    }

    PendingChord pending;
    pending.key = keyOf(chord.key);
    if (pending.key == 0) return;

    std::vector<KeyStroke> strokes;
    for (const ModifierPair& pair : modifierPairs) {
        const bool leftDown = device_.isDown(pair.left);
        const bool rightDown = device_.isDown(pair.right);
        if (chord.*pair.wanted) {
            // A modifier the user already holds is kept rather than pressed twice.
            if (!leftDown && !rightDown) pending.pressed.push_back(pair.left);
            continue;
        }
        if (leftDown) pending.released.push_back(pair.left);
        if (rightDown) pending.released.push_back(pair.right);
    }

    if (std::any_of(pending.released.begin(), pending.released.end(), opensAMenuWhenLetGo)) {
        strokes.push_back({maskKey, false});
        strokes.push_back({maskKey, true});
    }
    for (VirtualKey k : pending.released)
        strokes.push_back({k, true});
    for (VirtualKey k : pending.pressed)
        strokes.push_back({k, false});
    strokes.push_back({pending.key, false});
    device_.type(strokes);
    pending_ = std::move(pending);
}

void Typist::keyUp(VirtualKeyCode key)
{
    if (skipped_ == key) {
        skipped_.reset();
        return;
    }
    if (!pending_) {
        // The key-down could not be made; make sure its key is not left down either way.
        const Chord chord = chordFor(TerminalKind::none, key, 0);
        if (!chord.skip) {
            if (const VirtualKey k = keyOf(chord.key); k != 0) device_.type({{k, true}});
        }
        return;
    }
    PendingChord pending = std::move(*pending_);
    pending_.reset();

    std::vector<KeyStroke> strokes{{pending.key, true}};
    for (auto k = pending.pressed.rbegin(); k != pending.pressed.rend(); ++k)
        strokes.push_back({*k, true});
    // Given back at once, so that the next mouse event reads the modifiers the user holds (a
    // paste gesture holds Shift: read as let go, the release would type a copy).
    for (VirtualKey k : pending.released) {
        strokes.push_back({k, false});
        awaitingReturn_.set(k);
        letGoAgain_.reset(k);
    }
    device_.type(strokes);
}

bool Typist::keyObserved(VirtualKey key, bool up, bool ours)
{
    if (!awaitingReturn_.test(key)) return false;
    if (ours) {
        if (up) return false;
        awaitingReturn_.reset(key);
        return letGoAgain_.test(key);
    }
    // The user's own event reached the system before our give-back: the last one says whether
    // the key is still held.
    letGoAgain_.set(key, up);
    return false;
}

void Typist::settle()
{
    std::vector<KeyStroke> strokes;
    for (int k = 0; k < 256; ++k) {
        if (letGoAgain_.test(k) && !awaitingReturn_.test(k)) {
            strokes.push_back({static_cast<VirtualKey>(k), true});
            letGoAgain_.reset(k);
        }
    }
    if (!strokes.empty()) device_.type(strokes);
}

}  // namespace snaplark::platform::win32
