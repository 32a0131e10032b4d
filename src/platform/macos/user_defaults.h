#pragma once

#include <memory>

#include "platform/macos/permissions.h"
#include "platform/user_defaults.h"

namespace snaplark::platform::macos {

// The application's domain of the user defaults, the bundle identifier, as `defaults read
// example.snaplark.Snaplark` shows it: that one domain only, never the global domain behind it.
inline constexpr const char* defaultsDomain = "example.snaplark.Snaplark";
// Where earlier builds kept the switches (Qt derives com.<organization>.<application>): read
// once for a key the new domain does not hold, and carried over.
inline constexpr const char* earlierDefaultsDomain = "com.snaplark.Snaplark";

// Every handle shares the store's state: the choices that could not be saved, and the keys
// already looked up in the earlier domain. The same domain keeps the install notes.
class UserDefaultsStore final : public platform::UserDefaultsStore, public InstallNotes {
public:
    UserDefaultsStore();
    ~UserDefaultsStore() override;
    UserDefaultsStore(const UserDefaultsStore&) = delete;
    UserDefaultsStore& operator=(const UserDefaultsStore&) = delete;

    std::unique_ptr<UserDefaults> open() override;
    std::string note(std::string_view key) override;
    void setNote(std::string_view key, const std::string& value) override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace snaplark::platform::macos
