// Names of the computers that a server reports by their network address.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerfen::platform {

// True when the text is an IPv4 address in dotted decimals or an IPv6 address in hexadecimal groups
// (with an optional zone after "%"), as a server reports a client it knows by address only.
bool IsNumericAddress(std::string_view text);

// True when a byte pair at text[i] is one whole double-byte character of the ANSI code page: a lead
// byte followed by one of the code page's trail bytes (IsTrailByte). Its trail byte may be 0x5C or
// 0x7C (in 932, 936 and 950), which the system's conversion to UTF-16 makes part of the one character,
// never a backslash or a bar.
bool IsDoubleByteAt(std::string_view text, std::size_t i);

// True when the text may name a computer in a command line or after "\\" in a path: an IPv4 or IPv6
// address (a zone, if any, of letters and digits), or a host name of at most 255 bytes made of labels
// separated by single dots, each of ASCII letters, digits, "-" and "_" and whole double-byte
// characters of the ANSI code page, not starting with "-". Everything else is refused: blanks, quotes,
// "\", "/", ":", "*", "?", "<", ">", "|", control characters, an empty label ("..", a leading or
// trailing dot) and single bytes above 0x7F. A client name comes from the network, so whatever does
// not fit is never handed to a command or a path.
bool IsWellFormedComputerName(std::string_view text);

// True when the name, with or without leading "\\", denotes this computer: ".", "localhost", an IPv4
// loopback address (127.0.0.0/8, also in the short forms the system's resolver reads, such as "127.1"),
// the IPv6 loopback address in any spelling ("::1", "0:0:0:0:0:0:0:1", "[::1]", "::ffff:127.0.0.1"),
// or one of ownNames. Letter case does not matter.
bool NamesThisComputer(std::string_view name, const std::vector<std::string>& ownNames);

// This computer's own name, as events and the send-message dialog name it, in the ANSI code page: on
// Windows its NetBIOS name, elsewhere the host name; empty when the system cannot give it.
std::string ThisComputerName();

// The names this computer answers to, in the ANSI code page: on Windows its NetBIOS name, DNS host name
// and fully qualified DNS name; elsewhere the host name. Names the system cannot give are left out.
std::vector<std::string> OwnComputerNames();

// The name the system's resolver gives for the address (its reverse lookup), in the ANSI code page;
// nothing when the address has no name or the text is no address. May wait on the network: never call
// it on a thread that must stay responsive.
std::optional<std::string> NameOfAddress(const std::string& address);

} // namespace glimmerfen::platform
