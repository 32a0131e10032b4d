// A client window for the desktop tests: it takes the keyboard focus and prints every key event it
// receives with the modifier state the server gave it, one flushed line each:
//   ready 0xWINDOW
//   keypress KEYSYM state=0xN      keyrelease KEYSYM state=0xN
// With --keymap it prints the keys down on the keyboard instead and exits.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void printKeymap(Display* display)
{
    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::printf("down");
    for (int k = 0; k < 256; ++k) {
        if ((keys[k / 8] >> (k % 8)) & 1) {
            const KeySym sym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(k), 0, 0);
            const char* name = XKeysymToString(sym);
            std::printf(" %s", name ? name : std::to_string(k).c_str());
        }
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string className = "KeyRecorder";
    int x = 100, y = 100;
    bool keymap = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc)
            className = argv[++i];
        else if (std::strcmp(argv[i], "--at") == 0 && i + 2 < argc) {
            x = std::atoi(argv[++i]);
            y = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--keymap") == 0)
            keymap = true;
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "key_recorder: cannot open display\n");
        return 1;
    }
    if (keymap) {
        printKeymap(display);
        XCloseDisplay(display);
        return 0;
    }

    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), x, y, 300, 200,
                                              0, 0, WhitePixel(display, DefaultScreen(display)));
    XClassHint hint{};
    std::string instance = className;
    for (char& c : instance)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    hint.res_name = instance.data();
    hint.res_class = className.data();
    XSetClassHint(display, window, &hint);
    XStoreName(display, window, "key recorder");
    XSelectInput(display, window, KeyPressMask | KeyReleaseMask | StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) break;
    }
    XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    std::printf("ready 0x%lx\n", window);
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease) continue;
        const KeySym sym =
            XkbKeycodeToKeysym(display, static_cast<KeyCode>(event.xkey.keycode), 0, 0);
        const char* name = XKeysymToString(sym);
        std::printf("%s %s state=0x%x\n", event.type == KeyPress ? "keypress" : "keyrelease",
                    name ? name : "?", event.xkey.state & 0xff);
        std::fflush(stdout);
    }
}
