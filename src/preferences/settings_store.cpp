#include "preferences/settings_store.h"

namespace snaplark {

void refreshSwitchFromSettings(platform::UserDefaults& defaults, std::string_view key, bool& field)
{
    if (defaults.objectForKey(key).has_value()) field = defaults.boolForKey(key);
}

}  // namespace snaplark
