#include "monitor/ClientNames.h"

#include <chrono>
#include <utility>

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
    : shared_(std::make_shared<Shared>(OrSystemResolver(std::move(resolver)))), worker_("client name lookup") {}

ClientNames::~ClientNames() {
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->stop = true;
    }
    // A lookup in progress ends at its own pace, which may be only when a hanging resolver returns;
    // the queued ones see `stop` and end at once. Nobody waits for that.
    worker_.Stop(std::chrono::milliseconds(0));
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
    if (!worker_.Post([shared = shared_, client] { LookUp(*shared, client); })) {
        s.names.erase(client); // not looked up: asked again next time
    }
    return {};
}

std::string ClientNames::Display(const std::string& client) {
    const std::string name = NameOf(client);
    return name.empty() ? client : client + " (" + name + ")";
}

bool ClientNames::WaitIdle(int timeoutMs) {
    return worker_.WaitIdle(std::chrono::milliseconds(timeoutMs));
}

void ClientNames::LookUp(Shared& s, const std::string& address) {
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.stop) {
            return;
        }
    }
    // The lookup runs with nothing locked: it may take seconds.
    std::optional<std::string> name = s.resolver(address);
    std::lock_guard<std::mutex> lock(s.mutex);
    s.names[address] = std::move(name).value_or(std::string());
    s.answered.push_back(address);
    while (s.answered.size() > kCapacity) {
        s.names.erase(s.answered.front());
        s.answered.pop_front();
    }
}

} // namespace glimmerfen
