// Names of the clients that the server reports by address. A client name that is an IP address is
// looked up in the background, one address at a time, and remembered: the poll, the rules and the
// windows only ever read what is known, so none of them waits on the network.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

namespace glimmerfen {

class ClientNames {
public:
    // Gives the name of an address, or nothing; may block. The default is the system's resolver.
    using Resolver = std::function<std::optional<std::string>(const std::string& address)>;

    explicit ClientNames(Resolver resolver = {});
    // Waits for a lookup in progress to end; the ones still queued are dropped.
    ~ClientNames();
    ClientNames(const ClientNames&) = delete;
    ClientNames& operator=(const ClientNames&) = delete;

    // The name of a client that is an address, once looked up; empty for a client that is no address,
    // an address not looked up yet (it is queued now) or one that has no name. Never waits.
    std::string NameOf(const std::string& client);
    // "192.168.1.20 (PC01)" for an address with a known name, otherwise the client as it is.
    std::string Display(const std::string& client);

    // Waits until nothing is queued or being looked up; false when that took longer than timeoutMs.
    bool WaitIdle(int timeoutMs);

    // Addresses remembered at most; beyond, the oldest answers are forgotten (and looked up again).
    static constexpr std::size_t kCapacity = 4096;

private:
    void Work();

    Resolver resolver_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Known addresses: the name, empty when the address has none; absent from the map: never asked.
    std::unordered_map<std::string, std::optional<std::string>> names_; // nullopt: queued or in progress
    std::deque<std::string> queue_;
    std::deque<std::string> answered_; // addresses in the order they were answered, for forgetting
    bool busy_ = false;
    bool stop_ = false;
    std::thread worker_; // started at the first address
};

} // namespace glimmerfen
