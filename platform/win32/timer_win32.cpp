// One-shot timers on the multimedia timer, thread priorities, and the message-serving wait.
#include "platform/timer.h"

#include <mutex>
#include <unordered_map>

#include <windows.h>

#include <mmsystem.h>

namespace glimmerfen::platform {

namespace {

// The multimedia timer passes one pointer-sized value to its callback. Ours carries the number of an
// armed timer's record, which holds the caller's callback and context. Records are never reused, so
// an expiry that arrives after its timer was killed finds nothing and calls nobody; and a kill that
// removes the record before the expiry takes it makes sure the callback never starts, whatever the
// timer device reports.
struct Armed {
    TimerCallback callback;
    void* context;
    TimerId id; // 0 until timeSetEvent has returned
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<ULONG_PTR, Armed> armed;
    ULONG_PTR lastRecord = 0;
};

// Never destroyed: the timer thread may still call in while the process exits.
Registry& Timers() {
    static Registry* registry = new Registry;
    return *registry;
}

void CALLBACK Expire(UINT id, UINT, DWORD_PTR record, DWORD_PTR, DWORD_PTR) {
    Armed taken{};
    {
        Registry& r = Timers();
        std::lock_guard<std::mutex> lock(r.mutex);
        const auto found = r.armed.find(record);
        if (found == r.armed.end()) {
            return;
        }
        taken = found->second;
        r.armed.erase(found);
    }
    taken.callback(static_cast<TimerId>(id), taken.context);
}

bool IsPriorityLevel(int level) {
    switch (level) {
    case THREAD_PRIORITY_TIME_CRITICAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_IDLE:
        return true;
    default:
        return false;
    }
}

} // namespace

std::optional<unsigned> TimerResolution() {
    TIMECAPS caps{};
    if (timeGetDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) {
        return std::nullopt;
    }
    return caps.wPeriodMin == 0 ? 1u : static_cast<unsigned>(caps.wPeriodMin);
}

bool BeginTimerPeriod(unsigned periodMs) {
    return timeBeginPeriod(periodMs) == TIMERR_NOERROR;
}

void EndTimerPeriod(unsigned periodMs) {
    timeEndPeriod(periodMs);
}

TimerId SetOneShotTimer(unsigned delayMs, unsigned resolutionMs, TimerCallback callback, void* context) {
    if (delayMs == 0 || callback == nullptr) {
        return 0;
    }
    Registry& r = Timers();
    ULONG_PTR record = 0;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        record = ++r.lastRecord;
        r.armed.emplace(record, Armed{callback, context, 0});
    }
    // Not under the lock: the timer thread takes it in Expire, and a short delay may expire at once.
    const MMRESULT id = timeSetEvent(delayMs, resolutionMs, Expire, record, TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.armed.find(record);
    if (id == 0) {
        if (found != r.armed.end()) {
            r.armed.erase(found);
        }
        return 0;
    }
    if (found != r.armed.end()) {
        found->second.id = static_cast<TimerId>(id);
    }
    return static_cast<TimerId>(id);
}

bool KillTimer(TimerId id) {
    if (id == 0) {
        return false;
    }
    bool pending = false;
    {
        Registry& r = Timers();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (auto it = r.armed.begin(); it != r.armed.end(); ++it) {
            if (it->second.id == id) {
                r.armed.erase(it);
                pending = true;
                break;
            }
        }
    }
    if (pending) {
        timeKillEvent(static_cast<UINT>(id));
    }
    return pending;
}

std::size_t PendingTimerCount() {
    Registry& r = Timers();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.armed.size();
}

bool SetCurrentThreadPriority(int level) {
    return IsPriorityLevel(level) && SetThreadPriority(GetCurrentThread(), level) != FALSE;
}

ThreadKey CurrentThreadKey() {
    return GetCurrentThreadId();
}

std::optional<int> ThreadPriority(ThreadKey thread) {
    HANDLE handle = OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(thread));
    if (handle == nullptr) {
        return std::nullopt;
    }
    const int level = GetThreadPriority(handle);
    // A thread that has ended but whose handle is still held somewhere can be opened; it has no
    // priority any more.
    DWORD exitCode = 0;
    const bool running = GetExitCodeThread(handle, &exitCode) != FALSE && exitCode == STILL_ACTIVE;
    CloseHandle(handle);
    if (level == THREAD_PRIORITY_ERROR_RETURN || !running) {
        return std::nullopt;
    }
    return level;
}

void SleepMilliseconds(unsigned ms) {
    Sleep(ms);
}

void WaitServingSentMessages(const std::function<bool()>& done) {
    while (!done()) {
        // Wakes when another thread sends this one a message, or after a millisecond to look again.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_SENDMESSAGE);
        // Peeking answers every message sent to this thread; with PM_QS_SENDMESSAGE and PM_NOREMOVE it
        // takes nothing from the queue of posted messages.
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

} // namespace glimmerfen::platform
