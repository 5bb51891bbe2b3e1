// Telling the user something: a message box with an OK button.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>

#include "platform/timer.h"

namespace glimmerfen::platform {

enum class MessageIcon { None, Information, Warning, Error };

// Shows the text in a box with the caption and the icon, and returns when the user dismissed it.
// The caller must hold no lock that another thread may be waiting for. Without a window system the
// message goes to the standard error stream.
void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);

// Ends the boxes that ShowMessage shows on the given thread (a CurrentThreadKey), as if the user had
// pressed OK, a box that is still being opened included; their ShowMessage returns. For a thread that
// cannot be left waiting behind a box that may be hidden behind other windows, at the program's close.
// Returns how many boxes it ended. Safe from any thread.
std::size_t DismissMessagesOf(ThreadKey thread);

// Waits until `ended` is set or the deadline passes, as WaitServingSentMessages does: on the
// user-interface thread the messages other threads send to it are answered meanwhile, and the boxes
// that ShowMessage shows on `thread` (read at every check, 0 while not known yet) are ended, so that
// a thread that asks the user something cannot hold up the wait for its end. For the owner of a
// thread who gives it a bounded time to end. Returns whether `ended` was set.
bool WaitForThreadEnd(const std::atomic<bool>& ended, const std::atomic<ThreadKey>& thread,
                      std::chrono::steady_clock::time_point deadline);

// While a sink is set, ShowMessage hands every message to it instead of showing it: for a process that
// has no desktop to show a box on (a service), and for tests. An empty sink restores the normal
// behaviour. Returns the sink that was set before.
using MessageSink = std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;
MessageSink SetMessageSink(MessageSink sink);
inline MessageSink SetMessageSinkForTesting(MessageSink sink) {
    return SetMessageSink(std::move(sink));
}

} // namespace glimmerfen::platform
