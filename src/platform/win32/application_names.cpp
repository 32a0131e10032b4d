#include "platform/win32/application_names.h"

#include <cwchar>
#include <memory>
#include <vector>

#include "platform/win32/text.h"

namespace snaplark::platform::win32 {
namespace {

// A program seen once is named from the cache; a bound keeps a long session's cache small.
constexpr std::size_t largestCache = 256;

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using Handle = std::unique_ptr<void, HandleCloser>;

// LCMapStringEx: LCMAP_LOWERCASE without LCMAP_LINGUISTIC_CASING lowers by "file system rules",
// the ones file names are compared by.
std::wstring lowerCase(std::wstring_view text)
{
    if (text.empty()) return {};
    const int length = static_cast<int>(text.size());
    const int size = LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length,
                                   nullptr, 0, nullptr, nullptr, 0);
    if (size <= 0) return std::wstring(text);
    std::wstring lower(static_cast<std::size_t>(size), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, text.data(), length, lower.data(), size,
                  nullptr, nullptr, 0);
    return lower;
}

// Control characters (a tab would split a stored line) become spaces; spaces at either end go.
std::wstring oneLine(std::wstring text)
{
    for (wchar_t& c : text) {
        if (c < L' ' || c == 0x7F) c = L' ';
    }
    const auto first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos) return {};
    return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

// QueryFullProcessImageNameW needs a handle with PROCESS_QUERY_LIMITED_INFORMATION: the least
// right that reads it ("Process Security and Access Rights" lists the function under it), and the
// one query right not refused even on a protected process. Another account's process may refuse
// it: no application is known then. The size is in characters, and comes back as written.
std::optional<std::wstring> imageOf(DWORD processId)
{
    const Handle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return std::nullopt;
    for (DWORD capacity = MAX_PATH; capacity <= 32768; capacity *= 4) {
        std::wstring path(capacity, L'\0');
        DWORD size = capacity;
        if (QueryFullProcessImageNameW(process.get(), 0, path.data(), &size)) {
            path.resize(size);
            return path;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
    }
    return std::nullopt;
}

// The FileDescription of the program's version resource, in the user's language where a MUI file
// has it (FILE_VER_GET_LOCALISED): from the first string table the resource's translation array
// names, else from US English's (Unicode, then Windows Latin 1), the tables most programs have.
std::optional<std::wstring> descriptionOf(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeExW(FILE_VER_GET_LOCALISED, path.c_str(), &ignored);
    if (size == 0) return std::nullopt;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoExW(FILE_VER_GET_LOCALISED, path.c_str(), 0, size, block.data()))
        return std::nullopt;
    std::vector<std::wstring> tables;
    void* translations = nullptr;
    UINT bytes = 0;
    // "\VarFileInfo\Translation": language and code page pairs of WORDs, the table's name being
    // both in hexadecimal.
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translations, &bytes) &&
        bytes >= 2 * sizeof(WORD)) {
        const auto* pair = static_cast<const WORD*>(translations);
        wchar_t name[9] = {};
        std::swprintf(name, std::size(name), L"%04x%04x", pair[0], pair[1]);
        tables.emplace_back(name);
    }
    tables.emplace_back(L"040904b0");
    tables.emplace_back(L"040904e4");
    for (const std::wstring& table : tables) {
        const std::wstring key = L"\\StringFileInfo\\" + table + L"\\FileDescription";
        void* text = nullptr;
        UINT length = 0;  // in characters, for a string value
        if (VerQueryValueW(block.data(), key.c_str(), &text, &length) && length > 0) {
            std::wstring description(static_cast<const wchar_t*>(text), length);
            description.resize(std::wcslen(description.c_str()));
            if (!oneLine(description).empty()) return description;
        }
    }
    return std::nullopt;
}

bool endsWithExe(std::wstring_view file)
{
    return file.size() > 4 && lowerCase(file.substr(file.size() - 4)) == L".exe";
}

}  // namespace

ActiveApplication applicationFromImage(std::wstring_view imagePath,
                                       std::optional<std::wstring> description)
{
    const auto slash = imagePath.find_last_of(L"\\/");
    const std::wstring_view file =
        slash == std::wstring_view::npos ? imagePath : imagePath.substr(slash + 1);
    const std::wstring id = oneLine(lowerCase(file));
    if (id.empty()) return {};
    std::wstring name = description ? oneLine(*description) : std::wstring();
    if (name.empty())
        name = oneLine(std::wstring(endsWithExe(file) ? file.substr(0, file.size() - 4) : file));
    if (name.empty()) name = id;
    return {utf8(id), utf8(name)};
}

ActiveApplication applicationOfProgram(const std::wstring& imagePath)
{
    return applicationFromImage(imagePath, descriptionOf(imagePath));
}

ActiveApplication ApplicationNames::of(HWND window)
{
    DWORD processId = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &processId) == 0 ||
        processId == GetCurrentProcessId()) {
        return {};
    }
    const auto image = imageOf(processId);
    if (!image) return {};
    if (const auto found = byImage_.find(*image); found != byImage_.end()) return found->second;
    if (byImage_.size() >= largestCache) byImage_.clear();
    return byImage_.emplace(*image, applicationOfProgram(*image)).first->second;
}

}  // namespace snaplark::platform::win32
