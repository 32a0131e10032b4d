#pragma once

#include <cstdint>

#include "platform/event_monitor.h"

namespace snaplark::platform::macos {

// The application a chord would be typed into: the front application, the one that receives key
// events (NSWorkspace's frontmostApplication), by its bundle identifier and its localized name.
// Snaplark itself is never the answer: while its own window is in front, the last other
// application seen stands.
class FrontApplication {
public:
    explicit FrontApplication(std::int64_t ownProcess) : ownProcess_(ownProcess) {}

    // An empty id while none is known: no front application, one without a bundle identifier
    // (no Info.plist), or none but Snaplark seen yet.
    ActiveApplication current();

private:
    const std::int64_t ownProcess_;
    ActiveApplication lastOther_;
};

}  // namespace snaplark::platform::macos
