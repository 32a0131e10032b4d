#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/property_value.h"
#include "platform/user_defaults.h"

namespace snaplark::platform::win32 {

// The agent's own key under HKEY_CURRENT_USER: the user's settings, and whether the first start's
// notice was shown.
inline constexpr wchar_t settingsKeyPath[] = L"Software\\Snaplark";

// The settings under settingsKeyPath, as the core reads and writes them.
std::unique_ptr<UserDefaults> openRegistryDefaults();

// An open registry key, closed when it goes.
class RegistryKey {
public:
    // Read access only where the key is only read: write access to a key can be refused (policy,
    // permissions) where reading is allowed. `create` makes the key when it is missing.
    enum class Access { read, write, create };
    // Opens the key under HKEY_CURRENT_USER.
    RegistryKey(const wchar_t* path, Access access);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool isOpen() const { return key_ != nullptr; }
    // The value's data: DWORD and QWORD as numbers, strings as UTF-8; nothing when absent.
    std::optional<PropertyValue> value(const std::wstring& name) const;
    // A binary value's bytes; nothing when absent or of another type.
    std::optional<std::vector<BYTE>> bytes(const std::wstring& name) const;
    bool setNumber(const std::wstring& name, DWORD number);
    bool setBytes(const std::wstring& name, const std::vector<BYTE>& data);
    bool setString(const std::wstring& name, const std::wstring& text);
    bool remove(const std::wstring& name);

private:
    HKEY key_ = nullptr;
};

}  // namespace snaplark::platform::win32
