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

std::string OfferedSender(std::string_view user, std::string_view computer) {
    std::string sender(user);
    sender += '(';
    sender += computer;
    sender += ')';
    return sender;
}

} // namespace glimmerfen::ui
