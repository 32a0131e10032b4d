#pragma once

#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "platform/input_desktop.h"

namespace snaplark::platform::qt {

// The active window's application id where the compositor does not tell ordinary clients: a
// script the agent loads into KWin (KDE Plasma 5 and 6), or Snaplark's GNOME Shell extension,
// reports it over the session bus to this object. Reports are taken only from the desktop's own
// shell (the owner of KWin's or GNOME Shell's bus name), so no other program can make a terminal
// look like something else.
class ActiveWindowReports : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "example.snaplark.ActiveWindow")
    // What the desktop last reported, for whoever wants to see what the agent goes by.
    Q_PROPERTY(QString ActiveApplication READ activeApplication SCRIPTABLE true)

public:
    static constexpr const char* service = "example.snaplark.Snaplark";
    static constexpr const char* path = "/example/snaplark/ActiveWindow";
    static constexpr const char* kwinPlugin = "snaplark-active-window";

    // `report` hears the application id and, where the desktop tells it, its name.
    explicit ActiveWindowReports(
        std::function<void(const std::string& id, const std::string& name)> report);
    ~ActiveWindowReports() override;

    // Offers the object on the session bus and asks the desktop for reports; says once on
    // standard error when none will come, and how to get them.
    void start();
    QString activeApplication() const { return active_; }

    // Why terminals get the plain chords, while that lasts; `changed` hears when it begins and
    // ends.
    std::optional<Problem> problem() const { return problem_; }
    void setChangedHandler(std::function<void()> changed) { changed_ = std::move(changed); }
    // Asks GNOME Shell to enable Snaplark's extension, the form its version loads.
    static void enableGnomeExtension();
    static constexpr const char* gnomeExtensionProblem = "gnome-extension";

public Q_SLOTS:
    Q_SCRIPTABLE void Report(const QString& applicationId);
    // The same with the name the desktop shows for the application (GNOME's extension).
    Q_SCRIPTABLE void ReportApplication(const QString& applicationId, const QString& name);

private:
    bool loadKWinScript();
    void unloadKWinScript();
    bool fromShell() const;
    void setProblem(std::optional<Problem> problem);

    std::function<void(const std::string&, const std::string&)> report_;
    bool kwinLoaded_ = false;
    bool reported_ = false;
    QString active_;
    QTimer extensionWait_;
    std::optional<Problem> problem_;
    std::function<void()> changed_;
};

}  // namespace snaplark::platform::qt
