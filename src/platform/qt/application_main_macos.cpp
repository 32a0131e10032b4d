// The process entry's platform half on macOS: the Qt application loop as a menu-bar agent, with
// Core Graphics for mouse observation and keystrokes.

#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>
#include <cstring>
#include <iostream>

#include "platform/application_main.h"
#include "platform/macos/activation_policy.h"
#include "platform/macos/focus.h"
#include "platform/macos/login_item.h"
#include "platform/macos/observer.h"
#include "platform/macos/permissions.h"
#include "platform/macos/typist.h"
#include "platform/macos/user_defaults.h"
#include "platform/package_version.h"
#include "platform/qt/autostart.h"
#include "platform/qt/process_entry.h"
#include "platform/qt/qt_services.h"

// The resources live in a static library, where nothing would otherwise pull them in.
static void loadResources()
{
    Q_INIT_RESOURCE(snaplark_macos);
}

namespace snaplark::platform {
namespace {

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

}  // namespace

int applicationMain(int argc, char** argv, const ApplicationModule& module)
{
    if (const auto status = qt::beginProcess(argc, argv, printUsage)) return *status;

    QApplication application(argc, argv);
    loadResources();
    QApplication::setApplicationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationName(QStringLiteral("Snaplark"));
    QApplication::setOrganizationDomain(QStringLiteral("snaplark.example"));
    QApplication::setQuitOnLastWindowClosed(false);

    // Two agents would type every gesture twice. The lock goes with the process, also when it
    // is killed.
    QLockFile instance(QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation))
                           .filePath(QStringLiteral("example.snaplark.Snaplark.lock")));
    if (!instance.tryLock(0)) {
        std::cerr << "snaplark: another Snaplark is already running\n";
        return qt::exitFailure;
    }

    // The front application goes with each click and names the pause entry of the status menu.
    macos::FrontApplication frontApplication(::getpid());
    const auto front = [&frontApplication] { return frontApplication.current(); };
    macos::Observer observer(::getpid(), front);
    macos::Typist typist;
    ClassRegistry classes;
    // Qt's native settings would name the domain after the organization (com.snaplark.Snaplark)
    // and read the global domain behind it; the switches belong in the bundle identifier's.
    macos::UserDefaultsStore userDefaults;
    qt::QtServices services(observer, typist, classes);
    services.setInMenuBar(true);
    services.setActivationPolicyHook(macos::setApplicationActivationPolicy);
    services.setUserDefaultsStore(&userDefaults);
    services.setActiveApplicationSource(front);

    // What stops the gestures, and a login item that waits for the user's approval, go to the
    // status item's tool tip; while either lasts, it is looked at again every few seconds.
    std::string permissionLine, loginLine;
    QTimer recheckTimer;
    recheckTimer.setInterval(5000);
    const auto showLines = [&] {
        const std::string both =
            permissionLine + (permissionLine.empty() || loginLine.empty() ? "" : "\n") + loginLine;
        services.showNotice(QString::fromStdString(both));
        if (both.empty())
            recheckTimer.stop();
        else if (!recheckTimer.isActive())
            recheckTimer.start();
    };

    macos::LoginItem loginItem;
    qt::Autostart autostart([&] { return loginItem.enabled(); },
                            [&](bool enabled) {
                                const bool done = loginItem.setEnabled(enabled);
                                loginLine = enabled && loginItem.awaitingApproval()
                                                ? "Snaplark starts at login once you allow it "
                                                  "under System Settings, General, Login Items"
                                                : "";
                                showLines();
                                return done;
                            });
    services.setAutostart(&autostart);
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());

    // Snaplark does not wait for its permissions, but a user whose gestures do nothing should
    // learn why, where they look; the How-to-use dialog names the panes too, once per install.
    macos::PermissionNotice permissionNotice(
        userDefaults, std::string(packageShortVersion) + " (build " + packageBuildVersion + ")");
    const auto judge = [&] {
        const auto notice = permissionNotice.update({macos::typingAllowed(), observer.clicks()});
        if (!notice) return;
        permissionLine = notice->toolTip;
        showLines();
        if (!notice->toolTip.empty()) std::cerr << "snaplark: " << notice->toolTip << '\n';
        if (notice->askSystem) macos::askToAllowTyping();
        // Not inside the event tap's callback: the dialog runs a loop of its own.
        if (notice->showHelp) {
            QTimer::singleShot(0, [&services] {
                services.sendAction(Selector::howToUseFromTrayWithSender, nullptr, nullptr);
            });
        }
    };
    // A grant given while Snaplark runs takes effect at the next look, without a restart.
    const auto recheck = [&] {
        observer.retryTap();
        judge();
        if (!loginLine.empty() && !loginItem.awaitingApproval()) {
            loginLine.clear();
            showLines();
        }
    };
    QObject::connect(&recheckTimer, &QTimer::timeout, recheck);
    // Active: NSApplicationDidBecomeActiveNotification, as Qt reports it; the user may come back
    // from System Settings.
    QObject::connect(&application, &QGuiApplication::applicationStateChanged,
                     [&](Qt::ApplicationState state) {
                         if (state == Qt::ApplicationActive) recheck();
                     });
    typist.setBeforeTyping(judge);
    // The click that opened our status menu went through the tap, if the tap works at all.
    services.setMenuShownHandler([&](bool shown) {
        if (shown) return;
        observer.ownClickHappened();
        judge();
    });

    const auto terminationSignals =
        qt::onTerminationSignal([&services] { services.terminate(nullptr); });

    QTimer::singleShot(0, [&] {
        delegate->applicationDidFinishLaunching();
        services.showStatusItems();
        judge();
    });
    const int status = QApplication::exec();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
