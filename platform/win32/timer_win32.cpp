// One-shot timers on the multimedia timer, thread priorities, and the message-serving wait.
#include "platform/timer.h"

#include "platform/fault.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <unordered_map>

#include <windows.h>

#include <mmsystem.h>

#include "platform/win32/handles.h"
#include "platform/win32/system_library.h"
#include "platform/win32/timer_testing.h"

namespace glimmerfen::platform {

namespace {

// The multimedia timer passes one pointer-sized value to its callback. Ours carries our own number
// for the timer, which is also the identifier the caller gets: the system reuses its identifiers as
// soon as a timer has expired, so a caller that kills a spent one would cancel whichever new timer
// was given the same number. Our numbers are never reused, so an expiry that arrives after its timer
// was killed finds nothing and calls nobody; and a kill that removes the record before the expiry
// takes it makes sure the callback never starts, whatever the timer device reports.
struct Armed {
    TimerCallback callback;
    void* context;
    UINT systemId; // 0 until timeSetEvent has returned
    std::chrono::steady_clock::time_point due;
};

struct Registry {
    std::mutex mutex;
    std::unordered_map<TimerId, Armed> armed;
    TimerId lastId = 0;
};

// The multimedia timer's functions in the system's winmm, looked up once; a missing one stays null
// and the layer reports the failure its callers already handle (no timer, no resolution).
struct Winmm {
    decltype(&::timeSetEvent) setEvent = nullptr;
    decltype(&::timeKillEvent) killEvent = nullptr;
    decltype(&::timeBeginPeriod) beginPeriod = nullptr;
    decltype(&::timeEndPeriod) endPeriod = nullptr;
    decltype(&::timeGetDevCaps) getDevCaps = nullptr;

