// Clients known by their address: which texts are addresses, the background lookup that never makes a
// reader wait, and the computer lists matching the address or its name.
#include "monitor/ClientNames.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/threading.h"
#include "monitor/AccessMonitor.h"
#include "platform/netnames.h"
#include "settings/Settings.h"
#include "support/FakeServer.h"

namespace glimmerfen {
namespace {

TEST(NumericAddress, WhatCountsAsAnAddress) {
    const std::map<std::string, bool> cases = {
        {"192.168.1.20", true},
        {"127.0.0.1", true},
        {"0.0.0.0", true},
        {"::1", true},
        {"fe80::1%12", true},
        {"2001:db8::ff00:42:8329", true},
        {"::ffff:192.168.1.20", true},
        {"PC01", false},
        {"", false},
        {"192.168.1", false},
        {"192.168.1.256", false},
        {"1.2.3.4.5", false},
        {"12345::", false},
        {"fe80::1%", false},
        {"a:b", false},
        {"経理部PC", false},
        {"192.168.1.20 ", false},
        {"1..2.3", false},
        {"g::1", false},
    };
    for (const auto& [text, address] : cases) {
        EXPECT_EQ(platform::IsNumericAddress(text), address) << text;
    }
}

// A resolver that answers only when the test lets it, and counts its calls.
class GatedResolver {
public:
    ClientNames::Resolver Function() {
        return [this](const std::string& address) -> std::optional<std::string> {
            std::unique_lock<std::mutex> lock(mutex_);
            ++calls[address];
            entered = true;
            open_.wait(lock, [this] { return opened_; });
            const auto found = names.find(address);
            return found == names.end() ? std::nullopt : std::optional<std::string>(found->second);
        };
    }
    void Open() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            opened_ = true;
        }
        open_.notify_all();
    }

    std::map<std::string, std::string> names;
    std::map<std::string, int> calls; // read after WaitIdle only
    std::atomic<bool> entered{false};

private:
    std::mutex mutex_;
    std::condition_variable open_;
    bool opened_ = false;
};

TEST(ClientNamesTest, ReadersNeverWaitAndEachAddressIsLookedUpOnce) {
    GatedResolver resolver;
    resolver.names = {{"192.168.1.20", "PC01"}};
    ClientNames names(resolver.Function());
    // The lookup hangs until opened: the answers meanwhile are immediate and empty.
    EXPECT_EQ(names.NameOf("192.168.1.20"), "");
    EXPECT_EQ(names.NameOf("10.0.0.9"), "");
    EXPECT_EQ(names.Display("192.168.1.20"), "192.168.1.20");
    EXPECT_EQ(names.NameOf("PC02"), ""); // no address: never looked up
    resolver.Open();
    ASSERT_TRUE(names.WaitIdle(10000));
    EXPECT_EQ(names.NameOf("192.168.1.20"), "PC01");
    EXPECT_EQ(names.Display("192.168.1.20"), "192.168.1.20 (PC01)");
    EXPECT_EQ(names.Display("10.0.0.9"), "10.0.0.9"); // no name: the address stays
    EXPECT_EQ(names.Display("PC02"), "PC02");
    EXPECT_EQ(resolver.calls, (std::map<std::string, int>{{"10.0.0.9", 1}, {"192.168.1.20", 1}}));
}

// The program ends while a reverse lookup hangs (an unreachable address takes many seconds): the
// destructor must not wait for it (one that did hangs here until the test's time limit), and the lookup
// that returns afterwards touches only the state its thread shares, which it then lets go.
TEST(ClientNamesTest, DestructionDoesNotWaitForAHangingLookup) {
    auto resolver = std::make_shared<GatedResolver>();
    const std::weak_ptr<GatedResolver> watch = resolver;
    {
        ClientNames names([resolver](const std::string& address) { return resolver->Function()(address); });
        names.NameOf("192.168.1.20");
        names.NameOf("192.168.1.21"); // queued behind: dropped at the end
        while (!resolver->entered) {
            std::this_thread::yield();
        }
    }
    resolver->Open();
    resolver.reset();
    EXPECT_TRUE(test::Eventually([&] { return watch.expired(); }, std::chrono::seconds(60)));
}

// The system's resolver: the loopback address has the name every system gives it.
TEST(ClientNamesTest, SystemResolverNamesTheLoopbackAddress) {
    EXPECT_EQ(platform::NameOfAddress("127.0.0.1").value_or(""), "localhost");
    EXPECT_FALSE(platform::NameOfAddress("PC01").has_value());
}

// The rules compare the lists with the address and with its name: a denied list naming the resolved name
// closes the session (asked by its address, as the server reported it), an acceptable list naming it
// keeps the session.
TEST(ClientNamesTest, ComputerListsMatchTheAddressOrItsName) {
    struct Case {
        const char* okList;
        const char* ngList;
        std::vector<std::string> closed;
    };
    const Case cases[] = {
        {"", "localhost", {"\\\\127.0.0.1"}}, {"", "LOCALHOST;PC9", {"\\\\127.0.0.1"}},
        {"", "127.0.0.1", {"\\\\127.0.0.1"}}, {"", "otherhost", {}},
        {"localhost", "", {"\\\\10.1.1.1"}}, // the unnamed address is not acceptable
        {"10.1.1.1;LocalHost", "", {}},
    };
    for (const Case& c : cases) {
        AppSettings settings;
        settings.DisJuncPcFlag = 1;
        settings.DisJuncOkPcFlag = std::string(c.okList).empty() ? 0 : 1;
        settings.DisJuncNgPcFlag = std::string(c.ngList).empty() ? 0 : 1;
        settings.DisJuncOkPcStr.Set(c.okList);
        settings.DisJuncNgPcStr.Set(c.ngList);
        testing::FakeServer server;
        server.AddSession("127.0.0.1", "bob");
        server.AddSession("10.1.1.1", "carol");
        AccessMonitor monitor(settings, server, nullptr, [](const std::string& address) -> std::optional<std::string> {
            if (address == "127.0.0.1") {
                return "localhost";
            }
            return std::nullopt;
        });
        monitor.CreateTable();
        monitor.Poll(); // asks for the names
        ASSERT_TRUE(monitor.Names().WaitIdle(10000));
        server.deletions.clear();
        monitor.Poll();
        std::vector<std::string> closed;
        for (const auto& d : server.deletions) {
            closed.push_back(d.clientArg);
        }
        EXPECT_EQ(closed, c.closed) << c.okList << " / " << c.ngList;
        monitor.ReleaseTable();
    }
}

} // namespace
} // namespace glimmerfen
