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

// The agent's end of the input service: clicks come from it, and chords are asked of it, each
// naming the click it answers. The service types with the keys of our layout, which it is told
// once per connection.
class ServiceClient {
public:
    explicit ServiceClient(std::string path) : path_(std::move(path)) {}
    ~ServiceClient();
    ServiceClient(const ServiceClient&) = delete;
    ServiceClient& operator=(const ServiceClient&) = delete;

    // Connects; false when the service is not there.
    bool connect();
    bool connected() const { return fd_ >= 0; }
    int fileDescriptor() const { return fd_; }
    const std::string& path() const { return path_; }

    // The keys of our layout. The service takes them once per connection, so a change after
    // they were sent connects again.
    void setKeys(ChordKeys keys);

    struct Received {
        std::vector<Click> clicks;
        std::vector<std::string> lines;  // what the user should read about it
        // Another program of this session holds the service: who it is, for the user to see.
        std::optional<std::string> heldBy;
        std::optional<std::string> refusal;  // why the service turned us away
        bool welcomed = false;               // the service took us on
        bool lost = false;                   // the connection ended; connect() again later
    };
    Received read();

    // Asks for the chord answering the click; false when it cannot be asked for (not connected,
    // or a chord the service does not type).
    bool request(const Chord& chord, std::uint64_t click);

private:
    void close();
    void sendKeys();

    std::string path_;
    int fd_ = -1;
    std::optional<ChordKeys> keys_;
    bool keysSent_ = false;
    std::deque<bool> asked_;  // whether each unanswered request was a copy
};

// The request for a chord, if the service types it.
std::optional<service::ChordRequest> requestFor(const Chord& chord, std::uint64_t click);

// A program by its pid, as the user would know it: "pid 1234 (/usr/bin/name)".
std::string describeProcess(std::uint32_t pid);

}  // namespace snaplark::platform::evdev
