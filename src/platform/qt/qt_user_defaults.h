#pragma once

#include "platform/user_defaults.h"

namespace snaplark::platform::qt {

// The agent's settings in a file of Qt's native format: on Linux ~/.config/Snaplark/Snaplark.conf.
class SettingsFileStore final : public UserDefaultsStore {
public:
    std::unique_ptr<UserDefaults> open() override;
};

}  // namespace snaplark::platform::qt
