// snaplark.com: the console's way to snaplark.exe. The agent is a windowed program, which a
// console does not wait for: its answer to --help or --version would come after the prompt is
// back. Typed without its extension, "snaplark" finds this console program first (PATHEXT lists
// .COM before .EXE); it starts snaplark.exe from beside itself with the same arguments and its own
// standard handles, and for --help and --version waits for the answer, which snaplark.exe writes
// on this console (AttachConsole to its parent), and returns its status. The agent itself is left
// running on its own.
#include <windows.h>

#include <string>
#include <string_view>

namespace {

// The command line after the program's name, as CommandLineToArgvW would split it off.
std::wstring_view argumentsOf(std::wstring_view line)
{
    std::size_t end = 0;
    if (!line.empty() && line[0] == L'"') {
        end = line.find(L'"', 1);
        end = end == std::wstring_view::npos ? line.size() : end + 1;
    } else {
        end = line.find_first_of(L" \t");
        if (end == std::wstring_view::npos) end = line.size();
    }
    return line.substr(end);
}

bool asksForAnAnswer(std::wstring_view arguments)
{
    for (std::wstring_view word : {L"--help", L"--version", L"/?"}) {
        const std::size_t at = arguments.find(word);
        const auto spaceOrEnd = [&](std::size_t i) {
            return i >= arguments.size() || arguments[i] == L' ';
        };
        if (at != std::wstring_view::npos && at > 0 && arguments[at - 1] == L' ' &&
            spaceOrEnd(at + word.size())) {
            return true;
        }
    }
    return false;
}

}  // namespace

int main()
{
    std::wstring program(MAX_PATH, L'\0');
    program.resize(GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
    const std::size_t dot = program.rfind(L'.');
    if (program.empty() || dot == std::wstring::npos) return 1;
    program.replace(dot, std::wstring::npos, L".exe");

    const std::wstring_view arguments = argumentsOf(GetCommandLineW());
    std::wstring command = L"\"" + program + L"\"" + std::wstring(arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION child{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &child)) {
        const std::string text = "snaplark: cannot start snaplark.exe beside snaplark.com\r\n";
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), text.data(), static_cast<DWORD>(text.size()),
                  &written, nullptr);
        return 1;
    }
    DWORD status = 0;
    if (asksForAnAnswer(arguments)) {
        WaitForSingleObject(child.hProcess, INFINITE);
        GetExitCodeProcess(child.hProcess, &status);
    }
    CloseHandle(child.hThread);
    CloseHandle(child.hProcess);
    return static_cast<int>(status);
}
