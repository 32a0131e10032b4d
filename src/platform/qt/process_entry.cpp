#include "platform/qt/process_entry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "platform/package_version.h"

namespace snaplark::platform::qt {
namespace {

int signalPipe[2] = {-1, -1};

// Only an async-signal-safe write here; the loop does the rest.
void onSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0) return true;
    }
    return false;
}

bool catchTerminationSignals()
{
    if (::pipe(signalPipe) != 0) {
        std::cerr << "snaplark: cannot watch for termination signals: " << std::strerror(errno)
                  << '\n';
        return false;
    }
    for (int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    return true;
}

}  // namespace

std::optional<int> beginProcess(int argc, char** argv, void (*printUsage)())
{
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "-h")) {
        printUsage();
        return 0;
    }
    if (hasArgument(argc, argv, "--version")) {
        std::cout << "snaplark " << packageShortVersion << " (build " << packageBuildVersion
                  << ")\n";
        return 0;
    }
    if (!catchTerminationSignals()) return exitFailure;
    return std::nullopt;
}

std::unique_ptr<QSocketNotifier> onTerminationSignal(std::function<void()> terminate)
{
    auto notifier = std::make_unique<QSocketNotifier>(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated,
                     [terminate = std::move(terminate)] {
                         unsigned char byte = 0;
                         [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
                         terminate();
                     });
    return notifier;
}

}  // namespace snaplark::platform::qt
