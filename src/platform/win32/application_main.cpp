// The process entry's platform half on Windows: the agent's window and message loop, with the
// hooks for mouse observation and SendInput for keystrokes.
#include "platform/application_main.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iostream>

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

// A windowed program has no console of its own. Output redirected to a file or pipe is inherited
// as it is; started from a console, the lines go to that console.
void connectStandardStreams()
{
    const auto usable = [](DWORD stream) {
        const HANDLE handle = GetStdHandle(stream);
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    };
    if (usable(STD_OUTPUT_HANDLE) && usable(STD_ERROR_HANDLE)) return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        FILE* ignored = nullptr;
        if (!usable(STD_OUTPUT_HANDLE)) freopen_s(&ignored, "CONOUT$", "w", stdout);
        if (!usable(STD_ERROR_HANDLE)) freopen_s(&ignored, "CONOUT$", "w", stderr);
    }
}

}  // namespace

int applicationMain(int argc, char** argv, const ApplicationModule& module)
{
    connectStandardStreams();
    // One diagnostic line per click: whoever reads them reads them as they happen.
    std::cout << std::unitbuf;
    if (hasArgument(argc, argv, "--version")) {
        std::cout << "snaplark " << packageShortVersion << " (build " << packageBuildVersion
                  << ")\n";
        return 0;
    }
    if (hasArgument(argc, argv, "--help") || hasArgument(argc, argv, "/?")) {
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
        std::cerr << "snaplark: another Snaplark is already running in this session\n";
        return exitFailure;
    }

    ClassRegistry classes;
    win32::Win32Services services(classes);
    if (services.window() == nullptr) {
        std::cerr << "snaplark: cannot create the agent's window\n";
        return exitFailure;
    }
    module.registerClasses(classes, services.platform());
    auto delegate = module.makeDelegate(services.platform());
    services.setDelegate(delegate.get());
    delegate->applicationDidFinishLaunching();
    if (!services.desktop().startObserving()) {
        std::cerr << "snaplark: Windows refused the mouse hook; the menu works, gestures do not\n";
    }
    const int status = services.run();
    services.setDelegate(nullptr);
    delegate.reset();
    return status;
}

}  // namespace snaplark::platform
