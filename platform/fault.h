// What happens to an exception that reaches a boundary the system calls: a timer callback, a thread's
// function, a window or dialog procedure. Letting it through is no option: on x64 the system may
// swallow it half-way and leave the program half alive (a running-work counter never lowered, a lock
// never released), so that closing it waits for ever. Such a boundary runs its work in ContainFault.
#pragma once

#include <exception>
#include <functional>
#include <string>

namespace glimmerfen::platform {

// The exit code of a process ended by a fault.
inline constexpr int kFaultExitCode = 3;

// The caption of the fault's message box, the program's name. Set once at start-up.
void SetFaultCaption(const std::string& caption);

// Tells the user once, in a message box, that the program met an unexpected fault at where and must
// end, and ends the process with kFaultExitCode as soon as the box is answered, without running the
// destructors of static objects under the feet of other threads. A second fault, on any thread, waits
// for that end. Returns only while a test handler is set.
void ReportFault(const char* where, const std::string& what);

// Run by ReportFault once the fault was told, right before the process ends: a process started as a
// service tells the service manager that it stopped, and with the fault's exit code. Empty: nothing.
// Returns the one that was set before.
using FaultExit = std::function<void()>;
FaultExit SetFaultExit(FaultExit beforeExit);

// Runs work; an exception that leaves it is reported with ReportFault instead of going on.
template <typename Work>
void ContainFault(const char* where, Work&& work) noexcept {
    try {
        work();
    } catch (const std::exception& e) {
        ReportFault(where, e.what());
    } catch (...) {
        ReportFault(where, "an exception of unknown type");
    }
}

// Test hook: while a handler is set, ReportFault hands every fault to it and returns, instead of
// showing a box and ending the process. An empty handler restores the normal behaviour. Returns the
// handler that was set before.
using FaultHandler = std::function<void(const std::string& where, const std::string& what)>;
FaultHandler SetFaultHandlerForTesting(FaultHandler handler);

} // namespace glimmerfen::platform
