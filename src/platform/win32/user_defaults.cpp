#include "platform/win32/registry.h"
#include "platform/win32/shell.h"
#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

// The user's settings under HKEY_CURRENT_USER\Software\Snaplark: each switch a DWORD, 1 or 0, the
// paused applications a string (REG_SZ). A value put there by hand as a string or a QWORD is read
// by the same rule as on every desktop; one of another type (binary, a list of strings) reads as
// an empty string, which is off, and no application paused.
// The key is opened for each read, so that a value written through any handle (the key made by
// that write included) is seen at once.
class RegistryDefaults final : public UserDefaults {
public:
    std::optional<PropertyValue> objectForKey(std::string_view key) override
    {
        return RegistryKey(settingsKeyPath, RegistryKey::Access::read).value(wide(key));
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

    void setString(const std::string& value, std::string_view key) override
    {
        RegistryKey writable(settingsKeyPath, RegistryKey::Access::create);
        writable.setString(wide(key), wide(value));
    }
};

}  // namespace

std::unique_ptr<UserDefaults> openRegistryDefaults()
{
    return std::make_unique<RegistryDefaults>();
}

std::unique_ptr<UserDefaults> Win32Services::open()
{
    return openRegistryDefaults();
}

}  // namespace snaplark::platform::win32
