#include "platform/qt/status_menu_export.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QMenu>
#include <QTimer>

#include "platform/qt/active_window_reports.h"
#include "platform/qt/qt_services.h"

namespace snaplark::platform::qt {

QDBusArgument& operator<<(QDBusArgument& out, const StatusMenuEntry& entry)
{
    out.beginStructure();
    out << entry.label << entry.enabled << entry.checkable << entry.checked;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, StatusMenuEntry& entry)
{
    in.beginStructure();
    in >> entry.label >> entry.enabled >> entry.checkable >> entry.checked;
    in.endStructure();
    return in;
}

StatusMenuExport::StatusMenuExport(QtServices& services) : services_(services)
{
    qDBusRegisterMetaType<StatusMenuEntry>();
    qDBusRegisterMetaType<QList<StatusMenuEntry>>();
    services_.setStatusChangedHandler([this] { emit Changed(); });
}

void StatusMenuExport::start()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    bus.registerObject(QString::fromLatin1(path), this,
                       QDBusConnection::ExportScriptableSlots |
                           QDBusConnection::ExportScriptableSignals |
                           QDBusConnection::ExportScriptableProperties);
    bus.registerService(QString::fromLatin1(ActiveWindowReports::service));
}

bool StatusMenuExport::suspended() const
{
    return services_.suspended();
}

QString StatusMenuExport::toolTip() const
{
    return services_.notice();
}

QList<StatusMenuEntry> StatusMenuExport::Entries() const
{
    QList<StatusMenuEntry> entries;
    if (QMenu* menu = services_.statusMenu()) {
        for (const QAction* action : menu->actions()) {
            entries.push_back({action->isSeparator() ? QString() : action->text(),
                               action->isEnabled() && !action->isSeparator(), action->isCheckable(),
                               action->isChecked()});
        }
    }
    return entries;
}

void StatusMenuExport::Activate(int index)
{
    QMenu* menu = services_.statusMenu();
    if (!fromShell() || menu == nullptr || index < 0 || index >= menu->actions().size()) return;
    QAction* action = menu->actions().at(index);
    // After the call returns: the entry may open a dialog, which runs a loop of its own.
    if (!action->isSeparator() && action->isEnabled()) {
        QTimer::singleShot(0, action, &QAction::trigger);
    }
}

void StatusMenuExport::MenuShown(bool shown)
{
    if (!fromShell()) return;
    QMenu* menu = services_.statusMenu();
    // As a menu Qt shows itself: the entries say what they would do now, and clicks meanwhile
    // are ours.
    if (shown && menu != nullptr) {
        emit menu->aboutToShow();
    } else {
        services_.menuShown(shown);
    }
}

void StatusMenuExport::IconShown(bool shown)
{
    if (!fromShell() || shown == iconShown_) return;
    iconShown_ = shown;
    if (iconChanged_) iconChanged_();
}

bool StatusMenuExport::fromShell() const
{
    if (!calledFromDBus()) return true;
    const auto owner = connection().interface()->serviceOwner(QStringLiteral("org.gnome.Shell"));
    return owner.isValid() && owner.value() == message().service();
}

}  // namespace snaplark::platform::qt
