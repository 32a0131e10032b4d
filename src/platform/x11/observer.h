#pragma once

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/x11/chord_trail.h"
#include "platform/x11/own_windows.h"

namespace snaplark::platform::x11 {

// Watches the left button of every client through the RECORD extension: the device events with
// the modifier state the server gave each, and their deliveries to the agent's own client, which
// tell our own windows' clicks apart. A thread of its own reads the recorded stream as fast as the
// server sends it (a reader that falls behind makes the server skip events for its context); the
// events are handed over in order, woken through an eventfd.
class Observer {
public:
    // `data` is a connection of the observer's own; `wakeUp` an eventfd it signals.
    Observer(xcb_connection_t* data, int wakeUp) : data_(data), wakeUp_(wakeUp) {}
    ~Observer();
    Observer(const Observer&) = delete;
    Observer& operator=(const Observer&) = delete;

    // Starts recording, with the client whose resource-id base is given as our own; false when
    // the server refused. `typist` is the base of the connection that types our chords through
    // XTEST (major opcode `xtest`): the modifiers a chord lets go of are followed in the stream,
    // so that a click in the middle of a chord still reads the user's modifiers.
    bool start(std::uint32_t ownClient, std::uint32_t typist, std::uint8_t xtest);
    // Ends recording; `control` is another connection, since the reader's waits on its own.
    void stop(Display* control);

    void setOwnRects(std::vector<RootRect> rects);
    void setMenuOpenElsewhere(bool open);
    // The clicks in other applications since the last call, in order.
    std::vector<ButtonEvent> take();
    // The keyboard or pointer map changed since the last call.
    bool takeRemapped() { return remapped_.exchange(false); }
    // The connection to the display was lost.
    bool lost() const { return lost_; }

private:
    void read();
    // One reply of the recorded stream; true when it may have been cut short.
    bool parse(const std::uint8_t* reply);
    void wake();

    xcb_connection_t* data_;
    int wakeUp_;
    std::uint32_t context_ = 0;
    unsigned sequence_ = 0;
    std::thread reader_;
    std::mutex mutex_;  // guards clicks_ and settled_
    OwnClicks clicks_;
    std::vector<ButtonEvent> settled_;
    std::uint32_t typist_ = 0;
    ChordTrail trail_{0};  // read and written by the reader thread only
    std::atomic<bool> remapped_{false};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> lost_{false};
};

}  // namespace snaplark::platform::x11
