// A client for the desktop tests, one flushed line per event:
//   key_recorder [CLASS [--child]]  a window that takes the focus: "ready 0xWINDOW", then
//                                   "keypress KEYSYM state=0xN" for each key press it receives
//                                   (--child: the focus goes to an inner window without WM_CLASS)
//   key_recorder --keymap           prints "down" and the keys down on the keyboard
//   key_recorder --lock-group N     locks the keyboard in XKB group N
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <string>

namespace {

// The group's first level: what a shortcut of that layout matches.
const char* keysymName(Display* display, unsigned keycode, int group)
{
    const char* name =
        XKeysymToString(XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), group, 0));
    return name ? name : "?";
}

void printKeymap(Display* display)
{
    char keys[32] = {};
    XQueryKeymap(display, keys);
    std::printf("down");
    for (unsigned k = 0; k < 256; ++k) {
        if ((keys[k / 8] >> (k % 8)) & 1) std::printf(" %s", keysymName(display, k, 0));
    }
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string mode = argc > 1 ? argv[1] : "KeyRecorder";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) return 1;
    // The one-shot modes close the display: the sanitizer build counts what is left open.
    if (mode == "--keymap" || mode == "--lock-group") {
        if (mode == "--keymap") printKeymap(display);
        if (mode == "--lock-group" && argc > 2) {
            XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(std::stoi(argv[2])));
        }
        XCloseDisplay(display);
        return 0;
    }

    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 300,
                                              200, 0, 0, WhitePixel(display, 0));
    std::string className = mode;
    XClassHint hint{className.data(), className.data()};
    XSetClassHint(display, window, &hint);
    // Buttons too, as any application: the press then holds the implicit grab for its release.
    XSelectInput(display, window,
                 KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask);
    XMapWindow(display, window);
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != MapNotify);
    Window focus = window;
    if (argc > 2) {
        focus = XCreateSimpleWindow(display, window, 0, 0, 300, 200, 0, 0, WhitePixel(display, 0));
        XSelectInput(display, focus, KeyPressMask);
        XMapWindow(display, focus);
    }
    XSetInputFocus(display, focus, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    std::printf("ready 0x%lx\n", window);
    for (;;) {
        XNextEvent(display, &event);
        if (event.type != KeyPress) continue;
        const int group = static_cast<int>((event.xkey.state >> 13) & 3);
        std::printf("keypress %s state=0x%x\n", keysymName(display, event.xkey.keycode, group),
                    event.xkey.state & 0xff);
    }
}
