// The process entry's platform half on Windows: the agent's window and message loop, with the
// hooks for mouse observation and SendInput for keystrokes.
#include "platform/application_main.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/package_version.h"
#include "platform/win32/shell.h"
#include "platform/win32/single_instance.h"

namespace snaplark::platform {
namespace {

constexpr int exitFailure = 1;

bool hasArgument(int argc, char** argv, const char* wanted)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], wanted) == 0) return true;
    }
    return false;
}

// Whether the stream is a file or a pipe the user redirected it to (`snaplark.exe > lines.txt`);
// a console handle inherited from the terminal the agent was started from is not.
bool redirected(DWORD stream)
{
    const HANDLE handle = GetStdHandle(stream);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    const DWORD type = GetFileType(handle);
    return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// --version and --help answer on the console they were started from. The agent itself never
// attaches to it: "CTRL+CLOSE Signal" terminates every process attached to a console when it is
// closed, whatever their handlers return, and Ctrl+C typed there reaches them all too. A windowed
// program that stays unattached hears neither; its lines go only where they were redirected.
void answerOnParentConsole()
{
    if (redirected(STD_OUTPUT_HANDLE) || !AttachConsole(ATTACH_PARENT_PROCESS)) return;
    FILE* ignored = nullptr;
    freopen_s(&ignored, "CONOUT$", "w", stdout);
}

// Standard error is invisible to a user who started the agent from the Start menu or at login:
// an error they must see is shown in a message box there, and written where stderr was
// redirected.
void reportError(const char* text)
{
    if (redirected(STD_ERROR_HANDLE)) {
        std::cerr << "snaplark: " << text << "\n";
        return;
    }
    std::wstring message;
    for (const char* c = text; *c != '\0'; ++c)
        message += static_cast<wchar_t>(static_cast<unsigned char>(*c));
    MessageBoxW(nullptr, message.c_str(), L"Snaplark", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
}

}  // namespace

int applicationMain(int argc, char** argv, const ApplicationModule& module)
{
    // One diagnostic line per click: whoever reads them reads them as they happen.
    std::cout << std::unitbuf;
    const bool version = hasArgument(argc, argv, "--version");
    const bool help = hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "/?");
    if (version || help) answerOnParentConsole();
    if (version) {
        std::cout << "snaplark " << packageShortVersion << " (build " << packageBuildVersion
                  << ")\n";
        return 0;
    }
    if (help) {
        std::cout << "usage: snaplark.exe\n"
                     "\n"
                     "Copy and paste with the mouse in any window:\n"
                     "  release the left button while holding Ctrl          types Copy\n"
                     "  press it while holding Ctrl and Shift               types Paste\n"
                     "The notification icon's menu suspends the gestures, switches each one on or\n"
                     "off and explains them.\n";
        return 0;
    }

    const win32::SingleInstance instance;
    if (!instance.claimed()) {
        reportError("another Snaplark is already running in this session");
        return exitFailure;
    }

    ClassRegistry classes;
    win32::Win32Services services(classes);
    if (services.window() == nullptr) {
        reportError("cannot create the agent's window");
        return exitFailure;
    }
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());
    delegate->applicationDidFinishLaunching();
    services.greetOnFirstStart();
    if (!services.desktop().startObserving()) {
        reportError("Windows refused the mouse or keyboard hook; the menu works, gestures do not");
    }
    const int status = services.run();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
