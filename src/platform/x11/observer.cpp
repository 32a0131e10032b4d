#include "platform/x11/observer.h"

#include <X11/extensions/record.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/record.h>
#include <xcb/xcbext.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace snaplark::platform::x11 {
namespace {

constexpr std::uint8_t buttonPress = 4;
constexpr std::uint8_t buttonRelease = 5;
// The server cuts the recorded stream into replies of at most this much data.
constexpr int recordBufferSize = 1024;
constexpr int eventSize = 32;
// How long the rest of a reply the server cut at its buffer's size may take to arrive.
constexpr int cutReplyWaitMs = 2;

// The fields of a core button event the observer reads, at their places in the wire format.
struct WireButton {
    std::uint8_t type;
    std::uint8_t detail;
    std::uint16_t sequence;
    std::uint32_t time;
    std::uint32_t root;
    std::uint32_t event;
    std::uint32_t child;
    std::int16_t rootX;
    std::int16_t rootY;
    std::int16_t eventX;
    std::int16_t eventY;
    std::uint16_t state;
    std::uint8_t sameScreen;
    std::uint8_t pad;
};
static_assert(sizeof(WireButton) == eventSize);

// Waits up to `timeoutMs` (forever when negative) for the descriptor to have data.
bool readable(int fd, int timeoutMs)
{
    pollfd in{fd, POLLIN, 0};
    return ::poll(&in, 1, timeoutMs) > 0;
}

}  // namespace

Observer::~Observer()
{
    if (reader_.joinable()) reader_.join();
}

bool Observer::start(std::uint32_t ownClient, std::uint32_t typist, std::uint8_t xtest)
{
    xcb_connection_t* c = data_;
    context_ = xcb_generate_id(c);
    typist_ = typist;
    trail_ = ChordTrail(xtest);
    // Device events of every client, deliveries of button events to our own client, and the
    // typist's keystrokes and end-of-chord marks.
    xcb_record_range_t range{};
    range.device_events.first = buttonPress;
    range.device_events.last = buttonRelease;
    range.delivered_events.first = buttonPress;
    range.delivered_events.last = buttonRelease;
    range.core_requests.first = ChordTrail::noOperation;
    range.core_requests.last = ChordTrail::noOperation;
    // Without XTEST nothing is typed, and an extension range must name a real extension.
    if (xtest != 0) {
        range.ext_requests.major.first = xtest;
        range.ext_requests.major.last = xtest;
        range.ext_requests.minor.first = ChordTrail::fakeInput;
        range.ext_requests.minor.last = ChordTrail::fakeInput;
    }
    const xcb_record_client_spec_t clients[] = {ownClient, typist};
    xcb_generic_error_t* error = xcb_request_check(
        c, xcb_record_create_context_checked(c, context_, 0, 2, 1, clients, &range));
    if (error != nullptr || wakeUp_ < 0) {
        std::free(error);
        return false;
    }
    // Enabled here and confirmed by the first reply, so that a stop can never come before it and
    // leave the reader waiting.
    const auto cookie = xcb_record_enable_context(c, context_);
    sequence_ = cookie.sequence;
    xcb_flush(c);
    std::free(xcb_record_enable_context_reply(c, cookie, nullptr));
    if (xcb_connection_has_error(c)) return false;
    reader_ = std::thread([this] { read(); });
    return true;
}

void Observer::stop(Display* control)
{
    if (!reader_.joinable()) return;
    // The server then ends the recorded stream, which ends the reader.
    stopping_ = true;
    XRecordDisableContext(control, context_);
    XSync(control, False);
    reader_.join();
}

void Observer::setOwnRects(std::vector<RootRect> rects)
{
    std::lock_guard lock(mutex_);
    clicks_.setOwnRects(std::move(rects));
}

void Observer::setMenuOpenElsewhere(bool open)
{
    std::lock_guard lock(mutex_);
    clicks_.setMenuOpenElsewhere(open);
}

