// The input service as an attacker meets it: the agent hears only clicks and has typed only the
// chord that answers a click it heard, once, soon after it, with its layout's key; anything else a
// program tries is refused, and a program that misbehaves is dropped.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "inputd/server.h"
#include "platform/evdev/service_client.h"

namespace snaplark::inputd {
namespace {

namespace service = platform::evdev::service;
using namespace std::chrono_literals;
using platform::Chord;
using platform::ChordKey;
using platform::ModifierFlags;
using platform::evdev::ServiceClient;
using Action = ChordRequest::Action;
using Form = ChordRequest::Form;
using Code = Outcome::Code;
namespace modifier = platform::modifier;
constexpr ModifierFlags copyFlags = modifier::command;
constexpr ModifierFlags pasteFlags = modifier::command | modifier::shift;
const Chord copy{false, true, false, false, false, ChordKey::c};
const Chord paste{false, true, false, false, false, ChordKey::v};

TEST(Protocol, RefusesAnythingButAWellFormedAgentMessage)
{
    const auto request = service::encode(ChordRequest{Action::copy, Form::control, 42});
    ASSERT_TRUE(service::parseAgentMessage(request));
    ASSERT_TRUE(service::parseAgentMessage(service::encode(service::LayoutKeys{KEY_I, KEY_DOT})));
    const auto with = [](service::Packet packet, std::size_t at, std::uint8_t value) {
        packet[at] = value;
        return std::vector<std::uint8_t>(packet.begin(), packet.end());
    };
    std::vector<std::uint8_t> longer(request.begin(), request.end());
    longer.push_back(0);
    const std::pair<const char*, std::vector<std::uint8_t>> cases[] = {
        {"empty", {}},
        {"short", {request.begin(), request.end() - 1}},
        {"long", longer},
        {"a service message", with(request, 0, 2)},
        {"no action", with(request, 1, 0)},
        {"unknown action", with(request, 1, 3)},
        {"unknown form", with(request, 2, 4)},
        {"no click named", with(request, 8, 0)},
        {"a key where none is taken", with(request, 4, KEY_ENTER)},
        {"padding set", with(request, 23, 1)},
        {"keys with padding set", with(service::encode(service::LayoutKeys{KEY_C, KEY_V}), 9, 1)},
    };
    for (const auto& [what, bytes] : cases)
        EXPECT_FALSE(service::parseAgentMessage(bytes)) << what;
}

// One script: clicks heard with their numbers, and requests naming them.
TEST(Clicks, OneChordPerGestureTheClientHeardSoonAfterIt)
{
    struct Step {
        const char* what;
        std::int64_t at;  // milliseconds
        std::uint64_t id;
        std::optional<Click> click;
        Action action = Action::copy;
        Code verdict = Code::typed;
    };
    const auto click = [](bool press, ModifierFlags flags, std::int64_t ms) {
        return Click{press, flags, ms * 1000};
    };
    const Step steps[] = {
        {"a copy naming a click yet to come", 0, 1, {}, Action::copy, Code::noGesture},
        {"", 10, 1, click(false, copyFlags, 10)},
        {"", 20, 2, click(true, copyFlags, 20)},
        {"a copy for a Control press", 30, 2, {}, Action::copy, Code::noGesture},
        {"", 40, 3, click(false, copyFlags | modifier::capsLock, 40)},
        {"a copy for a release with Caps Lock on", 50, 3, {}, Action::copy, Code::noGesture},
        {"a paste for a copy gesture", 60, 1, {}, Action::paste, Code::noGesture},
        {"a copy for a click never heard", 60, 99, {}, Action::copy, Code::noGesture},
        {"a copy for the Control release", 70, 1, {}, Action::copy, Code::typed},
        {"a second copy for it", 80, 1, {}, Action::copy, Code::used},
        {"", 100, 4, click(true, pasteFlags | 0x1, 100)},  // the left Control's own bit
        {"", 110, 5, click(true, pasteFlags, 110)},
        {"the second of two quick pastes first", 200, 5, {}, Action::paste, Code::typed},
        {"then the first", 210, 4, {}, Action::paste, Code::typed},
        {"", 300, 6, click(false, copyFlags, 300)},
        {"a copy too late", 1301, 6, {}, Action::copy, Code::stale},
        {"", 1400, 7, click(false, copyFlags, 1400)},
        {"a copy just in time", 2400, 7, {}, Action::copy, Code::typed},
        {"", 3000, 8, click(true, pasteFlags, 5000)},
        {"a click from the future", 3001, 8, {}, Action::paste, Code::stale},
    };
    Clicks clicks;
    for (const Step& step : steps) {
        if (step.click) {
            clicks.heard(step.id, *step.click);
        } else {
            EXPECT_EQ(clicks.judge(step.action, step.id, step.at * 1000), step.verdict)
                << step.what;
        }
    }
    for (std::uint64_t id = 100; id < 100 + Clicks::kept + 1; ++id)
        clicks.heard(id, click(false, copyFlags, 4000));
    EXPECT_EQ(clicks.judge(Action::copy, 100, 4000'000), Code::noGesture) << "forgotten";
    EXPECT_EQ(clicks.judge(Action::copy, 101, 4000'000), Code::typed) << "kept";
}

struct Recorder final : KeySink {
    void key(std::uint16_t code, bool down) override { keys.push_back(down ? code : -code); }
    std::vector<int> keys;
};

std::int64_t nowMicroseconds()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const std::vector<int> controlC{KEY_LEFTCTRL, KEY_C, -KEY_C, -KEY_LEFTCTRL};

class ServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/snaplark-service-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/inputd.sock";
        ASSERT_EQ(server.listen(path), "");
    }
    void TearDown() override { ::rmdir(directory.c_str()); }

    // Lets the server handle whatever is waiting on every descriptor, then type what it may.
    void pump(ModifierFlags seat = 0)
    {
        for (int round = 0; round < 3; ++round) {
            for (const int fd : server.descriptors(Server::Clock::now()))
                server.ready(fd, nowMicroseconds());
        }
        server.settle(seat, Server::Clock::now());
    }
    // The agent, connected and welcomed, with its layout's keys given; what it was told.
    std::vector<std::string> connect(ServiceClient& client, ChordKeys keys = {KEY_C, KEY_V})
    {
        client.setKeys(keys);
        EXPECT_TRUE(client.connect());
        pump();
        auto told = client.read();
        EXPECT_TRUE(told.welcomed);
        return told.lines;
    }
    int rawClient()
    {
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        pump();
        return fd;
    }
    // A click the seat makes; the number the agent heard it by.
    std::uint64_t click(ServiceClient& agent, bool press, ModifierFlags flags)
    {
        server.seen(Click{press, flags, nowMicroseconds()});
        const auto heard = agent.read().clicks;
        EXPECT_EQ(heard.size(), 1u);
        return heard.empty() ? 0 : heard[0].id;
    }

    // Two layouts' pairs stand for the system's data; the second is learnt only after a while.
    struct Layouts final : LayoutJudge {
        Realness judge(ChordKeys keys) override
        {
            if (keys.c == KEY_C && keys.v == KEY_V) return Realness::real;
            if (lessons > 0) return Realness::unknown;
            return keys.c == KEY_I && keys.v == KEY_DOT ? Realness::real : Realness::notReal;
        }
        bool learn(std::chrono::milliseconds) override { return --lessons > 0; }
        int lessons = 0;
    };

    Recorder keyboard;
    std::optional<std::string> refusal;  // what the admission rule says of the next peer
    Layouts layouts;
    Server server{&keyboard, [this](pid_t, uid_t) { return refusal; }, layouts};
    std::string directory;
    std::string path;
};

TEST_F(ServerTest, TheAgentHearsClicksAndHasEachAnsweredOnceWithItsLayoutsKey)
{
    ServiceClient agent(path);
    connect(agent, {KEY_I, KEY_DOT});
    const auto release = click(agent, false, copyFlags);
    ASSERT_TRUE(agent.request(copy, release));
    ASSERT_TRUE(agent.request(copy, release));
    pump();
    EXPECT_EQ(keyboard.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_I, -KEY_I, -KEY_LEFTCTRL}));
    EXPECT_EQ(agent.read().lines, std::vector<std::string>{"copy not typed: the input service "
                                                           "did not see the click that asked "
                                                           "for it"});
    keyboard.keys.clear();
    ASSERT_TRUE(agent.request(paste, click(agent, true, pasteFlags)));
    pump(copyFlags);
    EXPECT_EQ(keyboard.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_DOT, -KEY_DOT, -KEY_LEFTCTRL}));
}