    Winmm() {
        const HMODULE library = LoadSystemLibrary(L"winmm.dll");
        setEvent = LibraryFunction<decltype(setEvent)>(library, "timeSetEvent");
        killEvent = LibraryFunction<decltype(killEvent)>(library, "timeKillEvent");
        beginPeriod = LibraryFunction<decltype(beginPeriod)>(library, "timeBeginPeriod");
        endPeriod = LibraryFunction<decltype(endPeriod)>(library, "timeEndPeriod");
        getDevCaps = LibraryFunction<decltype(getDevCaps)>(library, "timeGetDevCaps");
    }
};

const Winmm& Multimedia() {
    static const Winmm winmm;
    return winmm;
}

MMRESULT WINAPI SystemSetEvent(UINT delayMs, UINT resolutionMs, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags) {
    const auto set = Multimedia().setEvent;
    return set != nullptr ? set(delayMs, resolutionMs, callback, user, flags) : 0;
}

MMRESULT WINAPI SystemKillEvent(UINT id) {
    const auto kill = Multimedia().killEvent;
    return kill != nullptr ? kill(id) : MMSYSERR_ERROR;
}

// The timer device: the multimedia timer, or a test's stand-in.
std::atomic<TimerDeviceSet> deviceSet{&SystemSetEvent};
std::atomic<TimerDeviceKill> deviceKill{&SystemKillEvent};

// Never destroyed: the timer thread may still call in while the process exits.
Registry& Timers() {
    static Registry* registry = new Registry;
    return *registry;
}

void CALLBACK Expire(UINT, UINT, DWORD_PTR number, DWORD_PTR, DWORD_PTR) {
    const TimerId id = static_cast<TimerId>(number);
    Armed taken{};
    {
        Registry& r = Timers();
        std::lock_guard<std::mutex> lock(r.mutex);
        const auto found = r.armed.find(id);
        if (found == r.armed.end()) {
            return;
        }
        taken = found->second;
        r.armed.erase(found);
    }
    ContainFault("a timer", [&] { taken.callback(id, taken.context); });
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
    const auto getDevCaps = Multimedia().getDevCaps;
    TIMECAPS caps{};
    if (getDevCaps == nullptr || getDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) {
        return std::nullopt;
    }
    return caps.wPeriodMin == 0 ? 1u : static_cast<unsigned>(caps.wPeriodMin);
}

bool BeginTimerPeriod(unsigned periodMs) {
    const auto begin = Multimedia().beginPeriod;
    return begin != nullptr && begin(periodMs) == TIMERR_NOERROR;
}

void EndTimerPeriod(unsigned periodMs) {
    if (const auto end = Multimedia().endPeriod) {
        end(periodMs);
    }
}

TimerId SetOneShotTimer(unsigned delayMs, unsigned resolutionMs, TimerCallback callback, void* context) {
    if (delayMs == 0 || callback == nullptr) {
        return 0;
    }
    static_assert(sizeof(DWORD_PTR) >= sizeof(TimerId), "the timer's number travels as the callback's value");
    Registry& r = Timers();
    TimerId id = 0;
    {
        std::lock_guard<std::mutex> lock(r.mutex);
        id = ++r.lastId;
        // Counted from before the arming, so it is never later than the system's own due time.
        r.armed.emplace(
            id, Armed{callback, context, 0, std::chrono::steady_clock::now() + std::chrono::milliseconds(delayMs)});
    }
    // Not under the lock: the timer thread takes it in Expire, and a short delay may expire at once.
    const MMRESULT systemId = deviceSet.load()(delayMs, resolutionMs, Expire, static_cast<DWORD_PTR>(id),
                                               TIME_ONESHOT | TIME_CALLBACK_FUNCTION);
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.armed.find(id);
    if (systemId == 0) {
        if (found != r.armed.end()) {
            r.armed.erase(found);
        }
        return 0;
    }
    if (found != r.armed.end()) {
        found->second.systemId = systemId;
    }
    return id;
}

bool KillTimer(TimerId id) {
    if (id == 0) {
        return false;
    }
    Registry& r = Timers();
    std::lock_guard<std::mutex> lock(r.mutex);
    const auto found = r.armed.find(id);
    if (found == r.armed.end()) {
        return false;
    }
    const Armed killed = found->second;
    r.armed.erase(found);
    // Removing the record is what keeps the callback from starting. The system's timer is killed too,
    // so that it does not wake its thread for nothing, but only while it is surely still pending: once
    // it has expired the system may give its number to a new timer at once, even before that one's
    // arming has recorded it here, and killing the number would cancel that timer. A timer close to
    // its due time is left to expire; Expire then finds no record and calls nobody.
    constexpr auto kMargin = std::chrono::milliseconds(50);
    if (killed.systemId != 0 && std::chrono::steady_clock::now() + kMargin < killed.due) {
        deviceKill.load()(killed.systemId);
    }
    return true;
}

std::size_t PendingTimerCount() {
    Registry& r = Timers();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.armed.size();
}

bool SetCurrentThreadPriority(int level) {
    return IsPriorityLevel(level) && SetThreadPriority(GetCurrentThread(), level) != FALSE;
}

bool SetThreadPriorityOf(ThreadKey thread, int level) {
    if (!IsPriorityLevel(level)) {
        return false;
    }
    const win32::UniqueHandle handle(
        OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, static_cast<DWORD>(thread)));
    if (!handle) {
        return false;
    }
    DWORD exitCode = 0;
    const bool running = GetExitCodeThread(handle.get(), &exitCode) != FALSE && exitCode == STILL_ACTIVE;
    return running && SetThreadPriority(handle.get(), level) != FALSE;
}

ThreadKey CurrentThreadKey() {
    return GetCurrentThreadId();
}

std::optional<int> ThreadPriority(ThreadKey thread) {
    const win32::UniqueHandle handle(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(thread)));
    if (!handle) {
        return std::nullopt;
    }
    const int level = GetThreadPriority(handle.get());
    // A thread that has ended but whose handle is still held somewhere can be opened; it has no
    // priority any more.
    DWORD exitCode = 0;
    const bool running = GetExitCodeThread(handle.get(), &exitCode) != FALSE && exitCode == STILL_ACTIVE;
    if (level == THREAD_PRIORITY_ERROR_RETURN || !running) {
        return std::nullopt;
    }
    return level;
}

void SleepMilliseconds(unsigned ms) {
    Sleep(ms);
}

void SetTimerDeviceForTesting(TimerDeviceSet set, TimerDeviceKill kill) {
    deviceSet = set != nullptr ? set : &SystemSetEvent;
    deviceKill = kill != nullptr ? kill : &SystemKillEvent;
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
