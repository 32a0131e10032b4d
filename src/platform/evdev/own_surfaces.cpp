#include "platform/evdev/own_surfaces.h"

#include <linux/input-event-codes.h>
#include <wayland-client.h>

#include <cstring>
#include <list>
#include <utility>

namespace snaplark::platform::evdev {
namespace {

// Version 3 has every event needed (button) and the release request; nothing newer is asked for.
constexpr std::uint32_t seatVersion = 3;

class Buttons final : public OwnSurfaceButtons {
public:
    Buttons(wl_display* display, std::function<void()> pressed)
        : display_(display), pressed_(std::move(pressed)), queue_(wl_display_create_queue(display))
    {
        // The globals are read on a queue of our own, so that the toolkit's thread dispatches
        // none of it half-made; the objects then move to the default queue, which the toolkit
        // dispatches, and with it our listeners.
        auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display_));
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue_);
        registry_ = wl_display_get_registry(wrapper);
        wl_proxy_wrapper_destroy(wrapper);
        wl_registry_add_listener(registry_, &registryListener, this);
        // The globals, then each seat's capabilities.
        wl_display_roundtrip_queue(display_, queue_);
        wl_display_roundtrip_queue(display_, queue_);
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(registry_), nullptr);
        for (Seat& seat : seats_) {
            wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(seat.seat), nullptr);
            if (seat.pointer)
                wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(seat.pointer), nullptr);
        }
        wl_display_dispatch_queue_pending(display_, queue_);
        wl_display_flush(display_);
    }

    ~Buttons() override
    {
        for (Seat& seat : seats_)
            forget(seat);
        wl_registry_destroy(registry_);
        wl_display_flush(display_);
        wl_event_queue_destroy(queue_);
    }

private:
    struct Seat {
        Buttons* owner;
        std::uint32_t name;
        wl_seat* seat;
        wl_pointer* pointer = nullptr;
    };

    static void forget(Seat& seat)
    {
        if (seat.pointer) wl_pointer_release(seat.pointer);
        wl_seat_destroy(seat.seat);
    }

    static void global(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                       std::uint32_t version)
    {
        if (std::strcmp(interface, wl_seat_interface.name) != 0 || version < seatVersion) return;
        auto* self = static_cast<Buttons*>(data);
        auto* seat = static_cast<wl_seat*>(
            wl_registry_bind(registry, name, &wl_seat_interface, seatVersion));
        Seat& added = self->seats_.emplace_back(Seat{self, name, seat});
        wl_seat_add_listener(seat, &seatListener, &added);
    }

    static void globalRemove(void* data, wl_registry* /*registry*/, std::uint32_t name)
    {
        auto* self = static_cast<Buttons*>(data);
        self->seats_.remove_if([name](Seat& seat) {
            if (seat.name != name) return false;
            forget(seat);
            return true;
        });
    }

    static void capabilities(void* data, wl_seat* seat, std::uint32_t caps)
    {
        auto* s = static_cast<Seat*>(data);
        const bool hasPointer = (caps & WL_SEAT_CAPABILITY_POINTER) != 0;
        if (hasPointer && !s->pointer) {
            s->pointer = wl_seat_get_pointer(seat);
            wl_pointer_add_listener(s->pointer, &pointerListener, s->owner);
        } else if (!hasPointer && s->pointer) {
            wl_pointer_release(s->pointer);
            s->pointer = nullptr;
        }
    }

    static void button(void* data, wl_pointer* /*pointer*/, std::uint32_t /*serial*/,
                       std::uint32_t /*time*/, std::uint32_t button, std::uint32_t state)
    {
        if (button == BTN_LEFT && state == WL_POINTER_BUTTON_STATE_PRESSED) {
            static_cast<Buttons*>(data)->pressed_();
        }
    }

    static constexpr wl_registry_listener registryListener{global, globalRemove};
    static constexpr wl_seat_listener seatListener{capabilities,
                                                   [](void*, wl_seat*, const char*) {}};
    // libwayland calls a listener's entry without checking it, so each event the seat's version
    // sends has one; version 3 sends these five. Newer libwayland adds entries for later
    // versions' events, which stay empty.
    static constexpr wl_pointer_listener pointerListener = [] {
        wl_pointer_listener listener{};
        listener.enter = [](void*, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t,
                            wl_fixed_t) {};
        listener.leave = [](void*, wl_pointer*, std::uint32_t, wl_surface*) {};
        listener.motion = [](void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {};
        listener.button = button;
        listener.axis = [](void*, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {};
        return listener;
    }();

    wl_display* display_;
    std::function<void()> pressed_;
    wl_event_queue* queue_;
    wl_registry* registry_ = nullptr;
    std::list<Seat> seats_;  // a list: listeners hold pointers to its elements
};

}  // namespace

std::unique_ptr<OwnSurfaceButtons> OwnSurfaceButtons::listen(wl_display* display,
                                                             std::function<void()> pressed)
{
    if (display == nullptr) return nullptr;
    return std::make_unique<Buttons>(display, std::move(pressed));
}

}  // namespace snaplark::platform::evdev
