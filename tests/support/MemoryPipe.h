// A pipe in memory for the tests of what travels over platform::PipeStream: two ends, each direction a
// byte queue of bounded capacity (a writer waits for room, as on a real pipe), with the streams'
// timeouts and cancellation. A listener hands out the server's ends of the pairs that Connect makes.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/pipe.h"

namespace glimmerfen::test {

class MemoryPipe {
public:
    struct Direction {
        std::deque<char> bytes;
        bool closed = false; // the writer's end went
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable changed;
        Direction toServer;
        Direction toClient;
        std::size_t capacity = 64 * 1024;
    };

    class End final : public platform::PipeStream {
    public:
        End(std::shared_ptr<Shared> shared, bool server) : shared_(std::move(shared)), server_(server) {}
        ~End() override {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            Out().closed = true;
            In().closed = true;
            shared_->changed.notify_all();
        }

        platform::PipeIo Read(char* data, std::size_t size, std::chrono::milliseconds timeout) override {
            std::unique_lock<std::mutex> lock(shared_->mutex);
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            while (size > 0) {
                if (cancelled_) {
                    return platform::PipeIo::Cancelled;
                }
                if (!In().bytes.empty()) {
                    const std::size_t n = std::min(size, In().bytes.size());
                    std::copy_n(In().bytes.begin(), n, data);
                    In().bytes.erase(In().bytes.begin(), In().bytes.begin() + static_cast<std::ptrdiff_t>(n));
                    data += n;
                    size -= n;
                    shared_->changed.notify_all();
                    continue;
                }
                if (In().closed) {
                    return platform::PipeIo::Closed;
                }
                if (!Wait(lock, timeout, deadline)) {
                    return platform::PipeIo::TimedOut;
                }
            }
            return platform::PipeIo::Done;
        }

        platform::PipeIo Write(std::string_view data, std::chrono::milliseconds timeout) override {
            std::unique_lock<std::mutex> lock(shared_->mutex);
            const auto deadline = std::chrono::steady_clock::now() + timeout;
            while (!data.empty()) {
                if (cancelled_) {
                    return platform::PipeIo::Cancelled;
                }
                if (Out().closed) {
                    return platform::PipeIo::Closed;
                }
                const std::size_t room = shared_->capacity - std::min(shared_->capacity, Out().bytes.size());
                if (room > 0) {
                    const std::size_t n = std::min(room, data.size());
                    Out().bytes.insert(Out().bytes.end(), data.begin(), data.begin() + static_cast<std::ptrdiff_t>(n));
                    data.remove_prefix(n);
                    shared_->changed.notify_all();
                    continue;
                }
                if (!Wait(lock, timeout, deadline)) {
                    return platform::PipeIo::TimedOut;
                }
            }
            return platform::PipeIo::Done;
        }

        void Cancel() override {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            cancelled_ = true;
            shared_->changed.notify_all();
        }
        // Whether the other end has gone, without taking anything that waits.
        bool PeerGone() {
            std::lock_guard<std::mutex> lock(shared_->mutex);
            return In().closed;
        }

    private:
        Direction& In() { return server_ ? shared_->toServer : shared_->toClient; }
        Direction& Out() { return server_ ? shared_->toClient : shared_->toServer; }
        bool Wait(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds timeout,
                  std::chrono::steady_clock::time_point deadline) {
            if (timeout.count() < 0) {
                shared_->changed.wait(lock);
                return true;
            }
            return shared_->changed.wait_until(lock, deadline) != std::cv_status::timeout ||
                   std::chrono::steady_clock::now() < deadline;
        }

        std::shared_ptr<Shared> shared_;
        bool server_;
        bool cancelled_ = false; // under shared_->mutex
    };

    // The listener of a pretend service: Connect gives the client's end while the listener is open.
    class Listener final : public platform::PipeListener {
    public:
        std::unique_ptr<platform::PipeStream> Accept() override {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return cancelled_ || !waiting_.empty(); });
            if (cancelled_) {
                return nullptr;
            }
            std::unique_ptr<platform::PipeStream> end = std::move(waiting_.front());
            waiting_.pop_front();
            return end;
        }
        void Cancel() override {
            std::lock_guard<std::mutex> lock(mutex_);
            cancelled_ = true;
            changed_.notify_all();
        }
        // The client's end, or null (Absent) once the listener was cancelled.
        std::unique_ptr<End> Connect(platform::PipeConnect& outcome, std::size_t capacity = 64 * 1024) {
            std::lock_guard<std::mutex> lock(mutex_);
            if (cancelled_) {
                outcome = platform::PipeConnect::Absent;
                return nullptr;
            }
            auto shared = std::make_shared<Shared>();
            shared->capacity = capacity;
            waiting_.push_back(std::make_unique<End>(shared, true));
            changed_.notify_all();
            outcome = platform::PipeConnect::Connected;
            return std::make_unique<End>(shared, false);
        }

    private:
        std::mutex mutex_;
        std::condition_variable changed_;
        std::deque<std::unique_ptr<platform::PipeStream>> waiting_;
        bool cancelled_ = false;
    };
};

} // namespace glimmerfen::test
