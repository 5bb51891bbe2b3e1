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

// The program file of the command, started by its full path in the system folder and never looked
// for: a program's own folder comes first in the system's search, and anyone may put a file there.
const char* CommandProgram(MessageCommand command);

// The text as one argument of a command line, for the parser every Windows program uses for its
// arguments (the C runtime's, as CommandLineToArgvW): between double quotes, a quote inside escaped as
// \", backslashes doubled where they come before a quote (the closing one too), others left alone.
// The walk goes by characters of the ANSI code page: the trail byte 0x5C of a double-byte character
// becomes part of that character when the system converts the command line to UTF-16, so it is no
// backslash. Nothing when the text holds what an argument cannot carry as it is: a control character
// other than tab, carriage return and line feed, or a lead byte without its trail byte.
std::optional<std::string> QuotedArgument(std::string_view text);

// The message's one argument: "This message from <sender>", an empty line and the message, quoted by
// QuotedArgument; nothing when the text cannot be carried.
std::optional<std::string> QuotedMessage(std::string_view sender, std::string_view message);

// Why a command line was not built.
enum class CommandRefusal {
    None,
    Recipient, // not a well-formed computer name or address
    Character, // the sender or the message holds a character an argument cannot carry
    TooLong,   // it would not fit kCommandLineBuffer (refused, never cut)
};

struct MessageCommandLine {
    std::string line; // empty when refused
    CommandRefusal refusal = CommandRefusal::None;
};

// The whole command line: the command's name ("net send <recipient>" or "msg * /server:<recipient>"),
// a blank and the quoted message. The recipient comes from the network and must be a well-formed
// computer name or address; the texts reach the command as exactly one argument whatever they hold.
MessageCommandLine BuildMessageCommandLine(MessageCommand command, std::string_view recipient, std::string_view sender,
                                           std::string_view message);

// What the dialog shows while the command runs: the last complete line that the command has printed so
// far (its line end and surrounding blanks removed), nothing before the first one. A line still being
// printed is not shown: the chunk that ends it may cut a double-byte character in half.
std::optional<std::string> LatestOutputLine(std::string_view output);

// "%s(%s)" of the user and the computer name: the sender offered while MsgFrom is empty.
std::string OfferedSender(std::string_view user, std::string_view computer);

} // namespace glimmerfen::ui
