// The process entry's platform half on Linux: the Qt application loop, with the X11 backend for
// mouse observation and keystrokes, or on a Wayland session the input devices and uinput.
#include <qpa/qplatformnativeinterface.h>
#include <xcb/xcb.h>

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QStyleHints>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "platform/application_main.h"
#include "platform/evdev/evdev_desktop.h"
#include "platform/evdev/own_surfaces.h"
#include "platform/package_version.h"
#include "platform/qt/active_window_reports.h"
#include "platform/qt/autostart.h"
#include "platform/qt/own_window_rects.h"
#include "platform/qt/problem_notices.h"
#include "platform/qt/process_entry.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/qt_user_defaults.h"
#include "platform/qt/status_menu_export.h"
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
        << "usage: snaplark [--input=x11|evdev] [-display NAME] [Qt options]\n"
           "\n"
           "Copy and paste with the mouse in any application:\n"
           "  release the left button while holding Control         types Copy\n"
           "  press it while holding Control and Shift               types Paste\n"
           "The tray icon's menu suspends the gestures, switches each one on or off and\n"
           "explains them. One line per left-button press or release goes to standard output.\n"
           "\n"
           "  --input=x11    observe and type through the X server (the default outside\n"
           "                 a Wayland session)\n"
           "  --input=evdev  read the input devices and type on a virtual keyboard (the\n"
           "                 default in a Wayland session; needs access to /dev/input and\n"
           "                 /dev/uinput)\n"
           "  --help         show this help and exit\n"
           "  --version      show the version and exit\n";
}

enum class Input { x11, evdev, unknown };

// --input=x11|evdev, or else the kind of session this is.
Input chooseInput(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.rfind("--input=", 0) != 0) continue;
        const std::string_view value = arg.substr(8);
        return value == "x11" ? Input::x11 : value == "evdev" ? Input::evdev : Input::unknown;
    }
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    const bool isWayland = (wayland != nullptr && *wayland != '\0') ||
                           (session && std::strcmp(session, "wayland") == 0);
    return isWayland ? Input::evdev : Input::x11;
}

// The one agent of a Wayland session holds a lock in the session's runtime directory.
std::string sessionLockPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    std::string path = runtime && *runtime ? runtime : "/tmp";
    return path + "/snaplark-" +
           (wayland && *wayland && !std::strchr(wayland, '/') ? wayland : "wayland") + ".lock";
}

// Tells the evdev input which presses the compositor delivered to our windows and menus, and
// whether any of them is shown (only then may a press wait for that word). The deliveries come
// from a pointer of our own on Qt's Wayland connection; when Qt draws through X11 instead, from
// the presses Qt hands our windows.
class OwnSurfaces final : public QObject {
public:
    explicit OwnSurfaces(evdev::EvdevDesktop& desktop) : desktop_(desktop)
    {
        if (QGuiApplication::platformName() == QLatin1String("wayland")) {
            auto* display = static_cast<wl_display*>(
                QGuiApplication::platformNativeInterface()->nativeResourceForIntegration(
                    "wl_display"));
            buttons_ =
                evdev::OwnSurfaceButtons::listen(display, [this] { desktop_.deliveredPress(); });
        }
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* window = qobject_cast<QWindow*>(watched);
        if (window == nullptr) return false;
        switch (event->type()) {
        case QEvent::Show: desktop_.setOwnSurfacesShown(true); break;
        case QEvent::Hide: desktop_.setOwnSurfacesShown(anyShownBut(window)); break;
        case QEvent::MouseButtonPress:
            if (!buttons_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                desktop_.deliveredPress();
            }
            break;
        default: break;
        }
        return false;
    }

private:
    static bool anyShownBut(const QWindow* hidden)
    {
        const auto windows = QGuiApplication::allWindows();
        return std::any_of(windows.begin(), windows.end(),
                           [hidden](const QWindow* w) { return w != hidden && w->isVisible(); });
    }

