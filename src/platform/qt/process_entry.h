#pragma once

#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <optional>

// What every Qt process entry does alike, whatever the platform's input.
namespace snaplark::platform::qt {

inline constexpr int exitFailure = 1;

// Answers --help / -h (through `printUsage`) and --version, and catches SIGTERM and SIGINT from the
// start, so that a signal during start-up still ends the agent cleanly once the loop runs. Returns
// the exit status when the process ends here.
std::optional<int> beginProcess(int argc, char** argv, void (*printUsage)());
// Once the loop exists: each caught signal calls `terminate` on the loop's thread.
std::unique_ptr<QSocketNotifier> onTerminationSignal(std::function<void()> terminate);

}  // namespace snaplark::platform::qt