// Keys not known yet are learnt a little at a time; the chords asked for meanwhile wait for them.
TEST_F(ServerTest, ChordsWaitWhileTheKeysAreLearnt)
{
    layouts.lessons = 3;
    ServiceClient agent(path);
    connect(agent, {KEY_I, KEY_DOT});
    ASSERT_TRUE(server.learning());
    ASSERT_TRUE(agent.request(copy, click(agent, false, copyFlags)));
    pump();
    EXPECT_TRUE(keyboard.keys.empty());
    EXPECT_FALSE(server.deadline());
    while (server.learning())
        server.learn();
    pump();
    EXPECT_EQ(keyboard.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_I, -KEY_I, -KEY_LEFTCTRL}));
}

TEST_F(ServerTest, APasteWaitsForShiftAndIsDroppedIfItStaysDown)
{
    ServiceClient agent(path);
    connect(agent);
    for (const bool letGo : {true, false}) {
        keyboard.keys.clear();
        ASSERT_TRUE(agent.request(paste, click(agent, true, pasteFlags)));
        pump(pasteFlags);
        EXPECT_TRUE(keyboard.keys.empty());
        ASSERT_TRUE(server.deadline());
        if (letGo) {
            server.settle(copyFlags, Server::Clock::now());
            EXPECT_EQ(keyboard.keys,
                      (std::vector<int>{KEY_LEFTCTRL, KEY_V, -KEY_V, -KEY_LEFTCTRL}));
        } else {
            server.settle(pasteFlags, *server.deadline());
            EXPECT_TRUE(keyboard.keys.empty());
            EXPECT_EQ(agent.read().lines,
                      std::vector<std::string>{"paste not typed: other modifiers were still held"});
        }
        EXPECT_FALSE(server.deadline());
    }
}

