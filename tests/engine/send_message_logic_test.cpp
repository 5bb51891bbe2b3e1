// The send-message command line and the offered sender.
#include "ui/dialogs/SendMessageLogic.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

namespace glimmerfen {
namespace {

using ui::BuildMessageCommandLine;
using ui::MessageCommand;

TEST(SendMessage, CommandLinesAsComposed) {
    struct Case {
        MessageCommand command;
        const char* recipient;
        const char* sender;
        std::string message;
        std::string line;
    };
    const Case cases[] = {
        {MessageCommand::NetSend, "PC1", "Bob", "Hello", "net send PC1 \"This message from Bob\n\nHello\""},
        {MessageCommand::NetSend, "PC1", "Bob", "", "net send PC1 \"This message from Bob\n\n\""},
        // A quote in the sender ends the argument early: passed on unchanged, nothing escaped.
        {MessageCommand::NetSend, "PC1", "B\"ob", "Hi", "net send PC1 \"This message from B\"ob\n\nHi\""},
        // Line breaks typed in the message stay as they are.
        {MessageCommand::NetSend, "PC1", "Bob", "a\r\nb", "net send PC1 \"This message from Bob\n\na\r\nb\""},
        {MessageCommand::Msg, "PC1", "Bob", "Hello", "msg * /server:PC1 \"This message from Bob\n\nHello\""},
        // Shift-JIS bytes (表 ends in a backslash byte) go through untouched.
        {MessageCommand::Msg, "\x95\x5C", "\x8E\x52\x93\x63", "\x95\x5C",
         "msg * /server:\x95\x5C \"This message from "
         "\x8E\x52\x93\x63\n\n\x95\x5C\""},
    };
    for (const Case& c : cases) {
        const auto line = BuildMessageCommandLine(c.command, c.recipient, c.sender, c.message);
        ASSERT_TRUE(line.has_value()) << c.line;
        EXPECT_EQ(*line, c.line);
    }
}

TEST(SendMessage, CommandLineLongerThanTheBufferIsRefused) {
    // "net send PC1 \"This message from Bob\n\n" and the closing quote take 37 bytes.
    const std::string prefix = "net send PC1 \"This message from Bob\n\n";
    const std::size_t fits = ui::kCommandLineBuffer - 1 - prefix.size() - 1;
    const auto longest = BuildMessageCommandLine(MessageCommand::NetSend, "PC1", "Bob", std::string(fits, 'x'));
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->size(), ui::kCommandLineBuffer - 1) << "9999 characters and the terminator fit";
    EXPECT_EQ(longest->back(), '"') << "nothing cut";
    EXPECT_FALSE(BuildMessageCommandLine(MessageCommand::NetSend, "PC1", "Bob", std::string(fits + 1, 'x')));
    EXPECT_FALSE(BuildMessageCommandLine(MessageCommand::Msg, "PC1", "Bob", std::string(fits, 'x')))
        << "the longer msg prefix leaves less room";
}

TEST(SendMessage, CommandBySystemVersionAndOfferedSender) {
    EXPECT_EQ(ui::MessageCommandFor(5), MessageCommand::NetSend);
    EXPECT_EQ(ui::MessageCommandFor(6), MessageCommand::Msg);
    EXPECT_EQ(ui::MessageCommandFor(10), MessageCommand::Msg);
    EXPECT_EQ(ui::OfferedSender("alice", "PC01"), "alice(PC01)");
    // A computer name longer than the user name comes out whole.
    EXPECT_EQ(ui::OfferedSender("al", "A-VERY-LONG-COMPUTER-NAME-OF-MANY-LETTERS"),
              "al(A-VERY-LONG-COMPUTER-NAME-OF-MANY-LETTERS)");
}

// What the dialog shows while the command runs: the last complete line; one still being printed waits,
// so a read that ends inside a double-byte character never shows half of it ("" for nothing shown).
TEST(SendMessage, StatusShowsTheLastCompleteLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"\r\n  \t\r\n", ""},
        {"first\r\nsecond\r\n", "second"},
        {"first\r\n\r\n  padded  \r\n", "padded"},
        {"first\r\nsecond, still", "first"},
        {"\x91\x97\x90\x4d\r\n\x8e\xb8\x94", "\x91\x97\x90\x4d"}, // Shift-JIS, cut in a character
    };
    for (const auto& [output, shown] : cases) {
        EXPECT_EQ(ui::LatestOutputLine(output).value_or(""), shown) << output;
    }
}

} // namespace
} // namespace glimmerfen
