// The part of ShowMessage that both layers share: the test sink and the register of the boxes on
// screen. Each layer shows the message its own way in ShowSystemMessage.
#include "platform/notify.h"

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/notify_shown.h"

namespace glimmerfen::platform {

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

// Never destroyed: a box may still be answered while the process exits.
std::vector<ShownMessage*>& Shown() {
    static auto* shown = new std::vector<ShownMessage*>;
    return *shown;
}

} // namespace

std::mutex& ShownMessagesMutex() {
    static auto* mutex = new std::mutex;
    return *mutex;
}

void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
    MessageSink sink;
    {
        std::lock_guard<std::mutex> lock(SinkMutex());
        sink = Sink();
    }
    // The sink runs outside the lock: it may itself take locks or set another sink.
    if (sink) {
        sink(text, caption, icon);
        return;
    }
    ShownMessage shown;
    shown.thread = CurrentThreadKey();
    {
        std::lock_guard<std::mutex> lock(ShownMessagesMutex());
        Shown().push_back(&shown);
    }
    ShowSystemMessage(text, caption, icon, shown);
    std::lock_guard<std::mutex> lock(ShownMessagesMutex());
    auto& all = Shown();
    all.erase(std::remove(all.begin(), all.end(), &shown), all.end());
}

std::size_t DismissMessagesOf(ThreadKey thread) {
    std::lock_guard<std::mutex> lock(ShownMessagesMutex());
    std::size_t ended = 0;
    for (ShownMessage* shown : Shown()) {
        if (shown->thread == thread && !shown->dismissed) {
            shown->dismissed = true;
            DismissSystemMessage(*shown);
            ++ended;
        }
    }
    return ended;
}

bool WaitForThreadEnd(const std::atomic<bool>& ended, const std::atomic<ThreadKey>& thread,
                      std::chrono::steady_clock::time_point deadline) {
    WaitServingSentMessages([&] {
        if (ended.load()) {
            return true;
        }
        if (const ThreadKey key = thread.load(); key != 0) {
            DismissMessagesOf(key);
        }
        return std::chrono::steady_clock::now() >= deadline;
    });
    return ended.load();
}

MessageSink SetMessageSink(MessageSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace glimmerfen::platform
