#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "platform/property_value.h"

namespace snaplark::platform::win32 {

// An open registry key, closed when it goes.
class RegistryKey {
public:
    // Opens the key under HKEY_CURRENT_USER; `create` makes it when it is missing.
    RegistryKey(const wchar_t* path, bool create);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool isOpen() const { return key_ != nullptr; }
    // The value's data: DWORD and QWORD as numbers, strings as UTF-8; nothing when absent.
    std::optional<PropertyValue> value(const std::wstring& name) const;
    bool setNumber(const std::wstring& name, DWORD number);
    bool setString(const std::wstring& name, const std::wstring& text);
    bool remove(const std::wstring& name);

private:
    HKEY key_ = nullptr;
};

}  // namespace snaplark::platform::win32
