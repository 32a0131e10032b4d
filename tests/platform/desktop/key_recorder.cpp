// A client window for the desktop tests: it takes the keyboard focus and prints every key event it
// receives with the modifier state the server gave it, one flushed line each:
//   ready 0xWINDOW
//   keypress KEYSYM state=0xN      keyrelease KEYSYM state=0xN
// With --keymap it prints the keys down on the keyboard instead and exits. With --raw it opens no
// window and prints every key press of the whole server, whoever has the focus:
//   rawpress KEYSYM
// With --lock-group N it locks the keyboard in XKB group N (0 to 3) and exits.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>

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

const char* keysymName(Display* display, unsigned keycode, unsigned state)
{
    // The active group's first level: what a shortcut of that layout matches.
    const int group = static_cast<int>((state >> 13) & 3);
    const KeySym sym = XkbKeycodeToKeysym(display, static_cast<KeyCode>(keycode), group, 0);
    const char* name = XKeysymToString(sym);
    return name ? name : "?";
}

int watchRawKeys(Display* display)
{
    int opcode = 0, event = 0, error = 0;
    if (!XQueryExtension(display, "XInputExtension", &opcode, &event, &error)) return 1;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    std::printf("ready raw\n");
    std::fflush(stdout);
    for (;;) {
        XEvent e;
        XNextEvent(display, &e);
        if (e.xcookie.type != GenericEvent || e.xcookie.extension != opcode) continue;
        if (!XGetEventData(display, &e.xcookie)) continue;
        const auto* raw = static_cast<const XIRawEvent*>(e.xcookie.data);
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        std::printf("rawpress %s\n", keysymName(display, static_cast<unsigned>(raw->detail),
                                                static_cast<unsigned>(state.group) << 13));
        std::fflush(stdout);
        XFreeEventData(display, &e.xcookie);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    std::string className = "KeyRecorder";
    int x = 100, y = 100;
    bool keymap = false;
    bool raw = false;
    int lockGroup = -1;
    bool child = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--class") == 0 && i + 1 < argc)
            className = argv[++i];
        else if (std::strcmp(argv[i], "--at") == 0 && i + 2 < argc) {
            x = std::atoi(argv[++i]);
            y = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--keymap") == 0)
            keymap = true;
        else if (std::strcmp(argv[i], "--raw") == 0)
            raw = true;
        else if (std::strcmp(argv[i], "--child") == 0)
            child = true;
        else if (std::strcmp(argv[i], "--lock-group") == 0 && i + 1 < argc)
            lockGroup = std::atoi(argv[++i]);
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
    if (raw) return watchRawKeys(display);
    if (lockGroup >= 0) {
        XkbLockGroup(display, XkbUseCoreKbd, static_cast<unsigned>(lockGroup));
        XSync(display, False);
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
    // Buttons too, as any application: the press then holds the implicit grab for its release.
    XSelectInput(display, window,
                 KeyPressMask | KeyReleaseMask | ButtonPressMask | ButtonReleaseMask |
                     StructureNotifyMask);
    XMapWindow(display, window);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type == MapNotify) break;
    }
    // With --child the focus goes to a window inside it that has no WM_CLASS of its own, as in
    // toolkits that focus an inner window.
    Window focus = window;
    if (child) {
        focus = XCreateSimpleWindow(display, window, 0, 0, 300, 200, 0, 0,
                                    WhitePixel(display, DefaultScreen(display)));
        XSelectInput(display, focus, KeyPressMask | KeyReleaseMask);
        XMapWindow(display, focus);
        XSync(display, False);
    }
    XSetInputFocus(display, focus, RevertToPointerRoot, CurrentTime);
    XSync(display, False);
    std::printf("ready 0x%lx\n", window);
    std::fflush(stdout);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease) continue;
        std::printf("%s %s state=0x%x\n", event.type == KeyPress ? "keypress" : "keyrelease",
                    keysymName(display, event.xkey.keycode, event.xkey.state),
                    event.xkey.state & 0xff);
        std::fflush(stdout);
    }
}
