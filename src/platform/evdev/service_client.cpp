#include "platform/evdev/service_client.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace snaplark::platform::evdev {
namespace {

using service::ChordRequest;
using service::Outcome;

std::string describe(Outcome::Code code, bool copy)
{
    const std::string what = copy ? "copy" : "paste";
    switch (code) {
    case Outcome::Code::typed: return {};
    case Outcome::Code::modifiersHeld: return what + " not typed: other modifiers were still held";
    case Outcome::Code::noKeyboard:
        return what + " not typed: the input service has no virtual keyboard";
    case Outcome::Code::noGesture:
    case Outcome::Code::stale:
    case Outcome::Code::used: break;
    }
    return what + " not typed: the input service did not see the click that asked for it";
}

}  // namespace

std::optional<ChordRequest> requestFor(const Chord& chord, std::uint64_t click)
{
    if (chord.skip || chord.alt || chord.super) return std::nullopt;
    ChordRequest request;
    request.click = click;
    if (chord.key == ChordKey::insert) {
        // Control+Insert copies and Shift+Insert pastes; nothing else goes with Insert.
        if (chord.control == chord.shift) return std::nullopt;
        request.action = chord.control ? ChordRequest::Action::copy : ChordRequest::Action::paste;
        request.form = ChordRequest::Form::insert;
        return request;
    }
    if (!chord.control) return std::nullopt;
    request.action =
        chord.key == ChordKey::c ? ChordRequest::Action::copy : ChordRequest::Action::paste;
    request.form = chord.shift ? ChordRequest::Form::controlShift : ChordRequest::Form::control;
    return request;
}

std::string describeProcess(std::uint32_t pid)
{
    // The same user's program: its executable is ours to read (proc(5)).
    std::array<char, PATH_MAX> exe{};
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = ::readlink(link.c_str(), exe.data(), exe.size() - 1);
    std::string text = "pid " + std::to_string(pid);
    if (n > 0) text += " (" + std::string(exe.data(), static_cast<std::size_t>(n)) + ")";
    return text;
}

ServiceClient::~ServiceClient()
{
    close();
}

bool ServiceClient::connect()
{
    close();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path_.size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path_.c_str(), path_.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A unix socket's connect completes at once or fails; EAGAIN means the backlog is full.
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    sendKeys();
    return true;
}

void ServiceClient::close()
{
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    keysSent_ = false;
    asked_.clear();
}

void ServiceClient::setKeys(ChordKeys keys)
{
    if (keys_ && keys_->c == keys.c && keys_->v == keys.v) return;
    keys_ = keys;
    if (keysSent_) {
        connect();
    } else {
        sendKeys();
    }
}

void ServiceClient::sendKeys()
{
    if (fd_ < 0 || !keys_ || keysSent_) return;
    const auto packet = service::encode(service::LayoutKeys{keys_->c, keys_->v});
    keysSent_ = ::send(fd_, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
                static_cast<ssize_t>(packet.size());
}

ServiceClient::Received ServiceClient::read()
{
    Received received;
    while (fd_ >= 0) {
        std::array<std::uint8_t, service::maxPacketSize> buffer{};
        const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        const auto message = n > 0 ? service::parseServiceMessage(
                                         std::span(buffer.data(), static_cast<std::size_t>(n)))
                                   : std::nullopt;
        if (!message) {
            if (n > 0)
                received.lines.emplace_back("the input service sent a message not understood");
            close();
            received.lost = true;
            break;
        }
        if (const auto* button = std::get_if<service::ButtonEvent>(&*message)) {
            received.clicks.push_back(
                {button->press, button->flags, button->time, button->click, button->moved});
        } else if (const auto* outcome = std::get_if<Outcome>(&*message)) {
            const bool copy = asked_.empty() || asked_.front();
            if (!asked_.empty()) asked_.pop_front();
            if (auto line = describe(outcome->code, copy); !line.empty()) {
                received.lines.push_back(std::move(line));
            }
        } else if (const auto* refused = std::get_if<service::Refused>(&*message)) {
            received.lines.push_back("the input service refused us: " + refused->reason);
            received.refusal = refused->reason;
        } else if (const auto* busy = std::get_if<service::Busy>(&*message)) {
            received.heldBy = describeProcess(busy->pid);
            received.lines.push_back("the input service serves another program of this session, " +
                                     *received.heldBy + "; gestures wait until it ends");
        } else if (const auto* keys = std::get_if<service::KeysInUse>(&*message)) {
            if (keys_ && (keys->c != keys_->c || keys->v != keys_->v)) {
                received.lines.emplace_back(
                    "the input service knows no layout typing c and v with this keymap's keys; it "
                    "types the keys in the C and V positions");
            }
        } else if (std::get<service::Welcome>(*message).version != service::version) {
            received.lines.emplace_back("the input service speaks another version; update both");
            close();
            received.lost = true;
        } else {
            received.welcomed = true;
        }
    }
    return received;
}

bool ServiceClient::request(const Chord& chord, std::uint64_t click)
{
    const auto request = requestFor(chord, click);
    if (fd_ < 0 || !request || click == 0) return false;
    const auto packet = service::encode(*request);
    if (::send(fd_, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) !=
        static_cast<ssize_t>(packet.size())) {
        return false;
    }
    asked_.push_back(request->action == service::ChordRequest::Action::copy);
    return true;
}

}  // namespace snaplark::platform::evdev
