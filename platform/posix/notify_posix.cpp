// Messages of the portable layer: there is no window system, so the text goes to standard error. For
// tests, the message can instead wait like a box that nobody answers.
#include "platform/notify.h"

#include <atomic>
#include <cstdio>

#include "platform/notify_shown.h"
#include "platform/posix/testing.h"

namespace glimmerfen::platform {

namespace {

std::atomic<bool> waitForAnswer{false};

} // namespace

void ShowSystemMessage(const std::string& text, const std::string& caption, MessageIcon, ShownMessage& shown) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
    if (waitForAnswer.load()) {
        std::unique_lock<std::mutex> lock(ShownMessagesMutex());
        shown.changed.wait(lock, [&] { return shown.dismissed; });
    }
}

void DismissSystemMessage(ShownMessage& shown) {
    shown.changed.notify_all();
}

void SetMessagesWaitForAnswerForTesting(bool wait) {
    waitForAnswer = wait;
}

} // namespace glimmerfen::platform
