#include "platform/evdev/application_names.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace snaplark::platform::evdev {
namespace {

// The data folders in freedesktop.org's base directory order: the user's, then the system's.
std::vector<std::string> dataFolders()
{
    std::vector<std::string> folders;
    const char* home = std::getenv("XDG_DATA_HOME");
    const char* user = std::getenv("HOME");
    if (home && *home) {
        folders.emplace_back(home);
    } else if (user && *user) {
        folders.push_back(std::string(user) + "/.local/share");
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::istringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
    for (std::string folder; std::getline(list, folder, ':');) {
        if (!folder.empty()) folders.push_back(folder);
    }
    return folders;
}

// The unlocalized Name of the [Desktop Entry] group of freedesktop.org's desktop entry format.
std::string entryName(const std::string& path)
{
    std::ifstream file(path);
    bool inEntry = false;
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
        } else if (inEntry && line.rfind("Name=", 0) == 0) {
            return line.substr(5);
        }
    }
    return {};
}

}  // namespace

const std::string& ApplicationNames::of(const std::string& id)
{
    if (const auto found = names_.find(id); found != names_.end()) return found->second;
    std::string name;
    // An id with a slash or a leading dot names no file of a folder of entries.
    if (id.find('/') == std::string::npos && !id.empty() && id.front() != '.') {
        for (const std::string& folder : dataFolders()) {
            name = entryName(folder + "/applications/" + id + ".desktop");
            if (!name.empty()) break;
        }
    }
    if (name.empty()) name = id.substr(id.rfind('.') == std::string::npos ? 0 : id.rfind('.') + 1);
    if (name.empty()) name = id;
    return names_.emplace(id, name).first->second;
}

}  // namespace snaplark::platform::evdev
