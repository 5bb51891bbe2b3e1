// Names of the clients that the server reports by address. A client name that is an IP address is
// looked up in the background, one address at a time, and remembered: the poll, the rules and the
// windows only ever read what is known, so none of them waits on the network.
#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "monitor/Worker.h"

namespace glimmerfen {

class ClientNames {
public:
    // Gives the name of an address, or nothing; may block. The default is the system's resolver. A
    // lookup in progress may outlive the ClientNames (see the destructor): the function is kept alive
    // by the lookup thread, and whatever it refers to must stay valid until it returns.
    using Resolver = std::function<std::optional<std::string>(const std::string& address)>;

    explicit ClientNames(Resolver resolver = {});
    // Never waits for the resolver: a lookup in progress (a reverse lookup of an unreachable address
    // may take many seconds) finishes on its own thread, which then ends without touching this object;
    // the addresses still queued are dropped.
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
    // What the lookups use, owned jointly by this object and the tasks on the worker's thread, so that
    // a lookup may go on after this object is gone.
    struct Shared {
        explicit Shared(Resolver r) : resolver(std::move(r)) {}
        const Resolver resolver;
        std::mutex mutex;
        // Known addresses: the name, empty when the address has none; absent from the map: never asked.
        std::unordered_map<std::string, std::optional<std::string>> names; // nullopt: queued or in progress
        std::deque<std::string> answered; // addresses in the order they were answered, for forgetting
        bool stop = false;                // the lookups still queued are dropped
    };
    static void LookUp(Shared& shared, const std::string& address);

    std::shared_ptr<Shared> shared_;
    Worker worker_; // one address at a time; its thread starts at the first address
};

} // namespace glimmerfen
