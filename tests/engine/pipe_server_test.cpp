// Both ends of the pipe above its bytes, over a pipe in memory: the service's server refusing frames
// that break the protocol and dropping a client that stops reading without holding up the others, and
// the tray's view following the service's table, losing and finding the service, and ending promptly.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/threading.h"
#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/ServiceView.h"
#include "monitor/pipe/TableDelta.h"
#include "platform/timer.h"
#include "settings/Settings.h"
#include "support/MemoryPipe.h"

namespace glimmerfen::pipe {
namespace {

using test::Eventually;
using test::MemoryPipe;

std::string U32(std::uint32_t v) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) {
        s[static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
    return s;
}
std::string U16(std::uint16_t v) {
    return U32(v).substr(0, 2);
}

std::optional<Reply> ReadReply(platform::PipeStream& stream) {
    std::string frame;
    const FrameRead read = ReadFrame(stream, kMaxReplyBytes, std::chrono::seconds(20), frame);
    if (read.io != platform::PipeIo::Done || read.refusal != Refusal::None) {
        return std::nullopt;
    }
    return DecodeReply(frame).message;
}

// The service's side of a table: entries newest first, carried as deltas per connection, and the
// commands it was asked for.
struct FakeService {
    std::mutex mutex;
    std::vector<AccessEntry> entries;
    std::vector<Request> commands;
    int changesAsked = 0;              // GetChanges answered
    std::atomic<std::size_t> ended{0}; // conversations over: their clients were marked ended

    class Conversation final : public PipeConversation {
    public:
        explicit Conversation(FakeService& service) : service_(service) {}
        ~Conversation() override { ++service_.ended; }
        Reply Answer(const Request& request) override {
            std::lock_guard<std::mutex> lock(service_.mutex);
            if (const auto* changes = std::get_if<GetChanges>(&request)) {
                ++service_.changesAsked;
                TableDelta delta = source_.Changes(changes->generation, service_.entries);
                delta.state.hasTable = true;
                delta.state.entryCount = static_cast<std::int32_t>(service_.entries.size());
                return delta;
            }
            if (std::holds_alternative<Hello>(request)) {
                return HelloAnswer{"FS01"};
            }
            service_.commands.push_back(request);
            return CommandResult{MessageType::Disconnect, 7};
        }

    private:
        FakeService& service_;
        DeltaSource source_;
    };
};

AccessEntry Entry(std::int32_t key, std::string client) {
    AccessEntry e;
    e.key = key;
    e.clientName = std::move(client);
    e.userName = "carol";
    e.pathName = std::string(200, 'p');
    return e;
}

struct Service {
    FakeService& fake;
    MemoryPipe::Listener* listener = nullptr;
    std::vector<Refusal> refused; // under fake.mutex
    std::unique_ptr<PipeServer> server;

    explicit Service(FakeService& f) : fake(f) {
        auto owned = std::make_unique<MemoryPipe::Listener>();
        listener = owned.get();
        server = std::make_unique<PipeServer>(
            std::move(owned), [this] { return std::make_unique<FakeService::Conversation>(fake); },
            [this](Refusal r) {
                std::lock_guard<std::mutex> lock(fake.mutex);
                refused.push_back(r);
            });
        server->Start();
    }
    bool Stop() { return server->Stop(std::chrono::steady_clock::now() + std::chrono::seconds(5)); }
};

TEST(PipeServer, RefusesEveryFrameThatBreaksTheProtocolAndGoesOnServing) {
    const std::string header = U16(kProtocolVersion);
    const struct {
        const char* what;
        std::string bytes;
        Refusal reason;
    } cases[] = {
        {"a line of text", "GET / HTTP/1.1\r\n\r\n", Refusal::Oversized},
        {"a length over the bound", U32(1 << 20) + header + U16(2), Refusal::Oversized},
        {"a length that holds no header", U32(2) + header, Refusal::Truncated},
        {"another version", U32(12) + U16(99) + U16(2) + std::string(8, '\0'), Refusal::WrongVersion},
        {"a type only the service sends", U32(4) + header + U16(0x82), Refusal::UnknownType},
        {"a byte after the message", U32(5) + header + U16(1) + "x", Refusal::TrailingBytes},
        // Half a GetChanges, and then nothing: refused once the rest is overdue.
        {"half a frame", U32(12) + header + U16(2) + "\1\2", Refusal::Truncated},
    };
    FakeService fake;
    Service service(fake);
    std::vector<Refusal> expected;
    for (const auto& c : cases) {
        platform::PipeConnect outcome{};
        auto client = service.listener->Connect(outcome);
        ASSERT_EQ(client->Write(c.bytes, std::chrono::seconds(5)), platform::PipeIo::Done) << c.what;
        const std::optional<Reply> reply = ReadReply(*client);
        ASSERT_TRUE(reply) << c.what;
        EXPECT_EQ(*reply, Reply(Refused{c.reason})) << c.what;
        // The stream cannot be trusted to be at a frame's start again: the client is dropped.
        char byte = 0;
        EXPECT_EQ(client->Read(&byte, 1, std::chrono::seconds(20)), platform::PipeIo::Closed) << c.what;
        expected.push_back(c.reason);
    }
    platform::PipeConnect outcome{};
    auto good = service.listener->Connect(outcome);
    ASSERT_EQ(good->Write(EncodeRequest(Hello{}), std::chrono::seconds(5)), platform::PipeIo::Done);
    EXPECT_EQ(ReadReply(*good), std::optional<Reply>(HelloAnswer{"FS01"}));
    EXPECT_TRUE(service.Stop());
    std::lock_guard<std::mutex> lock(fake.mutex);
    EXPECT_EQ(service.refused, expected);
}

TEST(PipeServer, AClientThatStopsReadingIsDroppedWhileTheOthersAreServed) {
    FakeService fake;
    for (std::int32_t key = 1; key <= 2000; ++key) {
        fake.entries.push_back(Entry(key, "PC" + std::to_string(key)));
    }
    Service service(fake);
    platform::PipeConnect outcome{};
    // Room for a little of the table's half a megabyte, and nobody reads it.
    auto stuck = service.listener->Connect(outcome, 1024);
    ASSERT_EQ(stuck->Write(EncodeRequest(GetChanges{0}), std::chrono::seconds(5)), platform::PipeIo::Done);
    auto other = service.listener->Connect(outcome);
    ASSERT_EQ(other->Write(EncodeRequest(Hello{}), std::chrono::seconds(5)), platform::PipeIo::Done);
    EXPECT_EQ(ReadReply(*other), std::optional<Reply>(HelloAnswer{"FS01"}));
    EXPECT_FALSE(stuck->PeerGone()) << "the other client was answered only after the stuck one was dropped";
    EXPECT_TRUE(Eventually([&] { return stuck->PeerGone(); }, std::chrono::seconds(30)));
    EXPECT_TRUE(service.Stop());
}

// Each command of the tray comes on a connection of its own: clients that have gone must leave their
// room, or the service refuses every tray after its eighth command.
TEST(PipeServer, ClientsThatHaveGoneLeaveRoomForNewOnes) {
    FakeService fake;
    Service service(fake);
    for (std::size_t i = 1; i <= 2 * kMaxPipeClients; ++i) {
        platform::PipeConnect outcome{};
        auto client = service.listener->Connect(outcome);
        const bool asked = client->Write(EncodeRequest(Hello{}), std::chrono::seconds(5)) == platform::PipeIo::Done;
        ASSERT_TRUE(asked && ReadReply(*client) == std::optional<Reply>(HelloAnswer{"FS01"}))
            << "connection " << i << " was refused";
        client.reset();
        ASSERT_TRUE(Eventually([&] { return fake.ended.load() == i; })) << "connection " << i << " never ended";
    }
    EXPECT_TRUE(service.Stop());
}

// A command that waits for a distant server outlasts the stop: its client's thread is left behind and
// ends later on its own. Regression: that thread took the destroyed server's lock at its end.
TEST(PipeServer, AClientLeftBehindByStopEndsAfterTheServerIsGone) {
    struct Held {
        std::mutex mutex;
        std::condition_variable changed;
        bool asked = false;
        bool released = false;
        std::atomic<bool> answered{false};
    };
    auto held = std::make_shared<Held>();
    class Slow final : public PipeConversation {
    public:
        explicit Slow(std::shared_ptr<Held> h) : held_(std::move(h)) {}
        Reply Answer(const Request&) override {
            std::unique_lock<std::mutex> lock(held_->mutex);
            held_->asked = true;
            held_->changed.notify_all();
            held_->changed.wait(lock, [&] { return held_->released; });
            held_->answered = true;
            return CommandResult{MessageType::Disconnect, 0};
        }

    private:
        std::shared_ptr<Held> held_;
    };
    auto listener = std::make_unique<MemoryPipe::Listener>();
    MemoryPipe::Listener& pipe = *listener;
    auto server = std::make_unique<PipeServer>(
        std::move(listener), [held] { return std::make_unique<Slow>(held); }, [](Refusal) {});
    server->Start();
    platform::PipeConnect outcome{};
    auto client = pipe.Connect(outcome);
    ASSERT_EQ(client->Write(EncodeRequest(Disconnect{{"PC-B", "carol", "", 0}, true}), std::chrono::seconds(5)),
              platform::PipeIo::Done);
    {
        std::unique_lock<std::mutex> lock(held->mutex);
        ASSERT_TRUE(held->changed.wait_for(lock, std::chrono::seconds(10), [&] { return held->asked; }));
    }
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(server->Stop(started + std::chrono::milliseconds(100)));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "Stop waited for the command";
    server.reset();
    {
        std::lock_guard<std::mutex> lock(held->mutex);
        held->released = true;
    }
    held->changed.notify_all();
    EXPECT_TRUE(Eventually([&] { return held->answered.load(); }));
    // The left thread's end (its reply, its lock, its record) runs after the server is gone.
    EXPECT_TRUE(Eventually([&] { return held.use_count() == 1; })) << "the left thread never ended";
}

TEST(ServiceView, FollowsTheServiceLosesItFindsItAgainAndEndsPromptly) {
    AppSettings settings;
    settings.CycleTime2 = 5;
    FakeService fake;
    fake.entries = {Entry(2, "PC-B"), Entry(1, "PC-A")};
    std::mutex serviceMutex;
    std::unique_ptr<Service> service = std::make_unique<Service>(fake);
    ServiceView view(settings, [&](platform::PipeConnect& outcome) -> std::unique_ptr<platform::PipeStream> {
        std::lock_guard<std::mutex> lock(serviceMutex);
        if (!service) {
            outcome = platform::PipeConnect::Absent;
            return nullptr;
        }
        return service->listener->Connect(outcome);
    });
    // Each refresh waits for the user-interface thread, which is this one: Stop must answer it.
    test::UiThreadLink ui;
    std::atomic<int> applied{0};
    view.SetRefresh([&] { ui.Send([&] { ++applied; }, std::chrono::seconds(10)); });
    auto keysAre = [&](std::vector<std::int32_t> keys, ServiceLink link) {
        return [&view, keys, link] {
            return view.Read([&](const TableMirror& mirror, ServiceLink now) {
                std::vector<std::int32_t> got;
                mirror.ForEach([&](const AccessEntry& e) { got.push_back(e.key); });
                return now == link && got == keys;
            });
        };
    };
    // Waits as the window's thread does: answering the refreshes meanwhile.
    auto serving = [&](auto&& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        platform::WaitServingSentMessages([&] { return condition() || std::chrono::steady_clock::now() > deadline; });
        return condition();
    };
    view.Start();
    EXPECT_TRUE(serving(keysAre({2, 1}, ServiceLink::Connected)));
    {
        std::lock_guard<std::mutex> lock(fake.mutex);
        fake.entries = {Entry(3, "PC-C"), Entry(2, "PC-B")};
    }
    EXPECT_TRUE(serving(keysAre({3, 2}, ServiceLink::Connected)));
    EXPECT_EQ(view.Ask(Disconnect{{"PC-B", "carol", "", 0}, true}), std::optional<std::uint32_t>(7));

    {
        std::lock_guard<std::mutex> lock(serviceMutex);
        EXPECT_TRUE(service->Stop());
        service.reset();
    }
    EXPECT_TRUE(serving([&] {
        return view.Read([](const TableMirror&, ServiceLink link) { return link; }) == ServiceLink::NotRunning;
    }));
    EXPECT_EQ(view.Ask(Disconnect{{"PC-B", "carol", "", 0}, true}), std::nullopt);
    {
        std::lock_guard<std::mutex> lock(fake.mutex);
        fake.entries = {Entry(4, "PC-D")};
    }
    {
        std::lock_guard<std::mutex> lock(serviceMutex);
        service = std::make_unique<Service>(fake);
    }
    // Tried again within a few seconds, and given the whole table anew.
    EXPECT_TRUE(serving(keysAre({4}, ServiceLink::Connected)));
    EXPECT_GT(applied.load(), 0);
    EXPECT_TRUE(view.Stop());
    {
        std::lock_guard<std::mutex> lock(fake.mutex);
        ASSERT_EQ(fake.commands.size(), 1u);
    }
    service->Stop();
}

// A running service is asked once every list refresh period; a missing one only every
// kServiceRetryPeriod, not at the list's pace.
TEST(ServiceView, AsksAtTheListPeriodAndRetriesAMissingServiceAtItsOwn) {
    AppSettings settings;
    settings.CycleTime2 = 20;
    {
        FakeService fake;
        Service service(fake);
        ServiceView view(settings, [&](platform::PipeConnect& outcome) -> std::unique_ptr<platform::PipeStream> {
            return service.listener->Connect(outcome);
        });
        view.Start();
        // A tenth of a second at the list's period; twelve seconds at the retry period.
        EXPECT_TRUE(Eventually(
            [&] {
                std::lock_guard<std::mutex> lock(fake.mutex);
                return fake.changesAsked >= 5;
            },
            std::chrono::seconds(2)));
        EXPECT_TRUE(view.Stop());
    }
    std::atomic<int> attempts{0};
    ServiceView view(settings, [&](platform::PipeConnect& outcome) -> std::unique_ptr<platform::PipeStream> {
        ++attempts;
        outcome = platform::PipeConnect::Absent;
        return nullptr;
    });
    view.Start();
    ASSERT_TRUE(Eventually([&] { return attempts.load() >= 1; }));
    std::this_thread::sleep_for(kServiceRetryPeriod / 6);
    EXPECT_EQ(attempts.load(), 1) << "a missing service was asked again at the list's period";
    EXPECT_TRUE(view.Stop());
}

TEST(ServiceView, StopEndsAnExchangeTheServiceNeverAnswers) {
    AppSettings settings;
    settings.CycleTime2 = 5;
    // A pipe that takes the request and never answers.
    MemoryPipe::Listener listener;
    std::vector<std::unique_ptr<platform::PipeStream>> serverEnds;
    ServiceView view(settings, [&](platform::PipeConnect& outcome) -> std::unique_ptr<platform::PipeStream> {
        return listener.Connect(outcome);
    });
    view.Start();
    serverEnds.push_back(listener.Accept());
    char prefix[4];
    ASSERT_EQ(serverEnds.back()->Read(prefix, 4, std::chrono::seconds(10)), platform::PipeIo::Done);
    EXPECT_TRUE(view.Stop()) << "the view's thread was left waiting for the service";
}

} // namespace
} // namespace glimmerfen::pipe
