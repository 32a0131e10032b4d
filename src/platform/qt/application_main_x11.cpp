// The process entry's platform half on Linux: the Qt application loop, with the X11 backend for
// mouse observation and keystrokes.
#include <xcb/xcb.h>

#include <QApplication>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/application_main.h"
#include "platform/package_version.h"
#include "platform/qt/autostart.h"
#include "platform/qt/own_window_rects.h"
#include "platform/qt/process_entry.h"
#include "platform/qt/qt_services.h"
#include "platform/x11/x11_desktop.h"

// The resources live in a static library, where nothing would otherwise pull them in.
static void loadResources()
{
    Q_INIT_RESOURCE(snaplark);
}

namespace snaplark::platform {
namespace {

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
    if (qt::hasArgument(argc, argv, "--help") || qt::hasArgument(argc, argv, "-h")) {
        printUsage();
        return 0;
    }
    if (qt::hasArgument(argc, argv, "--version")) {
        qt::printVersion();
        return 0;
    }

    if (!qt::catchTerminationSignals()) return qt::exitFailure;

    std::string error;
    auto desktop = x11::X11Desktop::open(displayName(argc, argv), error);
    if (!desktop) {
        std::cerr << "snaplark: " << error << '\n';
        return qt::exitFailure;
    }
    if (!desktop->claimSingleInstance()) {
        std::cerr << "snaplark: another Snaplark is already running on this display\n";
        return qt::exitFailure;
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
    QApplication::setOrganizationDomain(QStringLiteral("snaplark.example"));
    // Docks and task bars match our windows to the installed desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.snaplark.Snaplark"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/snaplark/StatusBarButtonImage.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    x11::X11Desktop::installErrorHandlers();
    for (const std::string& missing : desktop->missingExtensions()) {
        std::cerr << "snaplark: " << missing << '\n';
    }

    QSocketNotifier xEvents(desktop->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(&xEvents, &QSocketNotifier::activated, [&desktop] { desktop->dispatch(); });
    desktop->startObserving(ownClient());
    if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
        x11::X11Desktop::ignoreButtonStates(x11->connection());
    }
    qt::OwnWindowRects ownWindowRects([&desktop](std::vector<x11::RootRect> rects) {
        desktop->setOwnWindowRects(std::move(rects));
    });

    ClassRegistry classes;
    qt::QtServices services(desktop->eventMonitors(), desktop->keyboard(), classes);
    services.setKeyboardWords(KeyboardWords::control);
    services.setMenuShownHandler([&desktop](bool shown) { desktop->setMenuOpen(shown); });
    qt::Autostart autostart(QStringLiteral("example.snaplark.Snaplark.desktop"));
    services.setAutostart(&autostart);
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());

    const auto terminationSignals =
        qt::onTerminationSignal([&services] { services.terminate(nullptr); });

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
