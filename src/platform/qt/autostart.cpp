#include "platform/qt/autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <iostream>

namespace snaplark::platform::qt {
namespace {

void report(const QString& message)
{
    std::cerr << "snaplark: " << message.toStdString() << '\n';
}

// An entry for an agent that was not installed (started from its build folder): it starts this
// very program.
QByteArray entryForThisProgram()
{
    QString exec = QCoreApplication::applicationFilePath();
    exec.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Snaplark\n"
                          "Comment=Copy and paste with the mouse\n"
                          "Exec=\"%1\"\n"
                          "Icon=example.snaplark.Snaplark\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec)
        .toUtf8();
}

}  // namespace

QString Autostart::entryPath() const
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + fileName_;
}

bool Autostart::enabled() const
{
    if (systemEnabled_) return systemEnabled_();
    const QString path = entryPath();
    if (!QFile::exists(path)) return false;
    // An entry the user's desktop has switched off is there but does not start anything.
    QSettings entry(path, QSettings::IniFormat);
    entry.beginGroup(QStringLiteral("Desktop Entry"));
    return entry.value(QStringLiteral("Hidden")).toString() != QStringLiteral("true") &&
           entry.value(QStringLiteral("X-GNOME-Autostart-enabled")).toString() !=
               QStringLiteral("false");
}

bool Autostart::setEnabled(bool enabled)
{
    if (systemSetEnabled_) return systemSetEnabled_(enabled);
    const QString path = entryPath();
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            report(QStringLiteral("cannot remove %1").arg(path));
            return false;
        }
        return true;
    }
    QByteArray contents = entryForThisProgram();
    const QString installed =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, fileName_);
    if (!installed.isEmpty()) {
        QFile source(installed);
        if (source.open(QIODevice::ReadOnly)) contents = source.readAll();
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) != contents.size() ||
        !file.commit()) {
        report(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}

}  // namespace snaplark::platform::qt
