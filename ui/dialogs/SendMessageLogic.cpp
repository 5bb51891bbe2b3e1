#include "ui/dialogs/SendMessageLogic.h"

namespace glimmerfen::ui {

MessageCommand MessageCommandFor(unsigned majorVersion) {
    return majorVersion >= 6 ? MessageCommand::Msg : MessageCommand::NetSend;
}

std::string QuotedMessage(std::string_view sender, std::string_view message) {
    std::string text = "\"This message from ";
    text += sender;
    text += "\n\n";
    text += message;
    text += '"';
    return text;
}

std::optional<std::string> BuildMessageCommandLine(MessageCommand command, std::string_view recipient,
                                                   std::string_view sender, std::string_view message) {
    std::string line = command == MessageCommand::NetSend ? "net send " : "msg * /server:";
    line += recipient;
    line += ' ';
    line += QuotedMessage(sender, message);
    if (line.size() >= kCommandLineBuffer) {
        return std::nullopt;
    }
    return line;
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
