#include "platform/evdev/service_server.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

namespace snaplark::platform::evdev::service {
namespace {

// The device-independent half of the flag word, as the agent classifies it: Caps Lock or any
// other modifier makes a click no gesture.
constexpr ModifierFlags deviceIndependent = 0xFFFF0000;

Chord chordFor(const ChordRequest& request)
{
    Chord chord;
    const bool copy = request.action == ChordRequest::Action::copy;
    chord.key = copy ? ChordKey::c : ChordKey::v;
    switch (request.form) {
    case ChordRequest::Form::control: chord.control = true; break;
    case ChordRequest::Form::controlShift: chord.control = chord.shift = true; break;
    case ChordRequest::Form::insert:
        chord.key = ChordKey::insert;
        (copy ? chord.control : chord.shift) = true;
        break;
    }
    return chord;
}

}  // namespace

void GesturePolicy::seen(const Click& click)
{
    const ModifierFlags held = click.flags & deviceIndependent;
    Gestures* gestures = nullptr;
    if (!click.press && held == modifier::command) gestures = &copies_;
    if (click.press && held == (modifier::command | modifier::shift)) gestures = &pastes_;
    if (gestures == nullptr) return;
    gestures->waiting.push_back(click.time);
    if (gestures->waiting.size() > kept) gestures->waiting.pop_front();
}

Outcome::Code GesturePolicy::judge(ChordRequest::Action action, std::int64_t now)
{
    Gestures& gestures = action == ChordRequest::Action::copy ? copies_ : pastes_;
    bool stale = false;
    // A gesture stamped later than now came from a clock we do not share: no answer either.
    while (!gestures.waiting.empty() &&
           (now - gestures.waiting.front() > maxAge || gestures.waiting.front() > now)) {
        gestures.waiting.pop_front();
        stale = true;
    }
    if (!gestures.waiting.empty()) {
        gestures.lastAnswered = gestures.waiting.front();
        gestures.waiting.pop_front();
        return Outcome::Code::typed;
    }
    if (stale) return Outcome::Code::stale;
    if (gestures.lastAnswered && now - *gestures.lastAnswered <= maxAge) {
        return Outcome::Code::used;
    }
    return Outcome::Code::noGesture;
}

Server::~Server()
{
    for (const auto& [fd, client] : clients_)
        ::close(fd);
    if (listening_ >= 0) ::close(listening_);
    if (!path_.empty()) ::unlink(path_.c_str());
}

std::string Server::listen(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) return "the socket path " + path + " is too long";
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return std::string("cannot make a socket: ") + std::strerror(errno);
    // Left by a service that did not stop cleanly; a live one would hold its own lock first.
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) < 0 ||
        ::listen(fd, 8) < 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        return "cannot listen on " + path + ": " + reason;
    }
    // Anyone may knock; who is let in is decided by the peer's credentials.
    ::chmod(path.c_str(), 0666);
    listening_ = fd;
    path_ = path;
    return {};
}

void Server::adopt(int listeningSocket)
{
    // systemd hands sockets over blocking unless told otherwise; accept() must not wait.
    ::fcntl(listeningSocket, F_SETFL, ::fcntl(listeningSocket, F_GETFL) | O_NONBLOCK);
    ::fcntl(listeningSocket, F_SETFD, FD_CLOEXEC);
    listening_ = listeningSocket;
}

void Server::allowUser(std::optional<uid_t> uid, std::string refusal)
{
    allowed_ = uid;
    refusal_ = std::move(refusal);
    std::vector<int> others;
    for (const auto& [fd, client] : clients_) {
        if (client.uid != allowed_) others.push_back(fd);
    }
    for (const int fd : others) {
        send(fd, Refused{refusal_});
        drop(fd, "the active user changed");
    }
}

std::vector<int> Server::descriptors() const
{
    std::vector<int> fds;
    if (listening_ >= 0) fds.push_back(listening_);
    for (const auto& [fd, client] : clients_)
        fds.push_back(fd);
    return fds;
}

void Server::ready(int fd, std::int64_t now)
{
    if (fd == listening_) {
        accept();
    } else if (clients_.count(fd) != 0) {
        read(fd, now);
    }
}