std::vector<ButtonEvent> Observer::take()
{
    std::lock_guard lock(mutex_);
    std::vector<ButtonEvent> events;
    events.swap(settled_);
    return events;
}

void Observer::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wakeUp_, &one, sizeof one);
}

bool Observer::parse(const std::uint8_t* raw)
{
    const auto* reply = reinterpret_cast<const xcb_record_enable_context_reply_t*>(raw);
    const std::uint8_t* data = xcb_record_enable_context_data(reply);
    const int length = xcb_record_enable_context_data_length(reply);
    if (reply->category == XRecordFromClient && reply->xid_base == typist_) {
        trail_.requests(data, length);
        return false;
    }
    if (reply->category != XRecordFromServer) return false;
    const bool device = reply->xid_base == 0;
    const auto now = OwnClicks::Clock::now();
    for (int at = 0; at + eventSize <= length; at += eventSize) {
        WireButton e;
        std::memcpy(&e, data + at, sizeof e);
        const int type = e.type & 0x7f;
        if (type != buttonPress && type != buttonRelease) continue;
        if (device) {
            clicks_.recorded(
                {type == buttonPress, e.detail, e.time, e.state, e.rootX, e.rootY, trail_.letGo()},
                now);
        } else if (e.event != e.root) {
            // A delivery to our own client; one on the root window is not a click in a window.
            clicks_.deliveredToUs(type == buttonPress, e.time);
        }
    }
    return device && length > recordBufferSize - eventSize;
}

// Reads the recorded stream without blocking, so that a press waiting for its delivery can settle
// on its deadline too. Everything the server has sent is read before events settle: an event's
// delivery comes right behind it, in the same write.
void Observer::read()
{
    xcb_connection_t* c = data_;
    const int fd = xcb_get_file_descriptor(c);
    bool ended = false;
    bool mayBeCut = false;
    while (!ended) {
        {
            std::lock_guard lock(mutex_);
            void* raw = nullptr;
            xcb_generic_error_t* error = nullptr;
            while (xcb_poll_for_reply(c, sequence_, &raw, &error) != 0) {
                std::free(error);
                const std::unique_ptr<void, decltype(&std::free)> owned(raw, &std::free);
                const auto* reply = static_cast<const xcb_record_enable_context_reply_t*>(raw);
                if (reply == nullptr || reply->category == XRecordEndOfData) {
                    ended = true;
                    break;
                }
                mayBeCut = parse(static_cast<const std::uint8_t*>(raw));
                raw = nullptr;
                error = nullptr;
            }
            // Events reach this connection too (MappingNotify); they are taken so none pile up.
            // Only those already read: reading here could take in a reply that would then wait
            // in the queue, unseen, while the loop sleeps on an empty socket.
            while (xcb_generic_event_t* event = xcb_poll_for_queued_event(c)) {
                if ((event->response_type & 0x7f) == XCB_MAPPING_NOTIFY) remapped_ = true;
                std::free(event);
            }
        }
        if (xcb_connection_has_error(c)) break;
        // More to read belongs to this batch; so does the rest of a reply the server cut at its
        // buffer's size, which is given a moment to arrive.
        if (!ended && readable(fd, mayBeCut ? cutReplyWaitMs : 0)) continue;
        mayBeCut = false;
        std::optional<OwnClicks::Clock::time_point> deadline;
        bool woke = false;
        {
            std::lock_guard lock(mutex_);
            clicks_.endOfBatch();
            auto events = clicks_.takeSettled(OwnClicks::Clock::now());
            woke = !events.empty();
            settled_.insert(settled_.end(), events.begin(), events.end());
            deadline = clicks_.nextDeadline();
        }
        if (woke || remapped_) wake();
        if (ended) break;
        int timeout = -1;
        if (deadline) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*deadline - OwnClicks::Clock::now());
            timeout = static_cast<int>(std::max<std::int64_t>(left.count(), 0));
        }
        readable(fd, timeout);
    }
    if (!stopping_) {
        lost_ = true;
        wake();
    }
}

}  // namespace snaplark::platform::x11
