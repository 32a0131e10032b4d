#pragma once

#include <QString>
#include <functional>

namespace snaplark::platform::qt {

// Starting the agent at login, where the desktop keeps such entries: the XDG autostart folder
// ($XDG_CONFIG_HOME/autostart) holds a copy of the installed desktop entry. It is not one of the
// agent's settings; the entry's presence is the whole state.
class Autostart {
public:
    // `desktopFileName` is the installed entry's name, such as example.snaplark.Snaplark.desktop.
    explicit Autostart(QString desktopFileName) : fileName_(std::move(desktopFileName)) {}
    // Where the system keeps login items its own way (macOS): its state and its switch.
    Autostart(std::function<bool()> enabled, std::function<bool(bool)> setEnabled)
        : systemEnabled_(std::move(enabled)), systemSetEnabled_(std::move(setEnabled))
    {
    }

    bool enabled() const;
    // Adds or removes the entry; on failure says why on standard error and returns false.
    bool setEnabled(bool enabled);

private:
    QString entryPath() const;
    QString fileName_;
    std::function<bool()> systemEnabled_;
    std::function<bool(bool)> systemSetEnabled_;
};

}  // namespace snaplark::platform::qt
