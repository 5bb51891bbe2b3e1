// The two kinds of watch meeting over a pipe in memory: the service's own engine answering through
// the pipe's conversation, and the tray's window showing it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "engine/temp_dir.h"
#include "engine/threading.h"
#include "monitor/AccessMonitor.h"
#include "monitor/EngineWatch.h"
#include "monitor/pipe/PipeServer.h"
#include "monitor/pipe/ServiceWatch.h"
#include "monitor/pipe/TrayConversation.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "res/resource.h"
#include "settings/Settings.h"
#include "support/FakeServer.h"
#include "support/MemoryPipe.h"

namespace glimmerfen::pipe {
namespace {

using test::Eventually;
using test::MemoryPipe;

std::size_t LineCount(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
}

// The service's side: its engine over a fake server, polled by hand, and its pipe.
struct Service {
    test::TempDir dir;
    AppSettings settings;
    testing::FakeServer server;
    std::string logPath = (dir.Path() / "log.txt").string();
    EngineWatch watch{EngineWatchContext{settings, server, logPath, "test", 1, ""}};
    std::atomic<int> settingsChanged{0};
    MemoryPipe::Listener* listener = nullptr;
    std::unique_ptr<PipeServer> pipe;

    Service() {
        settings.LogOut = 1;
        server.AddSession("10.1.2.3", "alice");
        server.AddSession("PC2", "bob");
        server.AddSession("PC3", "carol");
        server.AddFile("bob", "C:\\share\\plan.xls", 41);
        watch.Monitor().CreateTable();
        watch.Monitor().Poll();
        auto owned = std::make_unique<MemoryPipe::Listener>();
        listener = owned.get();
        pipe = std::make_unique<PipeServer>(
            std::move(owned),
            [this] { return std::make_unique<TrayConversation>(watch, "FS01", [this] { ++settingsChanged; }); },
            [](Refusal) {});
        pipe->Start();
    }
    ~Service() { EXPECT_TRUE(pipe->Stop(std::chrono::steady_clock::now() + std::chrono::seconds(5))); }
    ServiceView::Connector Connector() {
        return [this](platform::PipeConnect& outcome) { return listener->Connect(outcome); };
    }
};

std::vector<std::string> Rows(const Watch& watch) {
    std::vector<std::string> rows;
    watch.Read([&](bool, int, const Watch::ForEachEntry& forEach) {
        forEach([&](const AccessEntry& e) { rows.push_back(e.clientName + "|" + e.userName + "|" + e.pathName); });
    });
    return rows;
}

// Regression: the service's window kept no names of its own for the clients the service knows by
// address; showing such a row's details made the window stop answering for good.
TEST(Watch, TheServicesWindowShowsItsTableAndNamesItsClientsKnownByAddress) {
    Service service;
    AppSettings trayed;
    trayed.CycleTime2 = 5;
    ServiceWatch window(trayed, service.Connector(), "test",
                        [](const std::string& address) -> std::optional<std::string> {
                            return address == "10.1.2.3" ? std::optional<std::string>("PC-ADDR") : std::nullopt;
                        });
    window.Start({});
    ASSERT_TRUE(Eventually([&] {
        const WatchState state = window.State();
        return state.SeesServer() && state.entryCount == service.watch.State().entryCount && state.entryCount > 0;
    }));
    EXPECT_EQ(Rows(window), Rows(service.watch));
    EXPECT_TRUE(Eventually([&] { return window.ClientDisplay("10.1.2.3") == "10.1.2.3 (PC-ADDR)"; }));

    window.SettingsApplied();
    EXPECT_TRUE(Eventually([&] { return service.settingsChanged.load() == 1; }));
    EXPECT_TRUE(window.Stop());
}

// A command the service never got did nothing and wrote nothing: the user is told, where the settings
// applied wait for the service's start.
TEST(Watch, ACommandTheServiceCannotBeAskedIsTold) {
    std::mutex mutex;
    std::vector<std::string> told;
    platform::SetMessageSink([&](const std::string& text, const std::string&, platform::MessageIcon) {
        std::lock_guard<std::mutex> lock(mutex);
        told.push_back(text);
    });
    AppSettings trayed;
    ServiceWatch window(
        trayed,
        [](platform::PipeConnect& outcome) -> std::unique_ptr<platform::PipeStream> {
            outcome = platform::PipeConnect::Absent;
            return nullptr;
        },
        "test");
    window.SettingsApplied();
    window.CloseFile("", "bob", "C:\\share\\plan.xls");
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(mutex);
        return !told.empty();
    }));
    EXPECT_TRUE(window.Stop());
    platform::SetMessageSink({});
    EXPECT_EQ(told, std::vector<std::string>{platform::LoadText(IDS_TIP_SERVICE_NOT_ANSWERING)});
}

TEST(Watch, TheServiceCarriesOutOnlyCommandsOnRowsItsTableLists) {
    Service service;
    AppSettings trayed;
    ServiceView asker(trayed, service.Connector());
    const struct {
        const char* what;
        Request command;
        std::uint32_t deleteResult;
        std::optional<std::uint32_t> code;
        bool reachesServer;
    } cases[] = {
        {"a client not listed", Disconnect{{"PC9", "alice", "", 0}, true}, 0, kNotListed, false},
        {"a user not listed", Disconnect{{"", "mallory", "", 0}, true}, 0, kNotListed, false},
        {"a file not listed", CloseFile{{"", "bob", "C:\\share\\other.xls", 0}}, 0, kNotListed, false},
        {"a file of another user", CloseFile{{"", "alice", "C:\\share\\plan.xls", 0}}, 0, kNotListed, false},
        {"a listed session the server refuses", Disconnect{{"PC3", "carol", "", 0}, true}, 5, 1u, true},
        // bob holds a file: his session is listed only as the file's row.
        {"a session listed only by its file", Disconnect{{"PC2", "bob", "", 0}, true}, 0, kNotListed, false},
        {"a listed session", Disconnect{{"10.1.2.3", "alice", "", 0}, true}, 0, 0u, true},
        {"a listed file", CloseFile{{"", "bob", "C:\\share\\plan.xls", 0}}, 0, 0u, true},
    };
    for (const auto& c : cases) {
        service.server.deleteResult = c.deleteResult;
        const std::size_t calls = service.server.deletions.size() + service.server.fileCloses.size();
        const std::size_t lines = LineCount(service.logPath);
        EXPECT_EQ(asker.Ask(c.command), c.code) << c.what;
        EXPECT_EQ(service.server.deletions.size() + service.server.fileCloses.size(), calls + (c.reachesServer ? 1 : 0))
            << c.what;
        EXPECT_EQ(LineCount(service.logPath), lines + (c.reachesServer ? 1 : 0)) << c.what;
    }
    EXPECT_EQ(service.server.fileCloses, std::vector<std::uint32_t>{41}) << "the id the service's table holds";
}

} // namespace
} // namespace glimmerfen::pipe
