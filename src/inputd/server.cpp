#include "inputd/server.h"

#include <fcntl.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <iostream>

// Linux 6.5 and later: a pidfd of the process that connected (socket(7)).
#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace snaplark::inputd {
namespace {

namespace service = platform::evdev::service;
using platform::Chord;
using platform::ChordKey;

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

// Whether the process that connected is still the one its pid names, so that what was read of
// that pid was read of it: a pid is not reused while its process lives. Kernels before 6.5 have
// no pidfd for a peer; there the pid is taken as it is.
bool connectorStillThere(int fd)
{
    int pidfd = -1;
    socklen_t length = sizeof pidfd;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &length) < 0) return true;
    pollfd exited{pidfd, POLLIN, 0};
    const bool alive = ::poll(&exited, 1, 0) == 0;
    ::close(pidfd);
    return alive;
}

// Closes a client's socket after reading what it had queued: a unix socket closed with unread
// packets makes the peer's next read fail with ECONNRESET (unix(7)) before it reads what it was
// last sent, such as why it was refused.
void closeAfterDraining(int fd)
{
    std::array<std::uint8_t, service::maxPacketSize> buffer{};
    for (int i = 0; i < 64 && ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT) > 0; ++i) {
    }
    ::close(fd);
}

// A click number no client can guess (getrandom(2)); never zero.
std::optional<std::uint64_t> newClickNumber()
{
    std::uint64_t number = 0;
    while (number == 0) {
        const ssize_t n = ::getrandom(&number, sizeof number, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n != static_cast<ssize_t>(sizeof number)) return std::nullopt;
    }
    return number;
}

}  // namespace

void Throttle::say(const std::string& line, Clock::time_point now)
{
    if (last_ && now - *last_ < interval) {
        ++quiet_;
        return;
    }
    std::cerr << "snaplark-inputd: " << line;
    if (quiet_ > 0) std::cerr << " (and " << quiet_ << " more like it)";
    std::cerr << '\n';
    last_ = now;
    quiet_ = 0;
}

Server::Server(KeySink* keyboard, Admission admission, LayoutJudge& layouts)
    : keyboard_(keyboard), admission_(std::move(admission)), layouts_(layouts)
{
}

Server::~Server()
{
    if (client_) ::close(client_->fd);
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
    // Anyone may knock, so the node is 0666; who is let in is decided by the peer's credentials.
    // The mode comes from the umask at bind (unix(7)), so no path is changed afterwards.
    const mode_t before = ::umask(0111);
    const int bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::umask(before);
    if (bound < 0 || ::listen(fd, 8) < 0) {
        const std::string reason = std::strerror(errno);
        ::close(fd);
        return "cannot listen on " + path + ": " + reason;
    }
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

void Server::reset(const std::string& why)
{
    if (client_) {
        send(service::Refused{why});
        if (client_) drop("whom the service serves changed");
    }
    clicks_.clear();
    pending_.clear();
}

std::vector<int> Server::descriptors(Clock::time_point now) const
{
    std::vector<int> fds;
    if (client_) fds.push_back(client_->fd);
    if (listening_ >= 0 && (!acceptPausedUntil_ || now >= *acceptPausedUntil_)) {
        fds.push_back(listening_);
    }
    return fds;
}

void Server::ready(int fd, std::int64_t now)
{
    if (client_ && fd == client_->fd) {
        read(now);
    } else if (fd == listening_) {
        accept();
    }
}

void Server::accept()
{
    acceptPausedUntil_.reset();
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            // Out of descriptors or memory: the knock stays queued and would wake us at once
            // again, so rest a while rather than spin.
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                acceptPausedUntil_ = Clock::now() + acceptPause;
                refusals_.say(std::string("cannot take a client now: ") + std::strerror(errno),
                              Clock::now());
            }
            return;
        }
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) < 0) {
            refuse(fd, service::Refused{"snaplark-inputd cannot tell who you are"},
                   "refused a client it cannot identify");
            continue;
        }
        const std::string who =
            "uid " + std::to_string(peer.uid) + ", pid " + std::to_string(peer.pid);
        if (auto why = admission_(peer.pid, peer.uid)) {
            refuse(fd, service::Refused{std::move(*why)}, "refused a client (" + who + ")");
        } else if (!connectorStillThere(fd)) {
            refuse(fd, service::Refused{"snaplark-inputd cannot tell who you are"},
                   "refused a client that left as it knocked (" + who + ")");
        } else if (client_) {
            refuse(fd, service::Busy{static_cast<std::uint32_t>(client_->pid)},
                   "refused a second client (" + who + "): pid " + std::to_string(client_->pid) +
                       " holds the service");
        } else {
            client_ = Client{fd, peer.pid, peer.uid, {KEY_C, KEY_V}, false, std::nullopt};
            clicks_.clear();
            send(service::Welcome{});
        }
    }
}

void Server::refuse(int fd, const service::ServiceMessage& message, const std::string& log)
{
    const std::string packet = service::encode(message);
    ::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    closeAfterDraining(fd);
    refusals_.say(log, Clock::now());
}

