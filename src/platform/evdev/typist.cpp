#include "platform/evdev/typist.h"

#include <linux/input-event-codes.h>

#include <vector>

namespace snaplark::platform::evdev {
namespace {

// The seat's modifiers the chord does not hold itself.
ModifierFlags foreignModifiers(const Chord& chord, ModifierFlags seat)
{
    ModifierFlags own = 0;
    if (chord.control) own |= modifier::command;
    if (chord.shift) own |= modifier::shift;
    if (chord.alt) own |= modifier::option;
    if (chord.super) own |= modifier::control;
    const ModifierFlags held =
        seat & (modifier::command | modifier::shift | modifier::option | modifier::control);
    return held & ~own;
}

}  // namespace

bool readyToType(const Chord& chord, ModifierFlags seatFlags)
{
    return foreignModifiers(chord, seatFlags) == 0;
}

void Typist::keyDown(VirtualKeyCode key, ModifierFlags flags, Clock::time_point now)
{
    pending_.push_back({key, flags, now, false});
}

void Typist::keyUp(VirtualKeyCode /*key*/)
{
    // Every key-down is followed by its key-up before any other event is handled.
    if (!pending_.empty()) pending_.back().complete = true;
}

std::vector<std::string> Typist::update(ModifierFlags seatFlags, TerminalKind kind,
                                        Clock::time_point now)
{
    std::vector<std::string> dropped;
    while (!pending_.empty() && pending_.front().complete) {
        const Pending& first = pending_.front();
        const Chord chord = chordFor(kind, first.key, first.flags);
        if (chord.skip) {
            // Nothing to type in this window.
        } else if (readyToType(chord, seatFlags)) {
            typeChord(sink_, chord, chord.key == ChordKey::c ? keys_.c : keys_.v);
        } else if (now - first.since >= patience) {
            dropped.emplace_back(chord.key == ChordKey::c
                                     ? "copy not typed: other modifiers were still held"
                                     : "paste not typed: other modifiers were still held");
        } else {
            break;
        }
        pending_.pop_front();
    }
    return dropped;
}

std::optional<Typist::Clock::time_point> Typist::deadline() const
{
    if (pending_.empty()) return std::nullopt;
    return pending_.front().since + patience;
}

void typeChord(KeySink& sink, const Chord& chord, std::uint16_t key)
{
    std::vector<std::uint16_t> held;
    if (chord.control) held.push_back(KEY_LEFTCTRL);
    if (chord.shift) held.push_back(KEY_LEFTSHIFT);
    if (chord.alt) held.push_back(KEY_LEFTALT);
    if (chord.super) held.push_back(KEY_LEFTMETA);
    if (chord.key == ChordKey::insert) key = KEY_INSERT;
    for (const std::uint16_t k : held)
        sink.key(k, true);
    sink.key(key, true);
    sink.key(key, false);
    for (auto k = held.rbegin(); k != held.rend(); ++k)
        sink.key(*k, false);
}

}  // namespace snaplark::platform::evdev
