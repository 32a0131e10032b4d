#include "preferences/settings_store.h"

#include <sstream>

namespace snaplark {

void refreshSwitchFromSettings(platform::UserDefaults& defaults, std::string_view key, bool& field)
{
    if (defaults.objectForKey(key).has_value()) field = defaults.boolForKey(key);
}

std::vector<platform::ActiveApplication> pausedApplications(platform::UserDefaults& defaults)
{
    std::vector<platform::ActiveApplication> applications;
    const auto value = defaults.objectForKey(pausedApplicationsKey);
    const auto* text = value ? std::get_if<std::string>(&*value) : nullptr;
    if (text == nullptr) return applications;
    std::istringstream lines(*text);
    for (std::string entry; std::getline(lines, entry);) {
        if (!entry.empty() && entry.back() == '\r') entry.pop_back();
        const auto tab = entry.find('\t');
        std::string id = entry.substr(0, tab);
        if (id.empty()) continue;
        std::string name = tab == std::string::npos ? id : entry.substr(tab + 1);
        applications.push_back({std::move(id), std::move(name)});
    }
    return applications;
}

void setPausedApplications(platform::UserDefaults& defaults,
                           const std::vector<platform::ActiveApplication>& applications)
{
    // A tab or line break would split an entry; none belongs in an id or a name.
    const auto clean = [](std::string text) {
        for (char& c : text) {
            if (c == '\t' || c == '\n' || c == '\r') c = ' ';
        }
        return text;
    };
    std::string text;
    for (const auto& application : applications)
        text += clean(application.id) + '\t' + clean(application.name) + '\n';
    defaults.setString(text, pausedApplicationsKey);
}

}  // namespace snaplark
