// What the send-message dialog decides without a window: which system command carries the message,
// the command line it runs, and the sender offered when none is remembered.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace glimmerfen::ui {

// The command line is built in a buffer of this many bytes, terminator included.
inline constexpr std::size_t kCommandLineBuffer = 10000;

enum class MessageCommand {
    NetSend, // "net send <recipient> <text>": the messenger service, up to the systems before version 6
    Msg,     // "msg * /server:<recipient> <text>": every session of the recipient, from version 6 on
};

// The command for a system of this major version. From version 6 on "net send" only prints its usage
// text: the messenger service it needs is gone, and "msg" carries the message instead.
MessageCommand MessageCommandFor(unsigned majorVersion);

// The one quoted argument both commands receive: "This message from <sender>", an empty line and the
// message, between double quotes. Nothing inside is escaped or changed.
std::string QuotedMessage(std::string_view sender, std::string_view message);

// The whole command line; nothing when it would not fit kCommandLineBuffer (it is refused, never cut).
std::optional<std::string> BuildMessageCommandLine(MessageCommand command, std::string_view recipient,
                                                   std::string_view sender, std::string_view message);

// What the dialog shows while the command runs: the last complete line that the command has printed so
// far (its line end and surrounding blanks removed), nothing before the first one. A line still being
// printed is not shown: the chunk that ends it may cut a double-byte character in half.
std::optional<std::string> LatestOutputLine(std::string_view output);

// "%s(%s)" of the user and the computer name: the sender offered while MsgFrom is empty.
std::string OfferedSender(std::string_view user, std::string_view computer);

} // namespace glimmerfen::ui
