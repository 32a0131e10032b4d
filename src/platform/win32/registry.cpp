#include "platform/win32/registry.h"

#include <cstring>
#include <vector>

#include "platform/win32/text.h"

namespace snaplark::platform::win32 {

RegistryKey::RegistryKey(const wchar_t* path, Access access)
{
    HKEY key = nullptr;
    const REGSAM rights = access == Access::read ? KEY_READ : KEY_READ | KEY_WRITE;
    const LSTATUS status = access == Access::create
                               ? RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, rights,
                                                 nullptr, &key, nullptr)
                               : RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, rights, &key);
    if (status == ERROR_SUCCESS) key_ = key;
}

RegistryKey::~RegistryKey()
{
    if (key_ != nullptr) RegCloseKey(key_);
}

std::optional<PropertyValue> RegistryKey::value(const std::wstring& name) const
{
    if (key_ == nullptr) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size + sizeof(wchar_t));
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    switch (type) {
    case REG_DWORD: {
        DWORD number = 0;
        if (size >= sizeof number) std::memcpy(&number, data.data(), sizeof number);
        return static_cast<std::uint64_t>(number);
    }
    case REG_QWORD: {
        std::uint64_t number = 0;
        if (size >= sizeof number) std::memcpy(&number, data.data(), sizeof number);
        return number;
    }
    case REG_SZ:
    case REG_EXPAND_SZ: {
        std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        return utf8(text);
    }
    default:
        // Binary and list values are no switch anyone meant: they read as off.
        return std::string();
    }
}

std::optional<std::vector<BYTE>> RegistryKey::bytes(const std::wstring& name) const
{
    if (key_ == nullptr) return std::nullopt;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_BINARY) {
        return std::nullopt;
    }
    std::vector<BYTE> data(size);
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    data.resize(size);
    return data;
}

bool RegistryKey::setBytes(const std::wstring& name, const std::vector<BYTE>& data)
{
    return key_ != nullptr && RegSetValueExW(key_, name.c_str(), 0, REG_BINARY, data.data(),
                                             static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegistryKey::setNumber(const std::wstring& name, DWORD number)
{
    return key_ != nullptr &&
           RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

bool RegistryKey::setString(const std::wstring& name, const std::wstring& text)
{
    return key_ != nullptr &&
           RegSetValueExW(key_, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RegistryKey::remove(const std::wstring& name)
{
    return key_ != nullptr && RegDeleteValueW(key_, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace snaplark::platform::win32
