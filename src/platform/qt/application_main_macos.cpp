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
#include "platform/macos/accessibility.h"
#include "platform/macos/activation_policy.h"
#include "platform/macos/login_item.h"
#include "platform/macos/observer.h"
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

    if (!macos::askForAccessibility()) {
        std::cerr << "snaplark: allow Snaplark under System Settings, Privacy & Security, "
                     "Accessibility; until then nothing is typed\n";
    }

    macos::Observer observer(::getpid());
    macos::Typist typist;
    ClassRegistry classes;
    // Qt's native settings would name the domain after the organization (com.snaplark.Snaplark)
    // and read the global domain behind it; the switches belong in the bundle identifier's.
    macos::UserDefaultsStore userDefaults;
    qt::QtServices services(observer, typist, classes);
    services.setActivationPolicyHook(macos::setApplicationActivationPolicy);
    services.setUserDefaultsStore(&userDefaults);
    macos::LoginItem loginItem(
        (QDir::homePath() + QStringLiteral("/Library/LaunchAgents/example.snaplark.Snaplark.plist"))
            .toStdString(),
        QCoreApplication::applicationFilePath().toStdString());
    qt::Autostart autostart([&loginItem] { return loginItem.enabled(); },
                            [&loginItem](bool enabled) { return loginItem.setEnabled(enabled); });
    services.setAutostart(&autostart);
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());

    // Snaplark types without asking first (the system prompted at start), but a user who said no
    // should learn why nothing happens: the tool tip says which pane of System Settings to open,
    // and the How-to-use dialog, which names it too, opens once per run. A grant clears the line.
    macos::PermissionNotice permissionNotice;
    const auto tell = [&](macos::Permissions now) {
        const auto notice = permissionNotice.update(now);
        if (!notice) return;
        services.showNotice(QString::fromStdString(notice->toolTip));
        if (!notice->toolTip.empty()) std::cerr << "snaplark: " << notice->toolTip << '\n';
        // Not inside the event tap's callback: the dialog runs a loop of its own.
        if (notice->showHelp) {
            QTimer::singleShot(0, [&services] {
                services.sendAction(Selector::howToUseFromTrayWithSender, nullptr, nullptr);
            });
        }
    };
    typist.setBeforeTyping([&tell] { tell(macos::currentPermissions()); });

    const auto terminationSignals =
        qt::onTerminationSignal([&services] { services.terminate(nullptr); });

    QTimer::singleShot(0, [&] {
        delegate->applicationDidFinishLaunching();
        services.showStatusItems();
        // Without Input Monitoring no click would ever arrive to be a gesture, so this is judged
        // now; typing is judged at the first gesture, after the system's own prompt.
        tell({true, macos::currentPermissions().listening});
    });
    const int status = QApplication::exec();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
