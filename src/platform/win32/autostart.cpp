#include "platform/win32/autostart.h"

#include <string>

#include "platform/win32/registry.h"

namespace snaplark::platform::win32 {
namespace {

constexpr wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring valueName = L"Snaplark";

std::wstring thisProgram()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace

bool startsAtLogin()
{
    const RegistryKey key(runKey, false);
    return key.value(valueName).has_value();
}

bool setStartsAtLogin(bool start)
{
    RegistryKey key(runKey, start);
    if (!start) return !key.isOpen() || key.remove(valueName) || !startsAtLogin();
    // Quoted: the path may hold blanks ("Program Files").
    return key.setString(valueName, L"\"" + thisProgram() + L"\"");
}

}  // namespace snaplark::platform::win32
