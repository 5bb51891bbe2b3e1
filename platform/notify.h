// Telling the user something: a message box with an OK button.
#pragma once

#include <functional>
#include <string>

namespace glimmerfen::platform {

enum class MessageIcon { None, Information, Warning, Error };

// Shows the text in a box with the caption and the icon, and returns when the user dismissed it.
// The caller must hold no lock that another thread may be waiting for. Without a window system the
// message goes to the standard error stream.
void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon);

// Test hook: while a sink is set, ShowMessage hands every message to it instead of showing it. An
// empty sink restores the normal behaviour. Returns the sink that was set before.
using MessageSink = std::function<void(const std::string& text, const std::string& caption, MessageIcon icon)>;
MessageSink SetMessageSinkForTesting(MessageSink sink);

} // namespace glimmerfen::platform