// One row per thing a hostile program tries; nothing of it is typed, and the agent's own
// gestures still are.
TEST_F(ServerTest, WhatAHostileProgramTriesGetsNothingTyped)
{
    struct Attempt {
        const char* what;
        // Runs the attempt with the agent connected; returns whether the agent stays served.
        std::function<bool(ServiceClient& agent)> run;
    };
    const Attempt attempts[] = {
        {"a request naming a click before it came",
         [&](ServiceClient& agent) {
             for (std::uint64_t guess = 1; guess < 100; ++guess)
                 agent.request(copy, guess);
             pump();
             server.seen(Click{false, copyFlags, nowMicroseconds()});
             pump();
             agent.read();
             return true;
         }},
        {"a paste for a copy gesture",
         [&](ServiceClient& agent) {
             agent.request(paste, click(agent, false, copyFlags));
             pump();
             return true;
         }},
        {"a copy for a click that was no gesture",
         [&](ServiceClient& agent) {
             agent.request(copy, click(agent, false, copyFlags | modifier::option));
             pump();
             return true;
         }},
        {"a second program of the session",
         [&](ServiceClient& agent) {
             ServiceClient second(path);
             second.setKeys({KEY_C, KEY_V});
             EXPECT_TRUE(second.connect());
             pump();
             const auto told = second.read();
             EXPECT_TRUE(told.lost);
             EXPECT_EQ(told.heldBy, platform::evdev::describeProcess(::getpid()));
             server.seen(Click{false, copyFlags, nowMicroseconds()});
             EXPECT_TRUE(second.read().clicks.empty());
             agent.read();
             return true;
         }},
        {"a program of another session, or of the greeter",
         [&](ServiceClient&) {
             refusal = "not the active session";
             ServiceClient other(path);
             EXPECT_TRUE(other.connect());
             pump();
             const auto told = other.read();
             refusal.reset();
             EXPECT_EQ(told.lines, std::vector<std::string>{
                                       "the input service refused us: not the active session"});
             return true;
         }},
        {"a request across a change of session",
         [&](ServiceClient& agent) {
             const auto release = click(agent, false, copyFlags);
             agent.request(copy, release);
             pump(modifier::option);  // held: the chord waits
             server.reset("another session is active");
             pump();
             ServiceClient again(path);
             connect(again);
             again.request(copy, release);
             pump();
             return false;
         }},
    };
    for (const Attempt& attempt : attempts) {
        keyboard.keys.clear();
        {
            ServiceClient agent(path);
            connect(agent);
            if (attempt.run(agent)) {
                EXPECT_TRUE(keyboard.keys.empty()) << attempt.what;
                EXPECT_TRUE(agent.request(copy, click(agent, false, copyFlags))) << attempt.what;
                pump();
                EXPECT_EQ(keyboard.keys, controlC) << attempt.what;
            }
        }
        pump();
        EXPECT_FALSE(server.hasClient()) << attempt.what;
        EXPECT_TRUE(keyboard.keys.empty() || keyboard.keys == controlC) << attempt.what;
    }
}

