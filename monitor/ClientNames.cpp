#include "monitor/ClientNames.h"

#include <chrono>
#include <utility>

#include "platform/fault.h"
#include "platform/netnames.h"

namespace glimmerfen {

namespace {

ClientNames::Resolver OrSystemResolver(ClientNames::Resolver resolver) {
    if (resolver) {
        return resolver;
    }
    return [](const std::string& address) { return platform::NameOfAddress(address); };
}

} // namespace

ClientNames::ClientNames(Resolver resolver)
    : shared_(std::make_shared<Shared>(OrSystemResolver(std::move(resolver)))) {}

ClientNames::~ClientNames() {
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
        worker = std::move(worker_);
    }
    shared_->changed.notify_all();
    // The thread holds its own share of the state: it ends at its next look at `stop`, which may be
    // only when a hanging lookup returns. Nobody waits for that.
    if (worker.joinable()) {
        worker.detach();
    }
}

std::string ClientNames::NameOf(const std::string& client) {
    if (!platform::IsNumericAddress(client)) {
        return {};
    }
    Shared& s = *shared_;
    std::lock_guard<std::mutex> lock(s.mutex);
    const auto found = s.names.find(client);
    if (found != s.names.end()) {
        return found->second.value_or(std::string());
    }
    if (s.stop) {
        return {};
    }
    s.names.emplace(client, std::nullopt);
    s.queue.push_back(client);
    if (!worker_.joinable()) {
        worker_ = std::thread(
            [shared = shared_] { platform::ContainFault("client name lookup", [&shared] { Work(shared); }); });
    }
    s.changed.notify_all();
    return {};
}

std::string ClientNames::Display(const std::string& client) {
    const std::string name = NameOf(client);
    return name.empty() ? client : client + " (" + name + ")";
}

bool ClientNames::WaitIdle(int timeoutMs) {
    Shared& s = *shared_;
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&s] { return s.queue.empty() && !s.busy; });
}

void ClientNames::Work(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    std::unique_lock<std::mutex> lock(s.mutex);
    for (;;) {
        s.changed.wait(lock, [&s] { return s.stop || !s.queue.empty(); });
        if (s.stop) {
            return;
        }
        const std::string address = std::move(s.queue.front());
        s.queue.pop_front();
        s.busy = true;
        lock.unlock();
        // The lookup runs with nothing locked: it may take seconds.
        std::optional<std::string> name = s.resolver(address);
        lock.lock();
        s.busy = false;
        s.names[address] = std::move(name).value_or(std::string());
        s.answered.push_back(address);
        while (s.answered.size() > kCapacity) {
            s.names.erase(s.answered.front());
            s.answered.pop_front();
        }
        s.changed.notify_all();
    }
}

} // namespace glimmerfen
