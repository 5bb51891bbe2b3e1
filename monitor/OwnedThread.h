// The one way a thread of the program is owned and ended, the Worker's way: the thread is asked to
// stop by its owner's own means (a flag, a cancelled stream), given a bounded time to end while the
// owner's thread answers the messages it sends and ends a box it shows (platform::WaitForThreadEnd),
// and is then left behind to end alone. So the thread's function must hold what it uses itself (a
// shared_ptr to its state), never the owner: a thread left behind outlives it.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

#include "platform/timer.h"

namespace glimmerfen {

class OwnedThread {
public:
    // where: names the work in the report of a fault that leaves the thread's function.
    explicit OwnedThread(const char* where);
    // Leaves a running thread behind without waiting.
    ~OwnedThread();
    OwnedThread(const OwnedThread&) = delete;
    OwnedThread& operator=(const OwnedThread&) = delete;

    // Runs body on a new thread, once; an exception that leaves it is reported as a fault.
    void Start(std::function<void()> body);
    bool Started() const noexcept { return state_ != nullptr; }
    // Whether body has returned (false before Start).
    bool Ended() const noexcept { return state_ != nullptr && state_->ended.load(); }
    // Waits until deadline for body to return, answering sent messages meanwhile: true when it has (or
    // never started), false when the thread is left behind to end on its own.
    bool WaitUntil(std::chrono::steady_clock::time_point deadline);

private:
    struct State {
        std::atomic<bool> ended{false};
        std::atomic<platform::ThreadKey> key{0};
    };
    const char* where_;
    std::shared_ptr<State> state_; // shared with the thread, which may outlive this object
};

} // namespace glimmerfen
