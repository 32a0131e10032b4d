#include "platform/evdev/wayland_session.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>

#include "platform/evdev/keymap_keys.h"
#include "platform/terminal_rule.h"

namespace snaplark::platform::evdev {
namespace {

// The wlroots foreign-toplevel protocol (version 3), declared here as wayland-scanner would:
// Debian ships no copy of its description.
extern const wl_interface toplevelHandleInterface;
const wl_interface* noTypes[] = {nullptr, nullptr, nullptr, nullptr, nullptr};
const wl_interface* handleTypes[] = {&toplevelHandleInterface};
const wl_interface* seatTypes[] = {&wl_seat_interface};
const wl_interface* outputTypes[] = {&wl_output_interface};
const wl_interface* rectangleTypes[] = {&wl_surface_interface, nullptr, nullptr, nullptr, nullptr};

const wl_message managerRequests[] = {{"stop", "", noTypes}};
const wl_message managerEvents[] = {{"toplevel", "n", handleTypes}, {"finished", "", noTypes}};
const wl_interface managerInterface = {
    "zwlr_foreign_toplevel_manager_v1", 3, 1, managerRequests, 2, managerEvents};

const wl_message handleRequests[] = {
    {"set_maximized", "", noTypes},
    {"unset_maximized", "", noTypes},
    {"set_minimized", "", noTypes},
    {"unset_minimized", "", noTypes},
    {"activate", "o", seatTypes},
    {"close", "", noTypes},
    {"set_rectangle", "oiiii", rectangleTypes},
    {"destroy", "", noTypes},
    {"set_fullscreen", "2?o", outputTypes},
    {"unset_fullscreen", "2", noTypes},
};
const wl_message handleEvents[] = {
    {"title", "s", noTypes},
    {"app_id", "s", noTypes},
    {"output_enter", "o", outputTypes},
    {"output_leave", "o", outputTypes},
    {"state", "a", noTypes},
    {"done", "", noTypes},
    {"closed", "", noTypes},
    {"parent", "3?o", handleTypes},
};
const wl_interface toplevelHandleInterface = {
    "zwlr_foreign_toplevel_handle_v1", 3, 10, handleRequests, 8, handleEvents};

constexpr std::uint32_t handleDestroy = 7;
constexpr std::uint32_t activatedState = 2;

struct ManagerListener {
    void (*toplevel)(void* data, wl_proxy* manager, wl_proxy* handle);
    void (*finished)(void* data, wl_proxy* manager);
};

struct HandleListener {
    void (*title)(void* data, wl_proxy* handle, const char* title);
    void (*appId)(void* data, wl_proxy* handle, const char* appId);
    void (*outputEnter)(void* data, wl_proxy* handle, wl_proxy* output);
    void (*outputLeave)(void* data, wl_proxy* handle, wl_proxy* output);
    void (*state)(void* data, wl_proxy* handle, wl_array* state);
    void (*done)(void* data, wl_proxy* handle);
    void (*closed)(void* data, wl_proxy* handle);
    void (*parent)(void* data, wl_proxy* handle, wl_proxy* parent);
};

class Session final : public WaylandSession {
public:
    explicit Session(wl_display* display) : display_(display)
    {
        registry_ = wl_display_get_registry(display_);
        wl_registry_add_listener(registry_, &registryListener, this);
        // Globals first, then what binding them sent (the keymap, the windows).
        wl_display_roundtrip(display_);
        wl_display_roundtrip(display_);
    }

    ~Session() override
    {
        for (auto& [handle, window] : windows_) {
            wl_proxy_marshal(handle, handleDestroy);
            wl_proxy_destroy(handle);
        }
        if (manager_) wl_proxy_destroy(manager_);
        if (keyboard_) wl_keyboard_destroy(keyboard_);
        if (seat_) wl_seat_destroy(seat_);
        wl_registry_destroy(registry_);
        wl_display_disconnect(display_);
    }

    int fileDescriptor() const override { return wl_display_get_fd(display_); }

    void dispatch() override
    {
        while (wl_display_prepare_read(display_) != 0)
            wl_display_dispatch_pending(display_);
        wl_display_flush(display_);
        pollfd in{wl_display_get_fd(display_), POLLIN, 0};
        if (::poll(&in, 1, 0) > 0) {
            wl_display_read_events(display_);
        } else {
            wl_display_cancel_read(display_);
        }
        wl_display_dispatch_pending(display_);
    }

    bool failed() const override { return wl_display_get_error(display_) != 0; }

    std::optional<ChordKeys> chordKeys() const override { return keys_; }

    TerminalKind activeTerminalKind() const override
    {
        const std::string id = activeApplicationId();
        return id.empty() ? TerminalKind::none : terminalKindOf(id, id);
    }

    std::string activeApplicationId() const override
    {
        for (const auto& [handle, window] : windows_) {
            if (window.active) return window.appId;
        }
        return {};
    }

