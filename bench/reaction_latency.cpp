// Reaction latency of a running agent: from the moment the injected left-button release has been
// sent (XSync returned) to the moment this client's focused window receives the resulting key
// press. Prints one line per run: count, median, 99th percentile, maximum and 90th percentile in
// microseconds; with REACTION_SAMPLES=FILE it also appends every sample to FILE.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "focused_window.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for a key press of `key` on the window; false after the timeout.
bool waitForKeyPress(Display* display, KeySym key, int timeoutMs, Clock::time_point& when)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == KeyPress && XLookupKeysym(&event.xkey, 0) == key) {
                when = Clock::now();
                return true;
            }
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return false;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left.count()));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int gestures = argc > 1 ? std::atoi(argv[1]) : 200;
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "reaction_latency: cannot open display\n");
        return 1;
    }
    openFocusedWindow(display, 200, 200, KeyPressMask);
    const KeyCode control = XKeysymToKeycode(display, XK_Control_L);
    XSync(display, False);

    std::vector<double> micros;
    int missed = 0;  // gestures with no Control+C within a second
    for (int i = 0; i < gestures; ++i) {
        XTestFakeKeyEvent(display, control, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        const auto sent = Clock::now();
        Clock::time_point received;
        const bool arrived = waitForKeyPress(display, XK_c, 1000, received);
        XTestFakeKeyEvent(display, control, False, CurrentTime);
        XSync(display, False);
        if (!arrived) {
            ++missed;
            continue;
        }
        micros.push_back(std::chrono::duration<double, std::micro>(received - sent).count());
    }
    if (micros.empty()) {
        std::fprintf(stderr, "reaction_latency: no gesture was answered with Control+C\n");
        return 1;
    }
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) { return micros[static_cast<std::size_t>(q * (micros.size() - 1))]; };
    std::printf("gestures=%d missed=%d median_us=%.0f p99_us=%.0f max_us=%.0f p90_us=%.0f\n",
                gestures, missed, at(0.5), at(0.99), micros.back(), at(0.9));
    if (const char* raw = std::getenv("REACTION_SAMPLES")) {
        // Every sample, for pooling runs that were interleaved with other programs' runs.
        if (FILE* out = std::fopen(raw, "a")) {
            for (double m : micros)
                std::fprintf(out, "%.1f\n", m);
            std::fclose(out);
        }
    }
    XCloseDisplay(display);
    return 0;
}
