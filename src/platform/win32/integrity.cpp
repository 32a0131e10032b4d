#include "platform/win32/integrity.h"

#include <optional>
#include <vector>

namespace snaplark::platform::win32 {
namespace {

// The mandatory label's level (SECURITY_MANDATORY_MEDIUM_RID and so on) of the process's token:
// GetTokenInformation's TokenIntegrityLevel is a TOKEN_MANDATORY_LABEL whose SID's last
// sub-authority is the level.
std::optional<DWORD> integrityLevel(HANDLE process)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
    DWORD size = 0;
    GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    std::optional<DWORD> level;
    if (size >= sizeof(TOKEN_MANDATORY_LABEL) &&
        GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
        const PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
        level = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1U);
    }
    CloseHandle(token);
    return level;
}

}  // namespace

bool runsAboveUs(HWND window)
{
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0 ||
        processId == GetCurrentProcessId()) {
        return false;
    }
    static const std::optional<DWORD> ours = integrityLevel(GetCurrentProcess());
    if (!ours || *ours >= SECURITY_MANDATORY_HIGH_RID) return false;
    // The least access that opens a token: OpenProcessToken needs PROCESS_QUERY_LIMITED_INFORMATION
    // of the process, which Windows grants on a process of any level, and TOKEN_QUERY of the
    // token. "To get a handle to an elevated process from within a non-elevated process, both
    // processes must be started from the same account": a token we may not read belongs to a
    // program elevated with another account's password, which is above us too.
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (process == nullptr) return false;
    const std::optional<DWORD> theirs = integrityLevel(process);
    const bool denied = !theirs && GetLastError() == ERROR_ACCESS_DENIED;
    CloseHandle(process);
    return theirs ? *theirs > *ours : denied;
}

}  // namespace snaplark::platform::win32