    bool knowsActiveWindow() const override { return manager_ != nullptr; }

private:
    struct Window {
        std::string appId;
        bool active = false;
        // What the events since the last `done` said; they take effect together.
        std::string nextAppId;
        bool nextActive = false;
    };

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version)
    {
        auto* self = static_cast<Session*>(data);
        if (std::strcmp(interface, wl_seat_interface.name) == 0 && self->seat_ == nullptr) {
            self->seat_ = static_cast<wl_seat*>(
                wl_registry_bind(registry, name, &wl_seat_interface, std::min(version, 5u)));
            wl_seat_add_listener(self->seat_, &seatListener, self);
        } else if (std::strcmp(interface, managerInterface.name) == 0 && !self->manager_) {
            self->manager_ = static_cast<wl_proxy*>(
                wl_registry_bind(registry, name, &managerInterface, std::min(version, 3u)));
            wl_proxy_add_listener(
                self->manager_,
                reinterpret_cast<void (**)(void)>(const_cast<ManagerListener*>(&managerListener)),
                self);
        }
    }
    static void globalRemove(void*, wl_registry*, std::uint32_t) {}

    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps)
    {
        auto* self = static_cast<Session*>(data);
        if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) != 0 && self->keyboard_ == nullptr) {
            self->keyboard_ = wl_seat_get_keyboard(seat);
            wl_keyboard_add_listener(self->keyboard_, &keyboardListener, self);
        }
    }
    static void seatName(void*, wl_seat*, const char*) {}

    static void keymap(void* data, wl_keyboard*, std::uint32_t format, int fd, std::uint32_t size)
    {
        auto* self = static_cast<Session*>(data);
        if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
            void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (text != MAP_FAILED) {
                // The text ends in a NUL within `size`.
                const std::string copy(static_cast<const char*>(text), size - 1);
                ::munmap(text, size);
                if (const auto keys = chordKeysOfKeymap(copy.c_str())) self->keys_ = keys;
            }
        }
        ::close(fd);
    }
    static void enter(void*, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {}
    static void leave(void*, wl_keyboard*, std::uint32_t, wl_surface*) {}
    static void key(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t)
    {
    }
    static void modifiers(void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t,
                          std::uint32_t, std::uint32_t)
    {
    }
    static void repeatInfo(void*, wl_keyboard*, std::int32_t, std::int32_t) {}

    static void toplevel(void* data, wl_proxy*, wl_proxy* handle)
    {
        auto* self = static_cast<Session*>(data);
        self->windows_.emplace(handle, Window{});
        wl_proxy_add_listener(
            handle, reinterpret_cast<void (**)(void)>(const_cast<HandleListener*>(&handleListener)),
            self);
    }
    static void finished(void* data, wl_proxy*)
    {
        auto* self = static_cast<Session*>(data);
        wl_proxy_destroy(self->manager_);
        self->manager_ = nullptr;
    }

    Window* windowOf(wl_proxy* handle)
    {
        const auto found = windows_.find(handle);
        return found == windows_.end() ? nullptr : &found->second;
    }
    static void title(void*, wl_proxy*, const char*) {}
    static void appId(void* data, wl_proxy* handle, const char* appId)
    {
        if (Window* w = static_cast<Session*>(data)->windowOf(handle)) w->nextAppId = appId;
    }
    static void outputEnter(void*, wl_proxy*, wl_proxy*) {}
    static void outputLeave(void*, wl_proxy*, wl_proxy*) {}
    static void state(void* data, wl_proxy* handle, wl_array* states)
    {
        Window* w = static_cast<Session*>(data)->windowOf(handle);
        if (w == nullptr) return;
        const auto* begin = static_cast<const std::uint32_t*>(states->data);
        const auto* end = begin + states->size / sizeof(std::uint32_t);
        w->nextActive = std::find(begin, end, activatedState) != end;
    }
    static void done(void* data, wl_proxy* handle)
    {
        if (Window* w = static_cast<Session*>(data)->windowOf(handle)) {
            w->appId = w->nextAppId;
            w->active = w->nextActive;
        }
    }
    static void closed(void* data, wl_proxy* handle)
    {
        static_cast<Session*>(data)->windows_.erase(handle);
        wl_proxy_marshal(handle, handleDestroy);
        wl_proxy_destroy(handle);
    }
    static void parent(void*, wl_proxy*, wl_proxy*) {}

    static constexpr wl_registry_listener registryListener{global, globalRemove};
    static constexpr wl_seat_listener seatListener{capabilities, seatName};
    static constexpr wl_keyboard_listener keyboardListener{keymap, enter,     leave,
                                                           key,    modifiers, repeatInfo};
    static constexpr ManagerListener managerListener{toplevel, finished};
    static constexpr HandleListener handleListener{title, appId, outputEnter, outputLeave,
                                                   state, done,  closed,      parent};

    wl_display* display_;
    wl_registry* registry_ = nullptr;
    wl_seat* seat_ = nullptr;
    wl_keyboard* keyboard_ = nullptr;
    wl_proxy* manager_ = nullptr;
    std::optional<ChordKeys> keys_;
    std::unordered_map<wl_proxy*, Window> windows_;
};

}  // namespace

std::unique_ptr<WaylandSession> WaylandSession::connect()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) return nullptr;
    return std::make_unique<Session>(display);
}

}  // namespace snaplark::platform::evdev
