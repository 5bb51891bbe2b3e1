// The portable timer service: one thread that runs the callbacks of one-shot timers in the order they
// fall due, with the contract of the Windows multimedia timer.
#include "platform/timer.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <utility>

#include "platform/fault.h"
#include "platform/posix/timer_testing.h"

namespace glimmerfen::platform {

namespace {

using Clock = std::chrono::steady_clock;

// The longest delay the Windows timer device accepts.
constexpr unsigned kMaxDelayMs = 1000000;

class TimerService {
public:
    TimerId Arm(unsigned delayMs, TimerCallback callback, void* context) {
        if (delayMs == 0 || delayMs > kMaxDelayMs || callback == nullptr) {
            return 0;
        }
        std::unique_lock<std::mutex> lock(mutex_);
        if (!thread_.joinable()) {
            thread_ = std::thread([this] { Run(); });
        }
        // Never reused: an identifier kept after its timer expired or was killed names nothing.
        const TimerId id = ++lastId_;
        const Clock::time_point due = Clock::now() + std::chrono::milliseconds(delayMs);
        // Equal instants keep the order in which they were armed.
        const auto entry = queue_.emplace(std::make_pair(due, ++armSequence_), Armed{id, callback, context});
        byId_.emplace(id, entry.first->first);
        wake_.notify_all();
        if (armWaitsForExpiry_ && std::this_thread::get_id() != thread_.get_id()) {
            // Unless the service is busy with another callback, which may be waiting for this caller.
            wake_.wait_for(lock, std::chrono::seconds(1), [&] { return byId_.count(id) == 0 || running_; });
        }
        return id;
    }

    bool Kill(TimerId id) {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = byId_.find(id);
        if (found == byId_.end()) {
            return false;
        }
        queue_.erase(found->second);
        byId_.erase(found);
        return true;
    }

    std::size_t Pending() {
        std::lock_guard<std::mutex> lock(mutex_);
        return byId_.size();
    }

    void SetArmWaitsForExpiry(bool wait) {
        std::lock_guard<std::mutex> lock(mutex_);
        armWaitsForExpiry_ = wait;
    }

private:
    struct Armed {
        TimerId id;
        TimerCallback callback;
        void* context;
    };
    using Key = std::pair<Clock::time_point, std::uint64_t>;

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            if (queue_.empty()) {
                wake_.wait(lock);
                continue;
            }
            const auto first = queue_.begin();
            // A copy: the entry may be killed while the service waits for it.
            const Clock::time_point due = first->first.first;
            if (due > Clock::now()) {
                wake_.wait_until(lock, due);
                continue;
            }
            // Taken off the queue under the lock: from here a kill no longer finds it, and the callback
            // counts as started.
            const Armed expiring = first->second;
            queue_.erase(first);
            byId_.erase(expiring.id);
            running_ = true;
            wake_.notify_all();
            lock.unlock();
            ContainFault("a timer", [&] { expiring.callback(expiring.id, expiring.context); });
            lock.lock();
            running_ = false;
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    std::map<Key, Armed> queue_;
    std::unordered_map<TimerId, Key> byId_;
    TimerId lastId_ = 0;
    std::uint64_t armSequence_ = 0;
    bool running_ = false; // a callback is running
    bool armWaitsForExpiry_ = false;
};

// Never destroyed: a timer may still fall due while the process exits, and its callback must find the
// service in one piece. The thread ends with the process.
TimerService& Service() {
    static TimerService* service = new TimerService;
    return *service;
}

// The recorded priority of every thread that has asked for a key or set a level, while it runs.
struct ThreadTable {
    std::mutex mutex;
    std::unordered_map<ThreadKey, int> levels;
    ThreadKey lastKey = 0;
};

ThreadTable& Threads() {
    static ThreadTable* table = new ThreadTable;
    return *table;
}

// This thread's entry in the table, removed when the thread ends.
struct ThisThread {
    ThreadKey key = 0;

    ThreadKey Key() {
        if (key == 0) {
            ThreadTable& table = Threads();
            std::lock_guard<std::mutex> lock(table.mutex);
            key = ++table.lastKey;
            table.levels.emplace(key, 0);
        }
        return key;
    }

    ~ThisThread() {
        if (key != 0) {
            ThreadTable& table = Threads();
            std::lock_guard<std::mutex> lock(table.mutex);
            table.levels.erase(key);
        }
    }
};

thread_local ThisThread thisThread;
thread_local std::function<void()> sentMessageHandler;

bool IsPriorityLevel(int level) {
    switch (level) {
    case 15:
    case 2:
    case 1:
    case 0:
    case -1:
    case -2:
    case -15:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<unsigned> TimerResolution() {
    return 1u;
}

bool BeginTimerPeriod(unsigned periodMs) {
    return periodMs >= 1;
}

void EndTimerPeriod(unsigned) {}

TimerId SetOneShotTimer(unsigned delayMs, unsigned, TimerCallback callback, void* context) {
    return Service().Arm(delayMs, callback, context);
}

bool KillTimer(TimerId id) {
    return id != 0 && Service().Kill(id);
}

std::size_t PendingTimerCount() {
    return Service().Pending();
}

bool SetCurrentThreadPriority(int level) {
    if (!IsPriorityLevel(level)) {
        return false;
    }
    const ThreadKey key = thisThread.Key();
    ThreadTable& table = Threads();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.levels[key] = level;
    return true;
}

bool SetThreadPriorityOf(ThreadKey thread, int level) {
    if (!IsPriorityLevel(level)) {
        return false;
    }
    ThreadTable& table = Threads();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.levels.find(thread);
    if (found == table.levels.end()) {
        return false;
    }
    found->second = level;
    return true;
}

ThreadKey CurrentThreadKey() {
    return thisThread.Key();
}

std::optional<int> ThreadPriority(ThreadKey thread) {
    ThreadTable& table = Threads();
    std::lock_guard<std::mutex> lock(table.mutex);
    const auto found = table.levels.find(thread);
    if (found == table.levels.end()) {
        return std::nullopt;
    }
    return found->second;
}

void SleepMilliseconds(unsigned ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void WaitServingSentMessages(const std::function<bool()>& done) {
    while (!done()) {
        if (sentMessageHandler) {
            sentMessageHandler();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SetSentMessageHandlerForTesting(std::function<void()> handler) {
    sentMessageHandler = std::move(handler);
}

void SetArmWaitsForExpiryForTesting(bool wait) {
    Service().SetArmWaitsForExpiry(wait);
}

} // namespace glimmerfen::platform
