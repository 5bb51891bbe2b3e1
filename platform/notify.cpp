// The part of ShowMessage that both layers share: the test sink. Each layer shows the message its own
// way in ShowSystemMessage.
#include "platform/notify.h"

#include <mutex>
#include <utility>

namespace glimmerfen::platform {

void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon icon);

namespace {

std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageSink& Sink() {
    static MessageSink sink;
    return sink;
}

} // namespace

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
    ShowSystemMessage(text, caption, icon);
}

MessageSink SetMessageSinkForTesting(MessageSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace glimmerfen::platform
