// One-shot high-resolution timers, thread priorities and pauses, and a wait for the user-interface
// thread that keeps answering the messages other threads send to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace glimmerfen::platform {

// Names an armed timer. Every timer gets a number never given before in this process, so an
// identifier kept after its timer expired or was killed names nothing, whatever the system reuses.
using TimerId = std::uint64_t;

// Called once, on the timer service's thread, with the expiring timer's identifier and the context
// given when it was armed.
using TimerCallback = void (*)(TimerId id, void* context);

// The smallest period in milliseconds that the timer device supports (a reported 0 counts as 1), or
// nothing when the device cannot be asked.
std::optional<unsigned> TimerResolution();

// Raise the system's timer resolution to periodMs for this process, and lower it again. Every begun
// period is ended with the same value. False when the period is not supported.
bool BeginTimerPeriod(unsigned periodMs);
void EndTimerPeriod(unsigned periodMs);

// Arms a one-shot timer that calls callback(id, context) about delayMs milliseconds from now, with the
// accuracy resolutionMs asks for. Returns the timer's identifier, never 0 for a timer that was armed;
// 0 when it could not be armed (a delay of 0 or one beyond what the service supports, no callback).
// One service thread runs every callback, one after the other, in the order they fall due; a callback
// may arm and kill timers itself.
TimerId SetOneShotTimer(unsigned delayMs, unsigned resolutionMs, TimerCallback callback, void* context);

// Cancels a timer. Once this returns, its callback will not start; it may already be running (or have
// run). True when the timer was still pending, so that its callback will never run; false when the
// callback has already started, or the identifier names no timer.
bool KillTimer(TimerId id);

// Timers armed whose callback has neither started nor been cancelled.
std::size_t PendingTimerCount();

// Thread priorities, in the platform's numbers: 15 critical, 2 highest, 1 above normal, 0 normal,
// -1 below normal, -2 lowest, -15 idle. Other values are not priorities and are refused (false),
// leaving the thread as it was. The portable layer only records the level: an ordinary process there
// may lower its scheduling priority but never raise it again.
bool SetCurrentThreadPriority(int level);

// A number naming a running thread of this process, never 0.
using ThreadKey = std::uint64_t;
ThreadKey CurrentThreadKey();

// Gives another running thread of this process a priority, with the same rules. False also when the
// key names no running thread.
bool SetThreadPriorityOf(ThreadKey thread, int level);

// The priority of a running thread, nothing when the key names no thread (or the thread has ended).
std::optional<int> ThreadPriority(ThreadKey thread);

void SleepMilliseconds(unsigned ms);

// Waits until done() returns true, checking it about every millisecond. On the user-interface thread
// the messages that other threads send to this thread's windows are answered meanwhile, so a thread
// that is waiting in SendMessage for this one can finish what done() waits for. Posted messages stay
// queued.
void WaitServingSentMessages(const std::function<bool()>& done);

} // namespace glimmerfen::platform
