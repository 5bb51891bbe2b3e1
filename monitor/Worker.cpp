#include "monitor/Worker.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

#include "monitor/OwnedThread.h"
#include "platform/fault.h"

namespace glimmerfen {

struct Worker::State {
    explicit State(const char* w) : where(w), thread(w) {}
    const char* const where;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> tasks; // under mutex
    bool running = false;                    // a task runs; under mutex
    bool started = false;                    // under mutex
    bool stopping = false;                   // under mutex
    OwnedThread thread;                      // started under mutex
};

Worker::Worker(const char* where) : state_(std::make_shared<State>(where)) {}

Worker::~Worker() {
    Stop(std::chrono::milliseconds(0));
}

void Worker::Start() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (!state_->stopping) {
        StartLocked();
    }
}

void Worker::StartLocked() {
    if (state_->started) {
        return;
    }
    // The thread ends on its own, after the queue ran dry and Stop began.
    state_->thread.Start([state = state_] { Run(state); });
    state_->started = true;
}

bool Worker::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->stopping) {
            return false;
        }
        StartLocked();
        state_->tasks.push_back(std::move(task));
    }
    state_->changed.notify_all();
    return true;
}

void Worker::WaitIdle() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    state_->changed.wait(lock, [this] { return state_->tasks.empty() && !state_->running; });
}

bool Worker::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [this] { return state_->tasks.empty() && !state_->running; });
}

bool Worker::Stop(std::chrono::milliseconds grace) {
    if (stopped_) {
        return ended_;
    }
    stopped_ = true;
    bool started = false;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
        started = state_->started;
    }
    state_->changed.notify_all();
    ended_ = !started || state_->thread.WaitUntil(std::chrono::steady_clock::now() + grace);
    return ended_;
}

void Worker::Run(const std::shared_ptr<State>& state) {
    std::unique_lock<std::mutex> lock(state->mutex);
    for (;;) {
        state->changed.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
        if (state->tasks.empty()) {
            return;
        }
        std::function<void()> task = std::move(state->tasks.front());
        state->tasks.pop_front();
        state->running = true;
        lock.unlock();
        platform::ContainFault(state->where, task);
        // What the task holds goes before it counts as done: a waiter for idleness may then free it.
        task = nullptr;
        lock.lock();
        state->running = false;
        state->changed.notify_all();
    }
}

} // namespace glimmerfen
