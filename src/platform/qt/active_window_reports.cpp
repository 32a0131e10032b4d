#include "platform/qt/active_window_reports.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QFile>
#include <QStandardPaths>
#include <iostream>

namespace snaplark::platform::qt {
namespace {

constexpr const char* plainChords = "so terminals get the plain chords there (Control + drag types "
                                    "Control+C, which interrupts their program)";

Problem noSource()
{
    return {"no-active-window",
            "This desktop does not say which window is active",
            "This desktop does not tell Snaplark which window is active, so a Control + drag in a "
            "terminal types Control+C, which interrupts its program. Switch the copy gesture off "
            "if you work in terminals.",
            {}};
}

QString shellOwner(const QDBusConnection& bus, const QString& name)
{
    const QDBusReply<QString> owner = bus.interface()->serviceOwner(name);
    return owner.isValid() ? owner.value() : QString();
}

}  // namespace

ActiveWindowReports::ActiveWindowReports(
    std::function<void(const std::string&, const std::string&)> report)
    : report_(std::move(report))
{
    extensionWait_.setSingleShot(true);
    connect(&extensionWait_, &QTimer::timeout, this, [this] {
        if (reported_) return;
        std::cerr << "snaplark: GNOME Shell tells which window is active only through Snaplark's "
                     "extension, "
                  << plainChords
                  << "; enable it with \"gnome-extensions enable snaplark@snaplark.example\" "
                     "(GNOME 45 and later) or \"gnome-extensions enable "
                     "snaplark-legacy@snaplark.example\" (GNOME 43 and 44), then log in again\n";
        setProblem(Problem{
            gnomeExtensionProblem, "Snaplark's GNOME extension is off",
            "GNOME Shell shows Snaplark's menu in the top bar, and tells it which window is "
            "active, only through Snaplark's extension; without it a Control + drag in a "
            "terminal types Control+C, which interrupts its program. Enable it with the button "
            "below, or with \"gnome-extensions enable snaplark@snaplark.example\" (GNOME 45 and "
            "later; snaplark-legacy@snaplark.example for GNOME 43 and 44). An extension installed "
            "since you logged in is loaded only after you log out and in again.",
            "Enable the GNOME extension"});
    });
}

ActiveWindowReports::~ActiveWindowReports()
{
    unloadKWinScript();
}

void ActiveWindowReports::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::cerr << "snaplark: no session bus, so the desktop cannot say which window is active; "
                  << plainChords << '\n';
        setProblem(noSource());
        return;
    }
    bus.registerObject(QString::fromLatin1(path), this,
                       QDBusConnection::ExportScriptableSlots |
                           QDBusConnection::ExportScriptableProperties);
    bus.registerService(QString::fromLatin1(service));
    const auto running = [&bus](const char* name) {
        return bus.interface()->isServiceRegistered(QString::fromLatin1(name)).value();
    };
    if (running("org.kde.KWin")) {
        if (!loadKWinScript()) {
            std::cerr << "snaplark: KWin did not take the script that tells which window is "
                         "active, "
                      << plainChords << '\n';
            setProblem(Problem{"kwin-script",
                               "KWin did not take Snaplark's script",
                               "KWin tells Snaplark which window is active only through a script "
                               "of Snaplark's, which KWin did not take; a Control + drag in a "
                               "terminal types Control+C, which interrupts its program. Switch "
                               "the copy gesture off if you work in terminals.",
                               {}});
        }
    } else if (running("org.gnome.Shell")) {
        // The extension reports as soon as it sees us on the bus.
        extensionWait_.start(5000);
    } else {
        std::cerr << "snaplark: this desktop does not say which window is active, " << plainChords
                  << "; switch the copy gesture off if you work in terminals\n";
        setProblem(noSource());
    }
}

void ActiveWindowReports::setProblem(std::optional<Problem> problem)
{
    problem_ = std::move(problem);
    if (changed_) changed_();
}

