// Messages of the portable layer: there is no window system, so the text goes to standard error.
#include "platform/notify.h"

#include <cstdio>
#include <mutex>
#include <utility>

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
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}

MessageSink SetMessageSinkForTesting(MessageSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace glimmerfen::platform
