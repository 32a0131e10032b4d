#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/chord.h"
#include "platform/evdev/seat_state.h"
#include "platform/evdev/service_protocol.h"
#include "platform/evdev/typist.h"

namespace snaplark::platform::evdev {

// The agent's end of the input service: clicks come from it, and chords are asked of it.
class ServiceClient {
public:
    explicit ServiceClient(std::string path) : path_(std::move(path)) {}
    ~ServiceClient();
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    // Connects; false when the service is not there (see lastProblem()).
    bool connect();
    bool connected() const { return fd_ >= 0; }
    int fileDescriptor() const { return fd_; }
    const std::string& path() const { return path_; }

    struct Received {
        std::vector<Click> clicks;
        std::vector<std::string> lines;  // what the user should read about it
        bool welcomed = false;           // the service took us on
        bool lost = false;               // the connection ended; connect() again later
    };
    Received read();

    // Asks for the chord; false when it cannot be asked for (not connected, or a chord the
    // service does not type).
    bool request(const Chord& chord, ChordKeys keys);

private:
    void close();

    std::string path_;
    int fd_ = -1;
    std::deque<bool> asked_;  // whether each unanswered request was a copy
};

// The request for a chord, if the service types it.
std::optional<service::ChordRequest> requestFor(const Chord& chord, ChordKeys keys);

}  // namespace snaplark::platform::evdev
