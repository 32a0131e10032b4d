#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/evdev/seat_state.h"

namespace snaplark::platform::evdev {

// Reads every input device under a directory (/dev/input) that has a left button or modifier
// keys, without grabbing any: the compositor gets every event as before. Devices that appear
// later are opened when the directory's watch reports them; those that go are closed.
class Devices {
public:
    // Whether a device opened belongs to the seat read: `notYet` while the system has not
    // finished setting it up, so that it is asked again a little later.
    enum class Belongs { yes, no, notYet };
    using SeatFilter = std::function<Belongs(int fd)>;
    using Clock = std::chrono::steady_clock;

    explicit Devices(std::string directory = "/dev/input", SeatFilter filter = {});
    ~Devices();
    Devices(const Devices&) = delete;
    Devices& operator=(const Devices&) = delete;

    // Opens the devices there now and starts watching the directory. Returns what is missing
    // for reading input (an empty string when all is well).
    std::string open();

    // Descriptors to wait on for reading.
    std::vector<int> descriptors() const;
    // Reads what is ready without blocking, and returns the clicks it made, in order. Events of
    // all devices are taken in the order they happened, not device by device: a Control pressed
    // on a keyboard just before a click on a mouse counts for the click even when both wait to
    // be read (a busy machine), and so does one let go just after it.
    std::vector<Click> read();

    const SeatState& seat() const { return seat_; }

    // Devices the filter could not place yet are tried again until they can be, for a while.
    std::optional<Clock::time_point> nextRetry() const;
    void retry(Clock::time_point now);

private:
    void add(const std::string& name);
    void remove(int fd);
    struct Stamped {
        std::int64_t time;  // microseconds, CLOCK_MONOTONIC
        int fd;
        InputEvent event;
    };
    // Appends what the device has queued; false when it went away.
    bool readDevice(int fd, std::vector<Stamped>& events);
    void readWatch();

    // Pointer motion, read only from a press with Control held to its release: how far it went.
    struct Motion {
        bool watching = false;
        long relX = 0;
        long relY = 0;
        struct Absolute {
            std::optional<int> firstX{}, firstY{};
            int lastX = 0, lastY = 0;
            double pixelsPerUnit = 1;
        };
        std::map<int, Absolute> absolute{};  // per device
        int pixels() const;
    };
    void watchMotion(bool watch);

    std::string directory_;
    SeatFilter filter_;
    Motion motion_;
    struct Waiting {
        Clock::time_point since;
        Clock::time_point next;
    };
    std::map<std::string, Waiting> waiting_;  // node name → when it is tried again
    int watch_ = -1;
    std::map<int, std::string> devices_;  // descriptor → node name
    int unreadable_ = 0;                  // event nodes we could not open
    SeatState seat_;
};

}  // namespace snaplark::platform::evdev
