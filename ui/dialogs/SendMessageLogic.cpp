#include "ui/dialogs/SendMessageLogic.h"

#include <utility>

#include "platform/codepage.h"
#include "platform/netnames.h"

namespace glimmerfen::ui {

MessageCommand MessageCommandFor(unsigned majorVersion) {
    return majorVersion >= 6 ? MessageCommand::Msg : MessageCommand::NetSend;
}

const char* CommandProgram(MessageCommand command) {
    return command == MessageCommand::NetSend ? "net.exe" : "msg.exe";
}

std::optional<std::string> QuotedArgument(std::string_view text) {
    std::string quoted = "\"";
    std::size_t backslashes = 0; // single-byte backslashes just copied
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (platform::IsDoubleByteAt(text, i)) {
            quoted.append(text.substr(i, 2));
            ++i;
            backslashes = 0;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (platform::IsLeadByte(c) || c == 0x7F || (c < 0x20 && c != '\t' && c != '\r' && c != '\n')) {
            return std::nullopt;
        }
        if (c == '"') {
            // The backslashes before it stand for themselves, then an escaped quote.
            quoted.append(backslashes + 1, '\\');
        }
        quoted += static_cast<char>(c);
        backslashes = c == '\\' ? backslashes + 1 : 0;
    }
    // Backslashes before the closing quote would escape it.
    quoted.append(backslashes, '\\');
    quoted += '"';
    return quoted;
}

std::optional<std::string> QuotedMessage(std::string_view sender, std::string_view message) {
    std::string text = "This message from ";
    text += sender;
    text += "\n\n";
    text += message;
    return QuotedArgument(text);
}

MessageCommandLine BuildMessageCommandLine(MessageCommand command, std::string_view recipient, std::string_view sender,
                                           std::string_view message) {
    if (!platform::IsWellFormedComputerName(recipient)) {
        return {{}, CommandRefusal::Recipient};
    }
    const std::optional<std::string> quoted = QuotedMessage(sender, message);
    if (!quoted) {
        return {{}, CommandRefusal::Character};
    }
    std::string line = command == MessageCommand::NetSend ? "net send " : "msg * /server:";
    line += recipient;
    line += ' ';
    line += *quoted;
    if (line.size() >= kCommandLineBuffer) {
        return {{}, CommandRefusal::TooLong};
    }
    return {std::move(line), CommandRefusal::None};
}

std::optional<std::string> LatestOutputLine(std::string_view output) {
    // Line feeds and blanks are single bytes of every code page the program meets, never the second
    // byte of a double-byte character, so the text is split at them safely.
    std::size_t end = output.rfind('\n');
    while (end != std::string_view::npos) {
        const std::size_t begin = end == 0 ? 0 : output.rfind('\n', end - 1);
        const std::size_t first = begin == std::string_view::npos || end == 0 ? 0 : begin + 1;
        std::string_view line = output.substr(first, end - first);
        const std::size_t left = line.find_first_not_of(" \t\r");
        if (left != std::string_view::npos) {
            const std::size_t right = line.find_last_not_of(" \t\r");
            return std::string(line.substr(left, right - left + 1));
        }
        if (first == 0) {
            break;
        }
        end = first - 1;
    }
    return std::nullopt;
}

std::string OfferedSender(std::string_view user, std::string_view computer) {
    std::string sender(user);
    sender += '(';
    sender += computer;
    sender += ')';
    return sender;
}

} // namespace glimmerfen::ui
