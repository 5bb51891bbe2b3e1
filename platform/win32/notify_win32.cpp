// Messages in a message box with an OK button.
#include "platform/notify.h"

#include <mutex>
#include <utility>

#include <windows.h>

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

UINT IconStyle(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Information:
        return MB_ICONINFORMATION;
    case MessageIcon::Warning:
        return MB_ICONWARNING;
    case MessageIcon::Error:
        return MB_ICONERROR;
    case MessageIcon::None:
        break;
    }
    return 0;
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
    // No owner window: the box may come from a timer thread, which owns no window.
    MessageBoxA(nullptr, text.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

MessageSink SetMessageSinkForTesting(MessageSink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    return std::exchange(Sink(), std::move(sink));
}

} // namespace glimmerfen::platform