    evdev::EvdevDesktop& desktop_;
    std::unique_ptr<evdev::OwnSurfaceButtons> buttons_;
};

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
    if (const auto status = qt::beginProcess(argc, argv, printUsage)) return *status;

    const Input input = chooseInput(argc, argv);
    if (input == Input::unknown) {
        std::cerr << "snaplark: --input takes x11 or evdev\n";
        return qt::exitFailure;
    }
    std::unique_ptr<x11::X11Desktop> x11Desktop;
    std::unique_ptr<evdev::EvdevDesktop> evdevDesktop;
    if (input == Input::x11) {
        std::string error;
        x11Desktop = x11::X11Desktop::open(displayName(argc, argv), error);
        if (!x11Desktop) {
            std::cerr << "snaplark: " << error << '\n';
            return qt::exitFailure;
        }
        if (!x11Desktop->claimSingleInstance()) {
            std::cerr << "snaplark: another Snaplark is already running on this display\n";
            return qt::exitFailure;
        }
        // The agent tells its own windows from others' by their X11 ids, so Qt must draw through
        // X11 as well, also in a Wayland session's X server.
        setenv("QT_QPA_PLATFORM", "xcb", 0);
        // The server then delivers core button events to our windows, which the recorded stream
        // reports, so that a click in our own menu or window is known as ours.
        setenv("QT_XCB_NO_XI2", "1", 1);
    } else {
        if (!evdev::EvdevDesktop::claimSingleInstance(sessionLockPath())) {
            std::cerr << "snaplark: another Snaplark is already running in this session\n";
            return qt::exitFailure;
        }
        // A native Wayland client, so that the compositor's deliveries to our surfaces can be
        // heard on Qt's connection.
        setenv("QT_QPA_PLATFORM", "wayland;xcb", 0);
        evdev::EvdevDesktop::Paths paths;
        // Tests point the agent at a directory of their own.
        if (const char* dir = std::getenv("SNAPLARK_INPUT_DIR"); dir && *dir) paths.input = dir;
        if (const char* socket = std::getenv("SNAPLARK_INPUT_SERVICE"); socket && *socket) {
            paths.service = socket;
        }
        evdevDesktop = evdev::EvdevDesktop::open(paths);
    }
    InputDesktop* desktop = x11Desktop ? static_cast<InputDesktop*>(x11Desktop.get())
                                       : static_cast<InputDesktop*>(evdevDesktop.get());
    QApplication application(argc, argv);
    loadResources();
    QApplication::setApplicationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationDomain(QStringLiteral("snaplark.example"));
    // Docks and task bars match our windows to the installed desktop entry by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.snaplark.Snaplark"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/snaplark/StatusBarButtonImage.svg")));
    QApplication::setQuitOnLastWindowClosed(false);
    if (x11Desktop) x11::X11Desktop::installErrorHandlers();
    for (const std::string& missing : desktop->missing()) {
        std::cerr << "snaplark: " << missing << '\n';
    }

    std::unique_ptr<qt::OwnWindowRects> ownWindowRects;
    std::unique_ptr<OwnSurfaces> ownSurfaces;
    std::unique_ptr<qt::ActiveWindowReports> activeWindowReports;
    if (x11Desktop) {
        x11Desktop->startObserving(ownClient());
        if (auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>()) {
            x11::X11Desktop::ignoreButtonStates(x11->connection());
        }
        ownWindowRects = std::make_unique<qt::OwnWindowRects>(
            [desktop = x11Desktop.get()](std::vector<x11::RootRect> rects) {
                desktop->setOwnWindowRects(std::move(rects));
            });
    } else {
        ownSurfaces = std::make_unique<OwnSurfaces>(*evdevDesktop);
        // KDE Plasma and GNOME keep the active window to themselves; their shells tell us.
        if (!evdevDesktop->knowsActiveWindow()) {
            activeWindowReports = std::make_unique<qt::ActiveWindowReports>(
                [desktop = evdevDesktop.get()](const std::string& id, const std::string& name) {
                    desktop->setReportedActiveWindow(id, name);
                });
            activeWindowReports->start();
        }
    }

    ClassRegistry classes;
    qt::QtServices services(desktop->eventMonitors(), desktop->keyboard(), classes);
    services.setKeyboardWords(KeyboardWords::control);
    qt::SettingsFileStore settingsFile;
    services.setUserDefaultsStore(&settingsFile);
    services.setMenuShownHandler([desktop](bool shown) { desktop->setMenuOpen(shown); });
    // Drags and double clicks as this desktop counts them (Qt reads its settings).
    const QStyleHints* hints = QGuiApplication::styleHints();
    desktop->setClickSettings({hints->startDragDistance(), hints->mouseDoubleClickInterval()});
    if (desktop->knowsActiveApplications()) {
        services.setActiveApplicationSource([desktop] { return desktop->activeApplication(); });
    }
    qt::Autostart autostart(QStringLiteral("example.snaplark.Snaplark.desktop"));
    services.setAutostart(&autostart);
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());

    // What stops the gestures goes where the user looks (an agent started at login has no
    // terminal): a notification, the icon's tool tip, How to use.
    qt::ProblemNotices notices(services);
    services.setHelp([&notices] { return notices.helpNotes(); },
                     [&notices](std::size_t note) { notices.applyFix(note); });
    // The menu for a shell that draws it itself (Snaplark's GNOME extension, where no tray runs).
    qt::StatusMenuExport menuExport(services);
    const bool gnome = QDBusConnection::sessionBus().interface() &&
                       QDBusConnection::sessionBus()
                           .interface()
                           ->isServiceRegistered(QStringLiteral("org.gnome.Shell"))
                           .value();
    if (gnome) {
        for (const char* key : {qt::ActiveWindowReports::gnomeExtensionProblem, "no-icon"})
            notices.setFix(key, [] { qt::ActiveWindowReports::enableGnomeExtension(); });
    }
    // Whether anything shows the icon is known only once trays and shells had time to answer;
    // asking a tray is a call over the bus, never made on the way of a click.
    bool trayLooked = false;
    bool trayShown = true;
    const auto showProblems = [&] {
        auto problems = desktop->problems();
        const auto shell = activeWindowReports ? activeWindowReports->problem() : std::nullopt;
        if (shell) problems.push_back(*shell);
        const bool iconShown = trayShown || menuExport.iconShown();
        // On GNOME's Wayland sessions the extension's own problem says that the menu is missing.
        if (trayLooked && !iconShown && !(gnome && activeWindowReports)) {
            problems.push_back(
                {"no-icon", "No tray shows Snaplark's icon",
                 gnome ? "GNOME shows Snaplark's icon and menu in the top bar only through "
                         "Snaplark's extension (or the AppIndicator extension). Enable it with "
                         "the button below, or with \"gnome-extensions enable "
                         "snaplark@snaplark.example\" (snaplark-legacy@snaplark.example for GNOME "
                         "43 and 44); an extension installed since you logged in is loaded only "
                         "after you log out and in again."
                       : "This desktop runs no system tray of the StatusNotifierItem kind; start "
                         "one (a panel's tray) to reach Snaplark's menu.",
                 gnome ? "Enable the GNOME extension" : ""});
        }
        notices.update(std::move(problems));
    };
    if (activeWindowReports) activeWindowReports->setChangedHandler(showProblems);
    menuExport.setIconShownHandler(showProblems);
    QSocketNotifier inputEvents(desktop->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(&inputEvents, &QSocketNotifier::activated, [desktop, &showProblems] {
        desktop->dispatch();
        showProblems();
    });
    // Looked for again while there is none, so that a tray started later is noticed.
    QTimer trayLook;
    const auto lookForTray = [&] {
        trayLooked = true;
        trayShown = QSystemTrayIcon::isSystemTrayAvailable();
        if (trayShown) {
            trayLook.stop();
        } else if (!trayLook.isActive()) {
            trayLook.start(10000);
        }
        showProblems();
    };
    QObject::connect(&trayLook, &QTimer::timeout, lookForTray);
    QTimer::singleShot(5000, lookForTray);

    const auto terminationSignals =
        qt::onTerminationSignal([&services] { services.terminate(nullptr); });

    QTimer::singleShot(0, [&] {
        delegate->applicationDidFinishLaunching();
        menuExport.start();
        showProblems();
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
