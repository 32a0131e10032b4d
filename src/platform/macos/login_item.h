#pragma once

namespace snaplark::platform::macos {

// Starting Snaplark at login: the application registers itself as the main app's login item
// (SMAppService, macOS 13, the oldest system the bundle opens on), which the user sees and can
// switch off under System Settings, General, Login Items.
class LoginItem {
public:
    // Whether Snaplark will start at the next login: registered and not awaiting approval.
    bool enabled() const;
    // Registered, but it starts only once the user allows it under Login Items.
    bool awaitingApproval() const;
    // On failure says why on standard error and returns false. A registration that awaits the
    // user's approval opens the Login Items settings, where it is given.
    bool setEnabled(bool enabled);
};

}  // namespace snaplark::platform::macos