void Server::accept()
{
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) continue;
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        std::string refusal;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) < 0) {
            refusal = "snaplark-inputd cannot tell who you are";
        } else if (!allowed_ || peer.uid != *allowed_) {
            refusal = refusal_;
        } else if (clients_.size() >= maxClients) {
            refusal = "snaplark-inputd has too many clients";
        }
        if (!refusal.empty()) {
            const std::string packet = encode(Refused{refusal});
            ::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            ::close(fd);
            std::cerr << "snaplark-inputd: refused a client (uid " << peer.uid << ", pid "
                      << peer.pid << ")\n";
            continue;
        }
        clients_[fd] = Client{peer.uid, 0, 0};
        send(fd, Welcome{});
    }
}

void Server::read(int fd, std::int64_t now)
{
    for (;;) {
        std::array<std::uint8_t, maxPacketSize> buffer{};
        // MSG_TRUNC makes recv report a packet's real length, so an oversized one is seen as such
        // (unix(7): sequenced-packet sockets since Linux 3.4).
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            drop(fd, "it left");
            return;
        }
        Client& client = clients_.at(fd);
        if (now - client.windowStart >= 1'000'000) {
            client.windowStart = now;
            client.requests = 0;
        }
        if (++client.requests > maxRequestsPerSecond) {
            drop(fd, "it sent too many requests");
            return;
        }
        const auto size = std::min(static_cast<std::size_t>(n), buffer.size() + 1);
        const auto request =
            size > buffer.size() ? std::nullopt : parseChordRequest(std::span(buffer.data(), size));
        if (!request) {
            drop(fd, "it sent a malformed message");
            return;
        }
        handle(fd, *request, now);
        if (clients_.count(fd) == 0) return;
    }
}

void Server::handle(int fd, const ChordRequest& request, std::int64_t now)
{
    Outcome::Code verdict = policy_.judge(request.action, now);
    if (verdict == Outcome::Code::typed && keyboard_ == nullptr)
        verdict = Outcome::Code::noKeyboard;
    if (verdict != Outcome::Code::typed) {
        send(fd, Outcome{verdict});
        return;
    }
    pending_.push_back({fd, chordFor(request), request.key, Clock::now()});
}

void Server::seen(const Click& click)
{
    policy_.seen(click);
    std::vector<int> all;
    for (const auto& [fd, client] : clients_)
        all.push_back(fd);
    for (const int fd : all)
        send(fd, ButtonEvent{click.press, static_cast<std::uint32_t>(click.flags), click.time});
}

void Server::settle(ModifierFlags seatFlags, Clock::time_point now)
{
    while (!pending_.empty()) {
        const Pending& first = pending_.front();
        Outcome::Code code = Outcome::Code::typed;
        if (readyToType(first.chord, seatFlags)) {
            // Typed whole here, so a client that goes away cannot leave a key down.
            typeChord(*keyboard_, first.chord, first.key);
        } else if (now - first.since >= Typist::patience) {
            code = Outcome::Code::modifiersHeld;
        } else {
            break;
        }
        const int client = first.client;
        pending_.pop_front();
        if (client >= 0) send(client, Outcome{code});
    }
}

std::optional<Server::Clock::time_point> Server::deadline() const
{
    if (pending_.empty()) return std::nullopt;
    return pending_.front().since + Typist::patience;
}

bool Server::send(int fd, const ServiceMessage& message)
{
    const std::string packet = encode(message);
    if (::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(packet.size())) {
        return true;
    }
    // A client that stopped reading would otherwise hold up every other one.
    if (clients_.count(fd) != 0) drop(fd, "it does not read what it is sent");
    return false;
}

void Server::drop(int fd, const std::string& why)
{
    const auto client = clients_.find(fd);
    if (client == clients_.end()) return;
    if (why != "it left") {
        std::cerr << "snaplark-inputd: dropped a client (uid " << client->second.uid << ") because "
                  << why << '\n';
    }
    clients_.erase(client);
    ::close(fd);
    for (Pending& pending : pending_) {
        if (pending.client == fd) pending.client = -1;
    }
}

}  // namespace snaplark::platform::evdev::service
