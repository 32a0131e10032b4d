#pragma once

#include <memory>

#include "platform/object.h"

namespace snaplark::platform {

class Timer {
public:
    virtual ~Timer() = default;
};

enum class RunLoopMode {
    defaultMode,
    commonModes,  // also while a menu is open or a modal dialog runs
};

class RunLoop {
public:
    virtual ~RunLoop() = default;
    // Sends the selector to the target every interval seconds on the main thread, the first time
    // one interval after this call. The run loop keeps the timer alive; the target must outlive it.
    virtual std::shared_ptr<Timer> scheduledTimer(double intervalSeconds, Responder& target,
                                                  Selector selector, bool repeats) = 0;
    virtual void addTimer(const std::shared_ptr<Timer>& timer, RunLoopMode mode) = 0;
};

}  // namespace snaplark::platform
