#pragma once

#include <map>
#include <string>

namespace snaplark::platform::evdev {

// What people call an application known by its Wayland application id: the Name of its desktop
// entry (<id>.desktop in the XDG data folders' applications/, as desktops find it), else the
// id's last part ("org.gnome.Ptyxis" is "Ptyxis"). Looked up once per id.
class ApplicationNames {
public:
    const std::string& of(const std::string& id);
    // The desktop named it itself.
    void set(const std::string& id, const std::string& name) { names_[id] = name; }

private:
    std::map<std::string, std::string> names_;
};

}  // namespace snaplark::platform::evdev
