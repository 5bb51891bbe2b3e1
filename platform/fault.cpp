#include "platform/fault.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

#include "platform/notify.h"
#include "platform/strings.h"
#include "platform/timer.h"
#include "res/resource.h"

namespace glimmerfen::platform {

namespace {

struct FaultState {
    std::mutex mutex;
    std::string caption = "GlimmerfenChecker";
    FaultHandler handler;
    FaultExit beforeExit;
    std::atomic<bool> reported{false};
    std::atomic<ThreadKey> reporter{0}; // the thread whose box tells of the first fault
};

// Never destroyed: a fault may come while the process exits.
FaultState& State() {
    static FaultState* state = new FaultState;
    return *state;
}

} // namespace

void SetFaultCaption(const std::string& caption) {
    FaultState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.caption = caption;
}

void ReportFault(const char* where, const std::string& what) {
    FaultState& state = State();
    FaultHandler handler;
    FaultExit beforeExit;
    std::string caption;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        handler = state.handler;
        beforeExit = state.beforeExit;
        caption = state.caption;
    }
    if (handler) {
        handler(where, what);
        return;
    }
    if (state.reported.exchange(true)) {
        // A fault inside the first one's box (its message loop runs the thread's windows) would wait
        // for that box below itself for ever: the process ends at once.
        if (state.reporter.load() == CurrentThreadKey()) {
            std::_Exit(kFaultExitCode);
        }
        // The first fault is being reported and the process ends with it; this thread goes no further.
        for (;;) {
            SleepMilliseconds(1000);
        }
    }
    state.reporter = CurrentThreadKey();
    ShowMessage(LoadText(IDS_UNEXPECTED_FAULT) + "\n" + where + ": " + what, caption, MessageIcon::Error);
    if (beforeExit) {
        beforeExit();
    }
    // No static destructors: other threads are still running and may use what they would destroy. The
    // operating system closes files and releases everything the process holds.
    std::_Exit(kFaultExitCode);
}

FaultExit SetFaultExit(FaultExit beforeExit) {
    FaultState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return std::exchange(state.beforeExit, std::move(beforeExit));
}

FaultHandler SetFaultHandlerForTesting(FaultHandler handler) {
    FaultState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return std::exchange(state.handler, std::move(handler));
}

} // namespace glimmerfen::platform
