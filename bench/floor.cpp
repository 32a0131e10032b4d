// The floor for reaction latency: the least a program can do to answer a Control + left-button
// release with a C key, observing with RECORD and typing with XTEST and nothing else (no settings,
// no focus look, no modifiers handled). The agent is measured against it in the same harness.
// With --look it first asks, in one batch waited for once, what the agent's chord needs to know
// (focus, keys down, XKB state): the floor for any program that must look before it types.
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <xcb/record.h>
#include <xcb/xcb.h>
// The XKB protocol header names a field `explicit`.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void look(xcb_connection_t* c)
{
    const auto focus = xcb_get_input_focus(c);
    const auto keymap = xcb_query_keymap(c);
    const auto state = xcb_xkb_get_state(c, XCB_XKB_ID_USE_CORE_KBD);
    std::free(xcb_get_input_focus_reply(c, focus, nullptr));
    std::free(xcb_query_keymap_reply(c, keymap, nullptr));
    std::free(xcb_xkb_get_state_reply(c, state, nullptr));
}

}  // namespace

int main(int argc, char** argv)
{
    const bool looks = argc > 1 && std::strcmp(argv[1], "--look") == 0;
    Display* typing = XOpenDisplay(nullptr);
    xcb_connection_t* recording = xcb_connect(nullptr, nullptr);
    if (typing == nullptr || xcb_connection_has_error(recording)) {
        std::fprintf(stderr, "floor: cannot open display\n");
        return 1;
    }
    const KeyCode c = XKeysymToKeycode(typing, XK_c);
    xcb_connection_t* asking = XGetXCBConnection(typing);
    if (looks) {
        xcb_xkb_use_extension_reply_t* use =
            xcb_xkb_use_extension_reply(asking, xcb_xkb_use_extension(asking, 1, 0), nullptr);
        std::free(use);
    }
    const xcb_record_context_t context = xcb_generate_id(recording);
    xcb_record_range_t range{};
    range.device_events.first = ButtonRelease;
    range.device_events.last = ButtonRelease;
    const xcb_record_client_spec_t clients = XCB_RECORD_CS_ALL_CLIENTS;
    xcb_record_create_context(recording, context, 0, 1, 1, &clients, &range);
    const auto cookie = xcb_record_enable_context(recording, context);
    xcb_flush(recording);
    std::printf("ready\n");
    std::fflush(stdout);
    while (auto* reply = xcb_record_enable_context_reply(recording, cookie, nullptr)) {
        const std::uint8_t* data = xcb_record_enable_context_data(reply);
        const int length = xcb_record_enable_context_data_length(reply);
        for (int at = 0; reply->category == 0 && at + 32 <= length; at += 32) {
            xEvent event;
            std::memcpy(&event, data + at, sizeof event);
            if ((event.u.u.type & 0x7f) == ButtonRelease && event.u.u.detail == 1 &&
                (event.u.keyButtonPointer.state & ControlMask) != 0) {
                if (looks) look(asking);
                XTestFakeKeyEvent(typing, c, True, CurrentTime);
                XTestFakeKeyEvent(typing, c, False, CurrentTime);
                XFlush(typing);
            }
        }
        std::free(reply);
    }
    return 0;
}
