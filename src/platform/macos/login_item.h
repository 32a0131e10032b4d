#pragma once

#include <string>

namespace snaplark::platform::macos {

// Starting Snaplark at login. From macOS 13 the application registers itself as the main app's
// login item (SMAppService), which the user sees and can switch off under System Settings,
// General, Login Items; on older systems a LaunchAgent in ~/Library/LaunchAgents starts it.
class LoginItem {
public:
    // `launchAgentPath` is the agent's plist, `executable` the program it starts.
    LoginItem(std::string launchAgentPath, std::string executable);

    // Whether Snaplark will start at the next login: registered and not awaiting the user's
    // approval, or the LaunchAgent is there.
    bool enabled() const;
    // On failure says why on standard error and returns false.
    bool setEnabled(bool enabled);

private:
    std::string launchAgentPath_;
    std::string executable_;
};

}  // namespace snaplark::platform::macos
