#pragma once

#include <QString>

namespace snaplark::platform::qt {

// Starting the agent at login, where the desktop keeps such entries: the XDG autostart folder
// ($XDG_CONFIG_HOME/autostart) holds a copy of the installed desktop entry. It is not one of the
// agent's settings; the entry's presence is the whole state.
class Autostart {
public:
    // `desktopFileName` is the installed entry's name, such as example.snaplark.Snaplark.desktop.
    explicit Autostart(QString desktopFileName) : fileName_(std::move(desktopFileName)) {}

    bool enabled() const;
    // Adds or removes the entry; on failure says why on standard error and returns false.
    bool setEnabled(bool enabled);

private:
    QString entryPath() const;
    QString fileName_;
};

}  // namespace snaplark::platform::qt
