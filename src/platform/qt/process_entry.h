#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>

// What every Qt process entry does alike, whatever the platform's input.
namespace snaplark::platform::qt {

inline constexpr int exitFailure = 1;

bool hasArgument(int argc, char** argv, const char* wanted);
// Prints "snaplark VERSION (build N)".
void printVersion();

// SIGTERM and SIGINT are caught from the start, so that a signal during start-up still ends the
// agent cleanly once the loop runs; false (with a message) when they cannot be watched.
bool catchTerminationSignals();
// Once the loop exists: each caught signal calls `terminate` on the loop's thread.
std::unique_ptr<QSocketNotifier> onTerminationSignal(std::function<void()> terminate);

}  // namespace snaplark::platform::qt
