#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/chord.h"
#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev {

// What the compositor tells an ordinary client of its own that the chords need: the keymap (which
// key types c and v) and, where the compositor offers the foreign-toplevel protocol (wlroots
// compositors), which application's window is active, for the terminal rule.
class WaylandSession {
public:
    // Connects to the compositor WAYLAND_DISPLAY names; nullptr when there is none.
    static std::unique_ptr<WaylandSession> connect();
    virtual ~WaylandSession() = default;

    virtual int fileDescriptor() const = 0;
    // Reads and handles what the compositor sent.
    virtual void dispatch() = 0;
    // The connection broke; nothing more comes.
    virtual bool failed() const = 0;

    // The keys typing c and v in the first layout of the keymap; none before the keymap came.
    virtual std::optional<ChordKeys> chordKeys() const = 0;
    // The active window's kind; none where the compositor does not say.
    virtual TerminalKind activeTerminalKind() const = 0;
    // The active window's application id; empty where the compositor does not say.
    virtual std::string activeApplicationId() const = 0;
    // Whether the compositor tells which window is active.
    virtual bool knowsActiveWindow() const = 0;
};

}  // namespace snaplark::platform::evdev
