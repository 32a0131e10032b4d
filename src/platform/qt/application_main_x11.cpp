// The process entry's platform half on Linux: the Qt application loop, with the X11 backend for
// mouse observation and keystrokes.
#include <sys/socket.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/application_main.h"
#include "platform/package_version.h"
#include "platform/qt/own_window_rects.h"
#include "platform/qt/qt_services.h"
#include "platform/x11/x11_desktop.h"

// The resources live in a static library, where nothing would otherwise pull them in.
static void loadResources()
{
    Q_INIT_RESOURCE(snaplark);
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

void printUsage()
{
    std::cout
        << "usage: snaplark [-display NAME] [Qt options]\n"
           "\n"
           "Copy and paste with the mouse in any X11 application:\n"
           "  release the left button while holding Control         types Copy\n"
           "  press it while holding Control and Shift               types Paste\n"
           "The tray icon's menu suspends the gestures, switches each one on or off and\n"
           "explains them. One line per left-button press or release goes to standard output.\n"
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

// Qt's own -display option names the display; otherwise DISPLAY does.
std::string displayName(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "-display") == 0 || std::strcmp(argv[i], "--display") == 0) {
            return argv[i + 1];
        }
    }
    const char* fromEnvironment = std::getenv("DISPLAY");
    return fromEnvironment ? fromEnvironment : "";
}

// The resource-id base of Qt's own connection: every window of ours carries it.
std::uint32_t ownClient()
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 != nullptr ? xcb_get_setup(x11->connection())->resource_id_base : 0;
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

    // Watched from the start, so that a signal during start-up still ends the agent cleanly
    // once the loop runs.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) {
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

    std::string error;
    auto desktop = x11::X11Desktop::open(displayName(argc, argv), error);
    if (!desktop) {
        std::cerr << "snaplark: " << error << '\n';
        return exitFailure;
    }
    if (!desktop->claimSingleInstance()) {
        std::cerr << "snaplark: another Snaplark is already running on this display\n";
        return exitFailure;
    }

    // The agent tells its own windows from others' by their X11 ids, so Qt must draw through X11
    // as well, also in a Wayland session's X server.
    setenv("QT_QPA_PLATFORM", "xcb", 0);
    // The server then delivers core button events to our windows, which the recorded stream
    // reports, so that a click in our own menu or window is known as ours.
    setenv("QT_XCB_NO_XI2", "1", 1);
    QApplication application(argc, argv);
    loadResources();
    QApplication::setApplicationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationName(QStringLiteral("Snaplark"));
    QApplication::setQuitOnLastWindowClosed(false);
    x11::X11Desktop::installErrorHandlers();
    for (const std::string& missing : desktop->missingExtensions()) {
        std::cerr << "snaplark: " << missing << '\n';
    }

    QSocketNotifier xEvents(desktop->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(&xEvents, &QSocketNotifier::activated, [&desktop] { desktop->dispatch(); });
    desktop->startObserving(ownClient());
    qt::OwnWindowRects ownWindowRects([&desktop](std::vector<x11::RootRect> rects) {
        desktop->setOwnWindowRects(std::move(rects));
    });

    ClassRegistry classes;
    qt::QtServices services(desktop->eventMonitors(), desktop->keyboard(), classes);
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
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            std::cerr
                << "snaplark: no system tray is running; the gestures work, and the icon "
                   "appears when a tray starts (on GNOME, install and enable the AppIndicator "
                   "extension, package gnome-shell-extension-appindicator)\n";
        }
    });
    const int status = QApplication::exec();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