void ActiveWindowReports::enableGnomeExtension()
{
    // org.gnome.Shell.Extensions (GNOME Shell's D-Bus interface): ShellVersion tells which form
    // loads, EnableExtension turns it on for this user, as the Extensions application does.
    QDBusInterface extensions(QStringLiteral("org.gnome.Shell"), QStringLiteral("/org/gnome/Shell"),
                              QStringLiteral("org.gnome.Shell.Extensions"),
                              QDBusConnection::sessionBus());
    const QString version = extensions.property("ShellVersion").toString();
    const bool modules = version.section(QLatin1Char('.'), 0, 0).toInt() >= 45;
    const QString uuid = modules ? QStringLiteral("snaplark@snaplark.example")
                                 : QStringLiteral("snaplark-legacy@snaplark.example");
    const QDBusReply<bool> enabled = extensions.call(QStringLiteral("EnableExtension"), uuid);
    if (!enabled.isValid() || !enabled.value()) {
        std::cerr << "snaplark: GNOME Shell did not enable " << uuid.toStdString()
                  << "; if it was installed since you logged in, log out and in again\n";
    }
}

void ActiveWindowReports::Report(const QString& applicationId)
{
    ReportApplication(applicationId, {});
}

void ActiveWindowReports::ReportApplication(const QString& applicationId, const QString& name)
{
    if (!fromShell()) return;
    reported_ = true;
    if (problem_) setProblem(std::nullopt);
    active_ = applicationId;
    report_(applicationId.toStdString(), name.toStdString());
}

bool ActiveWindowReports::fromShell() const
{
    if (!calledFromDBus()) return true;
    const QString sender = message().service();
    for (const char* name : {"org.kde.KWin", "org.gnome.Shell"}) {
        if (shellOwner(connection(), QString::fromLatin1(name)) == sender) return true;
    }
    return false;
}

bool ActiveWindowReports::loadKWinScript()
{
    // KWin loads scripts from files; ours is in the resources, so it is written out for KWin.
    const QString file = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) +
                         QStringLiteral("/snaplark-kwin-active-window.js");
    QFile source(QStringLiteral(":/snaplark/kwin-active-window.js"));
    QFile target(file);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly)) return false;
    target.write(source.readAll());
    target.close();

    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"), bus);
    // A script left by an agent that did not stop cleanly has our plugin name, and KWin loads no
    // second script under one name.
    scripting.call(QStringLiteral("unloadScript"), QString::fromLatin1(kwinPlugin));
    const QDBusReply<int> id =
        scripting.call(QStringLiteral("loadScript"), file, QString::fromLatin1(kwinPlugin));
    if (!id.isValid() || id.value() < 0) return false;
    kwinLoaded_ = true;
    // KWin 6 puts a loaded script at /Scripting/Script<id>, KWin 5 at /<id> (KWin's scripting.cpp).
    for (const QString& object : {QStringLiteral("/Scripting/Script%1").arg(id.value()),
                                  QStringLiteral("/%1").arg(id.value())}) {
        const QDBusMessage run = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), object, QStringLiteral("org.kde.kwin.Script"),
            QStringLiteral("run"));
        if (bus.call(run, QDBus::Block, 5000).type() == QDBusMessage::ErrorMessage) continue;
        // KWin answers run only once the script has run, but with success also when it threw:
        // it then drops the script (KWin's Script::slotScriptLoadedFromFile), which shows here.
        const QDBusReply<bool> loaded =
            scripting.call(QStringLiteral("isScriptLoaded"), QString::fromLatin1(kwinPlugin));
        return loaded.isValid() && loaded.value();
    }
    return false;
}

void ActiveWindowReports::unloadKWinScript()
{
    if (!kwinLoaded_) return;
    QDBusInterface scripting(QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
                             QStringLiteral("org.kde.kwin.Scripting"),
                             QDBusConnection::sessionBus());
    scripting.call(QStringLiteral("unloadScript"), QString::fromLatin1(kwinPlugin));
    kwinLoaded_ = false;
}

}  // namespace snaplark::platform::qt
