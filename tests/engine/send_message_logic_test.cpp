// The send-message command line and the offered sender.
#include "ui/dialogs/SendMessageLogic.h"

#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "platform/netnames.h"

namespace glimmerfen {
namespace {

using test::CodePage932Test;
using ui::BuildMessageCommandLine;
using ui::CommandRefusal;
using ui::MessageCommand;

// Hostile senders and messages reach the command as exactly one argument, quoted for the C runtime's
// parser; the trail byte 0x5C of a Shift-JIS character (表 is 95 5C) is no backslash, so it is never
// doubled. Recipients come from the network: anything but a computer name or address is refused.
TEST_F(CodePage932Test, CommandLinesQuoteTheTextAndRefuseHostileRecipients) {
    struct Case {
        MessageCommand command;
        const char* recipient;
        std::string text;   // the message; the sender is B"ob
        std::string quoted; // what follows "This message from B\"ob\n\n"; "" when refused
        CommandRefusal refusal;
    };
    const auto net = MessageCommand::NetSend;
    const auto none = CommandRefusal::None;
    const Case cases[] = {
        {net, "PC1", "say \"hi\" /time:0", "say \\\"hi\\\" /time:0\"", none},
        {net, "PC1", "a\\b \\\\\"c", "a\\b \\\\\\\\\\\"c\"", none}, // only backslashes before a quote double
        {net, "PC1", "C:\\dir\\", "C:\\dir\\\\\"", none},           // and those before the closing one
        {net, "PC1", "%PATH% ^& | < > \t\r\n", "%PATH% ^& | < > \t\r\n\"", none},
        {net, "PC1", "\x95\x5C", "\x95\x5C\"", none},
        {net, "PC1", "\x95\x5C\"\x83\x7C", "\x95\x5C\\\"\x83\x7C\"", none},
        {MessageCommand::Msg, "\x8C\x6F\x97\x9D-PC", "Hi", "Hi\"", none}, // 経理-PC
        {net, "PC1 /time:0", "Hi", "", CommandRefusal::Recipient},
        {net, "PC1", "a\x1b[2J", "", CommandRefusal::Character},
        {net, "PC1", std::string("a\0b", 3), "", CommandRefusal::Character},
        {net, "PC1", "lone lead \x95", "", CommandRefusal::Character},
        {net, "PC1", "lead before a quote \x95\"", "", CommandRefusal::Character},
    };
    for (const Case& c : cases) {
        const ui::MessageCommandLine built = BuildMessageCommandLine(c.command, c.recipient, "B\"ob", c.text);
        EXPECT_EQ(built.refusal, c.refusal) << c.text;
        const std::string start = c.command == net ? "net send " : "msg * /server:";
        const std::string expected =
            c.quoted.empty() ? "" : start + c.recipient + " \"This message from B\\\"ob\n\n" + c.quoted;
        EXPECT_EQ(built.line, expected) << c.text;
    }
}

TEST_F(CodePage932Test, ComputerNamesFromTheNetwork) {
    const std::string accepted[] = {"PC-01",      "pc_01",    "host.example.com", "192.168.0.1",
                                    "fe80::1%12", "\x95\x5C", "\x83\x7C\x8C\x6F", std::string(63, 'a')};
    // "\xB1" is a half-width katakana, a single byte; "\x95" a lead byte alone.
    const std::string refused[] = {"",     "PC 1",         "PC\"1", "..\\evil",    "PC1\\C$",
                                   "a/b",  "a..b",         ".a",    "a.",          "..",
                                   "-x",   "a:b",          "a*",    "a?",          "a<b>",
                                   "a|b",  "a,b",          "a\tb",  "a\nb",        "a%b",
                                   "\x95", "\x95\x5C\x5C", "\xB1",  "fe80::1%a b", std::string(64, 'a')};
    for (const std::string& name : accepted) {
        EXPECT_TRUE(platform::IsWellFormedComputerName(name)) << name;
    }
    for (const std::string& name : refused) {
        EXPECT_FALSE(platform::IsWellFormedComputerName(name)) << name;
    }
}

TEST(SendMessage, CommandLineLongerThanTheBufferIsRefused) {
    // "net send PC1 \"This message from Bob\n\n" and the closing quote take 37 bytes.
    const std::string prefix = "net send PC1 \"This message from Bob\n\n";
    const std::size_t fits = ui::kCommandLineBuffer - 1 - prefix.size() - 1;
    const std::string longest =
        BuildMessageCommandLine(MessageCommand::NetSend, "PC1", "Bob", std::string(fits, 'x')).line;
    EXPECT_EQ(longest.size(), ui::kCommandLineBuffer - 1) << "9999 characters and the terminator fit";
    EXPECT_EQ(longest.back(), '"') << "nothing cut";
    EXPECT_EQ(BuildMessageCommandLine(MessageCommand::NetSend, "PC1", "Bob", std::string(fits + 1, 'x')).refusal,
              CommandRefusal::TooLong);
    EXPECT_EQ(BuildMessageCommandLine(MessageCommand::Msg, "PC1", "Bob", std::string(fits, 'x')).refusal,
              CommandRefusal::TooLong)
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
