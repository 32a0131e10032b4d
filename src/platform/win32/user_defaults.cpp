#include "platform/win32/registry.h"
#include "platform/win32/shell.h"
#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

// The user's settings under HKEY_CURRENT_USER\Software\Snaplark: each switch a DWORD, 1 or 0. A
// value put there by hand as a string or a QWORD is read by the same rule as on every desktop.
class RegistryDefaults final : public UserDefaults {
public:
    RegistryDefaults() : key_(settingsKeyPath, RegistryKey::Access::read) {}

    std::optional<PropertyValue> objectForKey(std::string_view key) override
    {
        return key_.value(wide(key));
    }

    bool boolForKey(std::string_view key) override
    {
        const auto value = objectForKey(key);
        return value && boolFromValue(*value);
    }

    void setBool(bool value, std::string_view key) override
    {
        RegistryKey writable(settingsKeyPath, RegistryKey::Access::create);
        writable.setNumber(wide(key), value ? 1 : 0);
    }

private:
    RegistryKey key_;
};

}  // namespace

std::unique_ptr<UserDefaults> Win32Services::open()
{
    return std::make_unique<RegistryDefaults>();
}

}  // namespace snaplark::platform::win32
