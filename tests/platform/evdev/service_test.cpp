// The input service's promise: a client hears only clicks, types only the chord that answers a
// gesture the service saw, once, soon after it; others are refused; a client that misbehaves is
// dropped and the rest go on.
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/evdev/service_client.h"
#include "platform/evdev/service_server.h"

namespace snaplark::platform::evdev::service {
namespace {

using namespace std::chrono_literals;
using Action = ChordRequest::Action;
using Form = ChordRequest::Form;
using Code = Outcome::Code;
constexpr ModifierFlags copyFlags = modifier::command;
constexpr ModifierFlags pasteFlags = modifier::command | modifier::shift;

// A packet of a request's length that begins with these bytes.
std::vector<std::uint8_t> raw(std::initializer_list<std::uint8_t> head)
{
    std::vector<std::uint8_t> packet(messageSize, 0);
    std::copy(head.begin(), head.end(), packet.begin());
    return packet;
}

TEST(ServiceProtocol, RefusesAnythingButAWellFormedRequest)
{
    const Packet good = encode(ChordRequest{Action::copy, Form::control, KEY_C});
    ASSERT_TRUE(parseChordRequest(good));
    EXPECT_TRUE(parseChordRequest(encode(ChordRequest{Action::paste, Form::insert, 0})));

    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> longer(good.begin(), good.end());
    longer.push_back(0);
    const Case cases[] = {
        {"empty", {}},
        {"short", {good.begin(), good.end() - 1}},
        {"long", longer},
        {"a service message", raw({2, 1})},
        {"no action", raw({16, 0, 1, 0, KEY_C})},
        {"unknown action", raw({16, 3, 1, 0, KEY_C})},
        {"unknown form", raw({16, 1, 4, 0, KEY_C})},
        {"Control with Enter", raw({16, 1, 1, 0, KEY_ENTER})},
        {"Control with a key above the letters", raw({16, 1, 1, 0, 0, 1})},
        {"Insert with a key", raw({16, 2, 3, 0, KEY_V})},
        {"padding set", raw({16, 1, 1, 0, KEY_C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(parseChordRequest(c.bytes)) << c.what;
}

// One script: clicks the seat made and requests, with the verdict each request gets.
TEST(GesturePolicy, OneChordPerGestureSoonAfterIt)
{
    struct Step {
        const char* what;
        std::int64_t at;  // milliseconds
        std::optional<Click> click;
        Action action = Action::copy;
        Code verdict = Code::typed;
    };
    const auto click = [](bool press, ModifierFlags flags, std::int64_t ms) {
        return Click{press, flags, ms * 1000};
    };
    const Step steps[] = {
        {"a copy with no click", 0, {}, Action::copy, Code::noGesture},
        {"a paste with no click", 0, {}, Action::paste, Code::noGesture},
        {"", 10, click(true, copyFlags, 10)},
        {"a copy after a Control press only", 20, {}, Action::copy, Code::noGesture},
        {"", 30, click(false, copyFlags | modifier::capsLock, 30)},
        {"a copy after a release with Caps Lock on", 40, {}, Action::copy, Code::noGesture},
        {"", 50, click(false, copyFlags | 0x1, 50)},  // the left Control's own bit
        {"a copy after a Control release", 60, {}, Action::copy, Code::typed},
        {"a second copy for it", 70, {}, Action::copy, Code::used},
        {"a paste after a copy gesture", 80, {}, Action::paste, Code::noGesture},
        {"", 100, click(true, pasteFlags, 100)},
        {"", 120, click(false, pasteFlags, 120)},
        {"a paste after its click ended", 200, {}, Action::paste, Code::typed},
        {"", 300, click(false, copyFlags, 300)},
        {"a copy too late", 1301, {}, Action::copy, Code::stale},
        {"", 1400, click(false, copyFlags, 1400)},
        {"a copy just in time", 2400, {}, Action::copy, Code::typed},
        {"", 3000, click(true, pasteFlags, 5000)},
        {"a gesture from the future", 3001, {}, Action::paste, Code::stale},
        {"", 4000, click(true, pasteFlags, 4000)},
        {"", 4100, click(true, pasteFlags, 4100)},
        {"the first of two quick pastes", 4200, {}, Action::paste, Code::typed},
        {"the second of two quick pastes", 4210, {}, Action::paste, Code::typed},
        {"a third paste", 4220, {}, Action::paste, Code::used},
        {"no paste for a while", 6000, {}, Action::paste, Code::noGesture},
    };
    GesturePolicy policy;
    for (const Step& step : steps) {
        if (step.click) {
            policy.seen(*step.click);
        } else {
            EXPECT_EQ(policy.judge(step.action, step.at * 1000), step.verdict) << step.what;
        }
    }
}

TEST(ServiceClient, AsksOnlyForChordsTheServiceTypes)
{
    const ChordKeys keys{KEY_C, KEY_V};
    struct Case {
        const char* what;
        Chord chord;
        std::optional<ChordRequest> request;
    };
    const Case cases[] = {
        {"copy",
         {false, true, false, false, false, ChordKey::c},
         ChordRequest{Action::copy, Form::control, KEY_C}},
        {"terminal paste",
         {false, true, true, false, false, ChordKey::v},
         ChordRequest{Action::paste, Form::controlShift, KEY_V}},
        {"console copy",
         {false, true, false, false, false, ChordKey::insert},
         ChordRequest{Action::copy, Form::insert, 0}},
        {"console paste",
         {false, false, true, false, false, ChordKey::insert},
         ChordRequest{Action::paste, Form::insert, 0}},
        {"nothing to type", {true, true, false, false, false, ChordKey::c}, std::nullopt},
        {"with Alt", {false, true, false, true, false, ChordKey::c}, std::nullopt},
        {"no Control", {false, false, false, false, false, ChordKey::v}, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto request = requestFor(c.chord, keys);
        ASSERT_EQ(request.has_value(), c.request.has_value()) << c.what;
        if (request) {
            EXPECT_EQ(encode(*request), encode(*c.request)) << c.what;
        }
    }
    // A keymap whose c is not on a letter key asks for nothing rather than for something else.
    EXPECT_FALSE(requestFor({false, true, false, false, false, ChordKey::c}, {KEY_1, KEY_V}));
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

class ServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/snaplark-service-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        directory = pattern;
        path = directory + "/inputd.sock";
        ASSERT_EQ(server.listen(path), "");
        server.allowUser(::getuid(), "only the test's user");
    }
    void TearDown() override
    {
        ::unlink(path.c_str());
        ::rmdir(directory.c_str());
    }

    // Lets the server handle whatever is waiting on every descriptor.
    void pump()
    {
        for (int round = 0; round < 3; ++round) {
            for (const int fd : server.descriptors())
                server.ready(fd, nowMicroseconds());
        }
    }
    ServiceClient::Received connectAndRead(ServiceClient& client)
    {
        EXPECT_TRUE(client.connect());
        pump();
        return client.read();
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
    void gesture(bool press, ModifierFlags flags)
    {
        server.seen(Click{press, flags, nowMicroseconds()});
    }

    Recorder keyboard;
    Server server{&keyboard};
    std::string directory;
    std::string path;
};

TEST_F(ServerTest, TheUsersAgentHearsClicksAndHasItsChordTypedOnce)
{
    ServiceClient agent(path);
    EXPECT_TRUE(connectAndRead(agent).lines.empty());
    gesture(false, copyFlags);
    const auto heard = agent.read();
    ASSERT_EQ(heard.clicks.size(), 1u);
    EXPECT_FALSE(heard.clicks[0].press);
    EXPECT_EQ(heard.clicks[0].flags, copyFlags);

    const Chord copy{false, true, false, false, false, ChordKey::c};
    ASSERT_TRUE(agent.request(copy, {KEY_C, KEY_V}));
    ASSERT_TRUE(agent.request(copy, {KEY_C, KEY_V}));
    pump();
    server.settle(0, Server::Clock::now());
    EXPECT_EQ(keyboard.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_C, -KEY_C, -KEY_LEFTCTRL}));
    const auto answers = agent.read();
    ASSERT_EQ(answers.lines.size(), 1u);
    EXPECT_EQ(answers.lines[0],
              "copy not typed: the input service did not see the click that asked for it");
}

TEST_F(ServerTest, APasteWaitsForShiftAndIsDroppedIfItStaysDown)
{
    ServiceClient agent(path);
    connectAndRead(agent);
    const Chord paste{false, true, false, false, false, ChordKey::v};
    for (const bool letGo : {true, false}) {
        keyboard.keys.clear();
        gesture(true, pasteFlags);
        ASSERT_TRUE(agent.request(paste, {KEY_C, KEY_V}));
        pump();
        const auto start = Server::Clock::now();
        server.settle(pasteFlags, start);
        EXPECT_TRUE(keyboard.keys.empty());
        ASSERT_TRUE(server.deadline());
        if (letGo) {
            server.settle(copyFlags, start + 10ms);
            EXPECT_EQ(keyboard.keys,
                      (std::vector<int>{KEY_LEFTCTRL, KEY_V, -KEY_V, -KEY_LEFTCTRL}));
        } else {
            server.settle(pasteFlags, *server.deadline());
            EXPECT_TRUE(keyboard.keys.empty());
            const auto answers = agent.read();
            ASSERT_EQ(answers.lines.size(), 1u);
            EXPECT_EQ(answers.lines[0], "paste not typed: other modifiers were still held");
        }
        EXPECT_FALSE(server.deadline());
    }
}

TEST_F(ServerTest, AChordAskedForByAClientThatLeftIsStillTypedWhole)
{
    {
        ServiceClient agent(path);
        connectAndRead(agent);
        gesture(false, copyFlags);
        ASSERT_TRUE(agent.request({false, true, true, false, false, ChordKey::c}, {KEY_C, KEY_V}));
        pump();
    }
    pump();
    EXPECT_EQ(server.clientCount(), 0u);
    server.settle(0, Server::Clock::now());
    EXPECT_EQ(keyboard.keys, (std::vector<int>{KEY_LEFTCTRL, KEY_LEFTSHIFT, KEY_C, -KEY_C,
                                               -KEY_LEFTSHIFT, -KEY_LEFTCTRL}));
}

TEST_F(ServerTest, OtherUsersAreRefusedAndCutOffWhenTheUserChanges)
{
    ServiceClient before(path);
    connectAndRead(before);
    server.allowUser(::getuid() + 1, "snaplark-inputd serves only someone else");
    auto cut = before.read();
    EXPECT_TRUE(cut.lost);
    ASSERT_FALSE(cut.lines.empty());
    EXPECT_EQ(cut.lines[0],
              "the input service refused us: snaplark-inputd serves only someone else");

    ServiceClient after(path);
    const auto refused = connectAndRead(after);
    EXPECT_TRUE(refused.lost);
    EXPECT_EQ(server.clientCount(), 0u);
    server.allowUser(std::nullopt, "no one is at the seat");
    ServiceClient nobody(path);
    EXPECT_EQ(connectAndRead(nobody).lines.at(0),
              "the input service refused us: no one is at the seat");
}

TEST_F(ServerTest, MisbehavingClientsAreDroppedAndTheOthersGoOn)
{
    ServiceClient good(path);
    connectAndRead(good);
    const std::vector<std::uint8_t> oversized(1000, 16);
    const Packet valid = encode(ChordRequest{Action::copy, Form::control, KEY_C});
    const auto malformed = raw({16, 1, 1, 0, KEY_ENTER});
    struct Case {
        const char* what;
        std::vector<std::vector<std::uint8_t>> packets;
    };
    const Case cases[] = {
        {"malformed", {malformed}},
        {"oversized", {oversized}},
        {"flooding", std::vector<std::vector<std::uint8_t>>(Server::maxRequestsPerSecond + 1,
                                                            {valid.begin(), valid.end()})},
    };
    for (const Case& c : cases) {
        const int bad = rawClient();
        ASSERT_EQ(server.clientCount(), 2u) << c.what;
        for (const auto& packet : c.packets)
            ::send(bad, packet.data(), packet.size(), MSG_NOSIGNAL);
        pump();
        EXPECT_EQ(server.clientCount(), 1u) << c.what;
        ::close(bad);
    }
    // One that never reads is dropped once its queue is full, before anyone else suffers.
    const int deaf = rawClient();
    for (int i = 0; i < 100'000 && server.clientCount() == 2; ++i) {
        gesture(i % 2 == 0, 0);
        good.read();
    }
    EXPECT_EQ(server.clientCount(), 1u);
    ::close(deaf);
    gesture(true, 0);
    const auto received = good.read();
    EXPECT_FALSE(received.lost);
    EXPECT_EQ(received.clicks.size(), 1u);
}

}  // namespace
}  // namespace snaplark::platform::evdev::service
