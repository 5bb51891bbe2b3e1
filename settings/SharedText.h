// A text setting that one thread may replace while others read it: readers get a whole copy, old or new.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace glimmerfen {

class SharedText {
public:
    SharedText() : value_(std::make_shared<const std::string>()) {}
    SharedText(const SharedText&) = delete;
    SharedText& operator=(const SharedText&) = delete;

    std::string Get() const { return *Snapshot(); }

    // The current value, kept alive for as long as the caller holds it.
    std::shared_ptr<const std::string> Snapshot() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }

    void Set(std::string_view text) {
        auto next = std::make_shared<const std::string>(text);
        std::lock_guard<std::mutex> lock(mutex_);
        value_.swap(next);
    }

    bool Empty() const { return Snapshot()->empty(); }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const std::string> value_;
};

} // namespace glimmerfen
