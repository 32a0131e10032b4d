#pragma once

#include <QDBusArgument>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>

namespace snaplark::platform::qt {

class QtServices;

// One entry of the status menu as the bus carries it: (sbbb) — its label (empty for a separator),
// whether it can be chosen, whether it has a check mark and whether the mark is on.
struct StatusMenuEntry {
    QString label;
    bool enabled = false;
    bool checkable = false;
    bool checked = false;
};
QDBusArgument& operator<<(QDBusArgument& out, const StatusMenuEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& in, StatusMenuEntry& entry);

// The status menu and icon state on the session bus, for a desktop shell that draws them itself:
// Snaplark's GNOME Shell extension puts them in the top bar where no tray runs, as on stock GNOME.
// Entries are chosen only by GNOME Shell itself (the owner of its bus name), as the reports of
// the active window are taken only from it.
class StatusMenuExport final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.snaplark.StatusMenu")
    Q_PROPERTY(bool Suspended READ suspended SCRIPTABLE true)
    Q_PROPERTY(QString ToolTip READ toolTip SCRIPTABLE true)

public:
    static constexpr const char* path = "/example/snaplark/StatusMenu";

    explicit StatusMenuExport(QtServices& services);
    // Offers the object on the session bus, under the agent's name.
    void start();

    bool suspended() const;
    QString toolTip() const;
    // Whether the shell shows our icon; `changed` hears when that changes.
    bool iconShown() const { return iconShown_; }
    void setIconShownHandler(std::function<void()> changed) { iconChanged_ = std::move(changed); }

public Q_SLOTS:
    Q_SCRIPTABLE QList<snaplark::platform::qt::StatusMenuEntry> Entries() const;
    Q_SCRIPTABLE void Activate(int index);
    // The shell opened or closed its menu: clicks meanwhile are in our menu, not gestures.
    Q_SCRIPTABLE void MenuShown(bool shown);
    // The shell shows our icon, or no longer does.
    Q_SCRIPTABLE void IconShown(bool shown);

Q_SIGNALS:
    Q_SCRIPTABLE void Changed();

private:
    bool fromShell() const;

    QtServices& services_;
    bool iconShown_ = false;
    std::function<void()> iconChanged_;
};

}  // namespace snaplark::platform::qt

Q_DECLARE_METATYPE(snaplark::platform::qt::StatusMenuEntry)
