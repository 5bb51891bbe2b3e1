#include "monitor/OwnedThread.h"

#include <thread>
#include <utility>

#include "platform/fault.h"
#include "platform/notify.h"

namespace glimmerfen {

OwnedThread::OwnedThread(const char* where) : where_(where) {}

OwnedThread::~OwnedThread() = default;

void OwnedThread::Start(std::function<void()> body) {
    if (state_) {
        return;
    }
    state_ = std::make_shared<State>();
    // Detached at once: the one way to end is the thread's own; the owner only waits for the flag.
    std::thread([state = state_, where = where_, body = std::move(body)]() mutable {
        state->key = platform::CurrentThreadKey();
        platform::ContainFault(where, body);
        // What the body holds goes before it counts as ended: its owner may then free it.
        body = nullptr;
        state->ended = true;
    }).detach();
}

bool OwnedThread::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    return !state_ || platform::WaitForThreadEnd(state_->ended, state_->key, deadline);
}

} // namespace glimmerfen
