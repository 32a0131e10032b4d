#include "platform/win32/typist.h"

#include <algorithm>

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
    chord_.reset();
    const Chord chord = chordFor(device_.foregroundKind(), key, flags);
    const VirtualKey letter = chord.skip ? 0 : keyOf(chord.key);
    if (letter == 0) return;

    std::vector<VirtualKey> pressed, released, givenBack;
    for (const ModifierPair& pair : modifierPairs) {
        const bool leftDown = device_.isDown(pair.left);
        const bool rightDown = device_.isDown(pair.right);
        if (!(chord.*pair.wanted)) {
            if (leftDown) released.push_back(pair.left);
            if (rightDown) released.push_back(pair.right);
        } else if (!leftDown || !rightDown) {
            // The key of the pair the user does not hold: whether the user lets the other go
            // before the chord or holds it on, the window sees the modifier, and the chord's
            // let-go leaves the user's key alone.
            pressed.push_back(leftDown ? pair.right : pair.left);
        } else {
            pressed.push_back(pair.left);
            givenBack.push_back(pair.left);
        }
    }

    std::vector<KeyStroke> strokes;
    if (std::any_of(released.begin(), released.end(), opensAMenuWhenLetGo)) {
        strokes.push_back({maskKey, false});
        strokes.push_back({maskKey, true});
    }
    for (VirtualKey k : released)
        strokes.push_back({k, true});
    for (VirtualKey k : pressed)
        strokes.push_back({k, false});
    strokes.push_back({letter, false});
    strokes.push_back({letter, true});
    for (auto k = pressed.rbegin(); k != pressed.rend(); ++k)
        strokes.push_back({*k, true});
    // Given back in the same run, so that the next mouse event reads the modifiers the user holds
    // (a paste gesture holds Shift: read as let go, the release would type a copy).
    for (VirtualKey k : released)
        strokes.push_back({k, false});
    for (VirtualKey k : givenBack)
        strokes.push_back({k, false});
    chord_.emplace(key, std::move(strokes));
}

void Typist::keyUp(VirtualKeyCode key)
{
    if (chord_ && chord_->first == key) send(chord_->second);
    chord_.reset();
}

void Typist::send(const std::vector<KeyStroke>& strokes)
{
    if (strokes.empty()) return;
    // Only what went in comes round; the hook's messages are read after this returns.
    const std::size_t typed = std::min(device_.type(strokes), strokes.size());
    for (std::size_t i = 0; i < typed; ++i) {
        Watch& watch = watches_[strokes[i].key];
        if (watch.oursToCome++ == 0) watch.userDown.reset();
        watch.endsDown = !strokes[i].up;
        watch.correction.reset();
    }
}

bool Typist::keyObserved(VirtualKey key, bool up, bool ours)
{
    Watch& watch = watches_[key];
    if (watch.oursToCome == 0) return false;
    if (!ours) {
        watch.userDown = !up;
        return false;
    }
    if (--watch.oursToCome > 0) return false;
    if (watch.userDown && *watch.userDown != watch.endsDown) watch.correction = watch.userDown;
    watch.userDown.reset();
    return watch.correction.has_value();
}

void Typist::settle()
{
    std::vector<KeyStroke> strokes;
    for (std::size_t k = 0; k < watches_.size(); ++k) {
        if (auto& correction = watches_[k].correction) {
            strokes.push_back({static_cast<VirtualKey>(k), !*correction});
            correction.reset();
        }
    }
    send(strokes);
}

}  // namespace snaplark::platform::win32
