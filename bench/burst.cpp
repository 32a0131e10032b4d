// Burst of left-button press/release pairs with random modifiers, sent through XTEST, checked
// against the running agent's diagnostic lines (and, when paced, the chords this client receives).
//   burst AGENT_OUTPUT PAIRS lines    as fast as XTEST allows; the agent's switches must be off
//   burst AGENT_OUTPUT PAIRS chords   each gesture waits for its chord before the next pair
// Prints one line: pairs, events per second, and whether every line and chord was as expected.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <poll.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "focused_window.h"
#include "gesture/modifier_flags.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Modifier {
    KeySym keysym;
    snaplark::ModifierFlags flag;  // how the agent reads it
};
constexpr std::array<Modifier, 4> modifiers{{
    {XK_Shift_L, snaplark::modifier::shift},
    {XK_Control_L, snaplark::modifier::command},
    {XK_Super_L, snaplark::modifier::control},
    {XK_Alt_L, snaplark::modifier::option},
}};

std::vector<std::string> linesFrom(const char* path, std::streamoff offset)
{
    std::ifstream in(path);
    in.seekg(offset);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::streamoff sizeOf(const char* path)
{
    std::ifstream in(path, std::ios::ate);
    return in ? static_cast<std::streamoff>(in.tellg()) : 0;
}

// Waits for a key press on the window other than a modifier (this client's own presses of those
// arrive here too); the keysym it had, or NoSymbol after the timeout.
KeySym nextKeyPress(Display* display, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != KeyPress) continue;
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (!IsModifierKey(key)) return key;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return NoSymbol;
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, static_cast<int>(left));
    }
}

// Waits until the chord's Control key is let go, the last event of a chord, so that the next pair
// does not land in the middle of it.
void awaitChordEnd(Display* display, int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Clock::now() < deadline) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type != KeyRelease) continue;
            const KeySym key = XLookupKeysym(&event.xkey, 0);
            if (key == XK_Control_L || key == XK_Control_R) return;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 10);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4 || (std::strcmp(argv[3], "lines") != 0 && std::strcmp(argv[3], "chords") != 0)) {
        std::fprintf(stderr, "usage: burst AGENT_OUTPUT PAIRS lines|chords\n");
        return 2;
    }
    const char* output = argv[1];
    const int pairs = std::atoi(argv[2]);
    const bool paced = std::strcmp(argv[3], "chords") == 0;

    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    openFocusedWindow(display, 300, 300, KeyPressMask | KeyReleaseMask);
    std::array<KeyCode, 4> keycodes{};
    for (std::size_t i = 0; i < modifiers.size(); ++i)
        keycodes[i] = XKeysymToKeycode(display, modifiers[i].keysym);
    XSync(display, False);

    std::mt19937 random(2026);
    std::vector<std::string> expected;
    int gestures = 0, chordsOk = 0;
    const std::streamoff offset = sizeOf(output);
    const auto start = Clock::now();
    for (int pair = 0; pair < pairs; ++pair) {
        const unsigned held = random() % 16;
        snaplark::ModifierFlags flags = 0;
        for (std::size_t i = 0; i < modifiers.size(); ++i) {
            if (held & (1u << i)) {
                XTestFakeKeyEvent(display, keycodes[i], True, CurrentTime);
                flags |= modifiers[i].flag;
            }
        }
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        for (std::size_t i = modifiers.size(); i-- > 0;) {
            if (held & (1u << i)) XTestFakeKeyEvent(display, keycodes[i], False, CurrentTime);
        }
        const snaplark::ModifierRow& row = snaplark::classifyModifiers(flags);
        expected.emplace_back(row.line);
        expected.emplace_back(row.line);
        const bool paste = row.number == snaplark::pasteRowNumber;
        const bool copy = row.number == snaplark::copyRowNumber;
        if (paced) {
            XSync(display, False);
            if (paste || copy) {
                ++gestures;
                if (nextKeyPress(display, 2000) == (paste ? XK_v : XK_c)) ++chordsOk;
                awaitChordEnd(display, 2000);
            }
        } else if (pair % 64 == 0) {
            XFlush(display);
        }
    }
    XSync(display, False);

    // Every event gives one line: wait until they are all there, or until none has come for 2 s.
    std::vector<std::string> lines;
    auto lastGrowth = Clock::now();
    while (Clock::now() - lastGrowth < std::chrono::seconds(2)) {
        std::vector<std::string> now = linesFrom(output, offset);
        if (now.size() > lines.size()) lastGrowth = Clock::now();
        lines = std::move(now);
        if (lines.size() >= expected.size()) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto finished = lines.size() >= expected.size() ? Clock::now() : lastGrowth;
    const double seconds = std::chrono::duration<double>(finished - start).count();
    // No chord may come unasked: anything still arriving is one too many.
    const bool strayChord = nextKeyPress(display, paced ? 200 : 0) != NoSymbol;
    const bool linesOk = lines == expected;
    for (std::size_t i = 0; !linesOk && i < expected.size(); ++i) {
        if (i >= lines.size() || lines[i] != expected[i]) {
            std::fprintf(stderr, "burst: line %zu of %zu: expected \"%s\", got \"%s\"\n", i + 1,
                         expected.size(), expected[i].c_str(),
                         i < lines.size() ? lines[i].c_str() : "(none)");
            break;
        }
    }
    std::printf("pairs=%d events_per_s=%.0f lines=%s got=%zu", pairs, 2 * pairs / seconds,
                linesOk ? "all-in-order" : "MISMATCH", lines.size());
    if (paced)
        std::printf(" gestures=%d chords=%d%s", gestures, chordsOk,
                    strayChord ? " STRAY-CHORD" : "");
    std::printf("\n");
    XCloseDisplay(display);
    return linesOk && chordsOk == gestures && !strayChord ? 0 : 1;
}
