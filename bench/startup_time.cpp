// Start-up time: from exec of the program given to the moment a window of it is mapped inside the
// tray's panel (the icon embedded). Prints milliseconds. The tray (trayer) must already run.
//   startup_time PROGRAM [ARGS...]
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

Window findPanel(Display* display, Window window)
{
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
        const bool panel = std::strcmp(name, "panel") == 0;
        XFree(name);
        if (panel) return window;
    }
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count)) {
        for (unsigned i = 0; i < count && !found; ++i)
            found = findPanel(display, children[i]);
        if (children) XFree(children);
    }
    return found;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_time PROGRAM [ARGS...]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    const Window panel = findPanel(display, DefaultRootWindow(display));
    if (!panel) {
        std::fprintf(stderr, "startup_time: no tray panel\n");
        return 1;
    }
    XSelectInput(display, panel, SubstructureNotifyMask);
    XSync(display, False);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        execvp(argv[1], argv + 1);
        _exit(127);
    }
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) break;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    std::printf("%.1f\n", std::chrono::duration<double, std::milli>(elapsed).count());
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
    XCloseDisplay(display);
    return 0;
}
