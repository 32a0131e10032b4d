#include "platform/win32/autostart.h"

#include <windows.h>

#include <string>

#include "platform/win32/registry.h"
#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

constexpr wchar_t runKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Where Settings' "Startup apps" and Task Manager's Startup tab keep their switch for each Run
// value. Microsoft does not document its layout; as observed publicly, the first byte is even
// (02, 06) when the value may run and odd (03) when the user switched it off, and the rest is
// the time of the change. A value written by a program alone has no entry and runs.
constexpr wchar_t approvedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
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

std::wstring_view trimmed(std::wstring_view text)
{
    while (!text.empty() && (text.front() == L' ' || text.front() == L'"'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'"'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

bool runValueNames(std::wstring_view command, std::wstring_view program)
{
    const std::wstring_view path = trimmed(command);
    // CompareStringOrdinal with bIgnoreCase: the file system's own case-insensitive comparison.
    return !path.empty() &&
           CompareStringOrdinal(path.data(), static_cast<int>(path.size()), program.data(),
                                static_cast<int>(program.size()), TRUE) == CSTR_EQUAL;
}

bool approvedToRun(const std::optional<std::vector<std::uint8_t>>& state)
{
    return !state || state->empty() || ((*state)[0] & 1) == 0;
}

bool startsAtLogin()
{
    const RegistryKey run(runKey, RegistryKey::Access::read);
    const auto command = run.value(valueName);
    const auto* text = command ? std::get_if<std::string>(&*command) : nullptr;
    if (text == nullptr || !runValueNames(wide(*text), thisProgram())) return false;
    const RegistryKey approved(approvedKey, RegistryKey::Access::read);
    return approvedToRun(approved.bytes(valueName));
}

bool setStartsAtLogin(bool start)
{
    if (!start) {
        RegistryKey run(runKey, RegistryKey::Access::write);
        return !run.isOpen() || run.remove(valueName) || !startsAtLogin();
    }
    RegistryKey run(runKey, RegistryKey::Access::create);
    // Quoted: the path may hold blanks ("Program Files").
    if (!run.setString(valueName, L"\"" + thisProgram() + L"\"")) return false;
    // Ticking the box is the user's say-so: a switch-off left in Startup apps is lifted.
    RegistryKey approved(approvedKey, RegistryKey::Access::write);
    if (approved.isOpen() && !approvedToRun(approved.bytes(valueName))) {
        std::vector<BYTE> enabled(12, 0);
        enabled[0] = 2;
        approved.setBytes(valueName, enabled);
    }
    return startsAtLogin();
}

}  // namespace snaplark::platform::win32
