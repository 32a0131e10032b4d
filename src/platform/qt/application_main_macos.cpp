// The process entry's platform half on macOS: the Qt application loop as a menu-bar agent, with
// Core Graphics for mouse observation and keystrokes.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <iostream>

#include "platform/application_main.h"
#include "platform/macos/accessibility.h"
#include "platform/macos/activation_policy.h"
#include "platform/macos/observer.h"
#include "platform/macos/typist.h"
#include "platform/package_version.h"
#include "platform/qt/qt_services.h"

// The resources live in a static library, where nothing would otherwise pull them in.
static void loadResources()
{
    Q_INIT_RESOURCE(snaplark_macos);
}

namespace snaplark::platform {
namespace {

constexpr int exitFailure = 1;

int signalPipe[2] = {-1, -1};

// Only an async-signal-safe write here; the loop does the rest.
void onTerminationSignal(int signal)
{
    const unsigned char byte = static_cast<unsigned char>(signal);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

bool openSignalPipe()
{
    if (::pipe(signalPipe) != 0) return false;
    for (int fd : signalPipe)
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return true;
}

void printUsage()
{
    std::cout
        << "usage: snaplark [Qt options]\n"
           "\n"
           "Copy and paste with the mouse in any application:\n"
           "  release the left button while holding Command         types Command+C\n"
           "  press it while holding Command and Shift               types Command+V\n"
           "The menu-bar icon's menu suspends the gestures, switches each one on or off and\n"
           "explains them. One line per left-button press or release goes to standard output.\n"
           "Typing needs Snaplark to be allowed under System Settings, Privacy & Security,\n"
           "Accessibility.\n"
           "\n"
           "  --help       show this help and exit\n"
           "  --version    show the version and exit\n";
}

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0) return true;
    }
    return false;
}

}  // namespace

int applicationMain(int argc, char** argv, const ApplicationModule& module)
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

    if (!openSignalPipe()) {
        std::cerr << "snaplark: cannot watch for termination signals: " << std::strerror(errno)
                  << '\n';
        return exitFailure;
    }
    struct sigaction action {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);

    QApplication application(argc, argv);
    loadResources();
    QApplication::setApplicationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationName(QStringLiteral("Snaplark"));
    // The user-defaults domain is then example.snaplark.Snaplark, the bundle identifier.
    QApplication::setOrganizationDomain(QStringLiteral("snaplark.example"));
    QApplication::setQuitOnLastWindowClosed(false);

    // Two agents would type every gesture twice. The lock goes with the process, also when it
    // is killed.
    QLockFile instance(QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                           .filePath(QStringLiteral("example.snaplark.Snaplark.lock")));
    if (!instance.tryLock(0)) {
        std::cerr << "snaplark: another Snaplark is already running\n";
        return exitFailure;
    }

    if (!macos::askForAccessibility()) {
        std::cerr << "snaplark: allow Snaplark under System Settings, Privacy & Security, "
                     "Accessibility; until then nothing is typed\n";
    }

    macos::Observer observer(::getpid());
    macos::Typist typist;
    ClassRegistry classes;
    qt::QtServices services(observer, typist, classes);
    services.setActivationPolicyHook(macos::setApplicationActivationPolicy);
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());

    QSocketNotifier terminationSignals(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminationSignals, &QSocketNotifier::activated, [&services] {
        unsigned char byte = 0;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
        services.terminate(nullptr);
    });

    QTimer::singleShot(0, [&] {
        delegate->applicationDidFinishLaunching();
        services.showStatusItems();
    });
    const int status = QApplication::exec();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