void Server::read(std::int64_t now)
{
    while (client_) {
        std::array<std::uint8_t, service::maxPacketSize> buffer{};
        // MSG_TRUNC makes recv report a packet's real length, so an oversized one is seen as such
        // (unix(7): sequenced-packet sockets since Linux 3.4).
        const ssize_t n =
            ::recv(client_->fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            drop("it left");
            return;
        }
        if (now - client_->windowStart >= 1'000'000) {
            client_->windowStart = now;
            client_->messages = 0;
        }
        if (++client_->messages > maxMessagesPerSecond) {
            drop("it sent too many messages");
            return;
        }
        const auto size = static_cast<std::size_t>(n);
        const auto message = size > buffer.size()
                                 ? std::nullopt
                                 : service::parseAgentMessage(std::span(buffer.data(), size));
        if (!message) {
            drop("it sent a malformed message");
            return;
        }
        handle(*message, now);
    }
}

void Server::handle(const service::AgentMessage& message, std::int64_t now)
{
    if (const auto* keys = std::get_if<service::LayoutKeys>(&message)) {
        if (client_->keysGiven) {
            drop("it named its layout's keys twice");
            return;
        }
        client_->keysGiven = true;
        client_->claimed = ChordKeys{keys->c, keys->v};
        settleKeys();
        return;
    }
    const auto& request = std::get<ChordRequest>(message);
    Outcome::Code verdict = clicks_.judge(request.action, request.click, now);
    if (verdict == Outcome::Code::typed && keyboard_ == nullptr) {
        verdict = Outcome::Code::noKeyboard;
    }
    if (verdict != Outcome::Code::typed) {
        send(Outcome{verdict});
        return;
    }
    pending_.push_back({chordFor(request), Clock::now()});
}

void Server::seen(const Click& click)
{
    if (!client_) return;
    const auto number = newClickNumber();
    if (!number) return;
    clicks_.heard(*number, click);
    send(service::ButtonEvent{click.press, static_cast<std::uint32_t>(click.flags), click.time,
                              *number,
                              static_cast<std::uint16_t>(std::clamp(click.moved, 0, 65535))});
}

void Server::learn()
{
    // Short enough for a click or a request waiting meanwhile not to be held up noticeably.
    layouts_.learn(std::chrono::milliseconds(10));
    settleKeys();
}

// Answers the client's keys once they are judged; its chords waited for that.
void Server::settleKeys()
{
    if (!client_ || !client_->claimed) return;
    const ChordKeys claimed = *client_->claimed;
    const Realness realness = layouts_.judge(claimed);
    if (realness == Realness::unknown) return;
    client_->claimed.reset();
    if (realness == Realness::real) {
        client_->keys = claimed;
    } else {
        std::cerr << "snaplark-inputd: no layout types c and v with keys " << claimed.c << " and "
                  << claimed.v << "; typing the C and V positions\n";
    }
    for (Pending& pending : pending_)
        pending.since = Clock::now();
    send(service::KeysInUse{client_->keys.c, client_->keys.v});
}

void Server::settle(platform::ModifierFlags seatFlags, Clock::time_point now)
{
    // Chords wait for the keys they are typed with.
    if (learning()) return;
    while (!pending_.empty()) {
        const Pending& first = pending_.front();
        Outcome::Code code = Outcome::Code::typed;
        if (platform::evdev::readyToType(first.chord, seatFlags)) {
            // Typed whole here, so that no key is left down whatever the client does next.
            const bool copy = first.chord.key == ChordKey::c;
            platform::evdev::typeChord(*keyboard_, first.chord,
                                       copy ? client_->keys.c : client_->keys.v);
        } else if (now - first.since >= platform::evdev::Typist::patience) {
            code = Outcome::Code::modifiersHeld;
        } else {
            break;
        }
        pending_.pop_front();
        send(Outcome{code});
    }
}

std::optional<Server::Clock::time_point> Server::deadline() const
{
    std::optional<Clock::time_point> when = acceptPausedUntil_;
    if (!pending_.empty() && !learning()) {
        const auto chord = pending_.front().since + platform::evdev::Typist::patience;
        when = when ? std::min(*when, chord) : chord;
    }
    return when;
}

bool Server::send(const service::ServiceMessage& message)
{
    if (!client_) return false;
    const std::string packet = service::encode(message);
    if (::send(client_->fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL) ==
        static_cast<ssize_t>(packet.size())) {
        return true;
    }
    // A client that stopped reading is not waited for.
    drop("it does not read what it is sent");
    return false;
}

void Server::drop(const std::string& why)
{
    if (!client_) return;
    if (why != "it left") {
        std::cerr << "snaplark-inputd: dropped its client (uid " << client_->uid << ", pid "
                  << client_->pid << ") because " << why << '\n';
    }
    closeAfterDraining(client_->fd);
    client_.reset();
    // What it asked for goes with it: nothing is typed for a program that is gone.
    clicks_.clear();
    pending_.clear();
}

}  // namespace snaplark::inputd