TEST_F(ServerTest, AChordOfAClientThatLeftIsNotTyped)
{
    {
        ServiceClient agent(path);
        connect(agent);
        agent.request(paste, click(agent, true, pasteFlags));
        pump(pasteFlags);
    }
    pump();
    EXPECT_FALSE(server.hasClient());
    EXPECT_TRUE(keyboard.keys.empty());
    EXPECT_FALSE(server.deadline());
}

TEST_F(ServerTest, KeysOfNoRealLayoutAreNotTyped)
{
    for (const ChordKeys keys :
         {ChordKeys{KEY_Q, KEY_M}, ChordKeys{KEY_ENTER, KEY_V}, ChordKeys{KEY_I, KEY_V}}) {
        keyboard.keys.clear();
        ServiceClient agent(path);
        EXPECT_EQ(connect(agent, keys).size(), 1u) << keys.c;
        agent.request(copy, click(agent, false, copyFlags));
        pump();
        EXPECT_EQ(keyboard.keys, controlC) << keys.c;
        agent.request(paste, click(agent, true, pasteFlags));
        pump();
        EXPECT_EQ(keyboard.keys.at(5), KEY_V) << keys.c;
    }
}

TEST_F(ServerTest, MisbehavingClientsAreDropped)
{
    const auto request = service::encode(ChordRequest{Action::copy, Form::control, 1});
    const auto keys = service::encode(service::LayoutKeys{KEY_C, KEY_V});
    const auto bytes = [](const service::Packet& p) {
        return std::vector<std::uint8_t>(p.begin(), p.end());
    };
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint8_t>> packets;
    };
    const Case cases[] = {
        {"malformed", {std::vector<std::uint8_t>(service::messageSize, 16)}},
        {"oversized", {std::vector<std::uint8_t>(1000, 16)}},
        {"its layout named twice", {bytes(keys), bytes(keys)}},
        {"flooding",
         std::vector<std::vector<std::uint8_t>>(Server::maxMessagesPerSecond + 1, bytes(request))},
    };
    for (const Case& c : cases) {
        const int bad = rawClient();
        ASSERT_TRUE(server.hasClient()) << c.what;
        for (const auto& packet : c.packets)
            ::send(bad, packet.data(), packet.size(), MSG_NOSIGNAL);
        pump();
        EXPECT_FALSE(server.hasClient()) << c.what;
        ::close(bad);
    }
    // One that never reads is dropped once its queue is full.
    const int deaf = rawClient();
    for (int i = 0; i < 100'000 && server.hasClient(); ++i)
        server.seen(Click{i % 2 == 0, 0, nowMicroseconds()});
    EXPECT_FALSE(server.hasClient());
    ::close(deaf);
}

// Out of descriptors, the service rests instead of spinning on the knock it cannot take, and
// takes it once it can.
TEST_F(ServerTest, AcceptRestsWhenOutOfDescriptors)
{
    const int knock = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    // No call on the fixture while descriptors run out: UBSan's check of its vptr needs a pipe,
    // and with none to be had it reports a fault that is not there.
    Server& service = server;
    testing::internal::CaptureStderr();
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    const rlimit lowered{static_cast<rlim_t>(knock + 1), limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    std::vector<int> filler;  // every free number below the limit taken
    for (int fd; (fd = ::dup(knock)) >= 0;)
        filler.push_back(fd);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    const int connected = ::connect(knock, reinterpret_cast<sockaddr*>(&address), sizeof address);
    for (int i = 0; i < 50; ++i) {
        for (const int fd : service.descriptors(Server::Clock::now()))
            service.ready(fd, nowMicroseconds());
    }
    const auto now = Server::Clock::now();
    const auto fds = service.descriptors(now);
    const auto rested = service.deadline();
    for (const int fd : filler)
        ::close(fd);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(connected, 0);
    EXPECT_TRUE(fds.empty()) << "the listening socket rests";
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_FALSE(server.hasClient());
    ASSERT_TRUE(rested);
    EXPECT_GE(*rested - now, Server::acceptPause - 100ms);
    for (const int fd : server.descriptors(*rested))
        server.ready(fd, nowMicroseconds());
    EXPECT_TRUE(server.hasClient());
    ::close(knock);
}

// A program knocking in a loop makes a line now and then, not a line a knock.
TEST_F(ServerTest, RefusalsAreLoggedAtABoundedRate)
{
    refusal = "not the active session";
    testing::internal::CaptureStderr();
    for (int i = 0; i < 1000; ++i)
        ::close(rawClient());
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
}

}  // namespace
}  // namespace snaplark::inputd
