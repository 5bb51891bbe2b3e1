#include "monitor/TaskThread.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#include "platform/fault.h"
#include "platform/notify.h"
#include "platform/timer.h"

namespace glimmerfen {

struct TaskThread::State {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> tasks; // under mutex
    bool stopping = false;                   // under mutex
    std::atomic<bool> ended{false};
    std::atomic<platform::ThreadKey> key{0};
};

TaskThread::TaskThread() : state_(std::make_shared<State>()) {
    std::thread([state = state_] {
        state->key = platform::CurrentThreadKey();
        std::unique_lock<std::mutex> lock(state->mutex);
        for (;;) {
            state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
            if (state->tasks.empty()) {
                break;
            }
            std::function<void()> task = std::move(state->tasks.front());
            state->tasks.pop_front();
            lock.unlock();
            platform::ContainFault("a server task", task);
            lock.lock();
        }
        state->ended = true;
    }).detach();
    ended_ = false;
}

TaskThread::~TaskThread() {
    Stop();
}

void TaskThread::Post(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        if (state_->stopping) {
            return;
        }
        state_->tasks.push_back(std::move(task));
    }
    state_->wake.notify_one();
}

bool TaskThread::Stop(std::chrono::milliseconds grace) {
    if (stopped_) {
        return ended_;
    }
    stopped_ = true;
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_one();
    const auto deadline = std::chrono::steady_clock::now() + grace;
    platform::WaitServingSentMessages([&] {
        if (state_->ended.load()) {
            return true;
        }
        if (const platform::ThreadKey key = state_->key.load(); key != 0) {
            platform::DismissMessagesOf(key);
        }
        return std::chrono::steady_clock::now() >= deadline;
    });
    ended_ = state_->ended.load();
    return ended_;
}

} // namespace glimmerfen
