#include "monitor/ClientNames.h"

#include <chrono>
#include <utility>

#include "platform/fault.h"
#include "platform/netnames.h"

namespace glimmerfen {

ClientNames::ClientNames(Resolver resolver) : resolver_(std::move(resolver)) {
    if (!resolver_) {
        resolver_ = [](const std::string& address) { return platform::NameOfAddress(address); };
    }
}

ClientNames::~ClientNames() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::string ClientNames::NameOf(const std::string& client) {
    if (!platform::IsNumericAddress(client)) {
        return {};
    }
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = names_.find(client);
    if (found != names_.end()) {
        return found->second.value_or(std::string());
    }
    if (stop_) {
        return {};
    }
    names_.emplace(client, std::nullopt);
    queue_.push_back(client);
    if (!worker_.joinable()) {
        worker_ = std::thread([this] { platform::ContainFault("client name lookup", [this] { Work(); }); });
    }
    changed_.notify_all();
    return {};
}

std::string ClientNames::Display(const std::string& client) {
    const std::string name = NameOf(client);
    return name.empty() ? client : client + " (" + name + ")";
}

bool ClientNames::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return queue_.empty() && !busy_; });
}

void ClientNames::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) {
            return;
        }
        const std::string address = std::move(queue_.front());
        queue_.pop_front();
        busy_ = true;
        lock.unlock();
        // The lookup runs with nothing locked: it may take seconds.
        std::optional<std::string> name = resolver_(address);
        lock.lock();
        busy_ = false;
        names_[address] = std::move(name).value_or(std::string());
        answered_.push_back(address);
        while (answered_.size() > kCapacity) {
            names_.erase(answered_.front());
            answered_.pop_front();
        }
        changed_.notify_all();
    }
}

} // namespace glimmerfen
