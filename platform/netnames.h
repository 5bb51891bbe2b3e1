// Names of the computers that a server reports by their network address.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace glimmerfen::platform {

// True when the text is an IPv4 address in dotted decimals or an IPv6 address in hexadecimal groups
// (with an optional zone after "%"), as a server reports a client it knows by address only.
bool IsNumericAddress(std::string_view text);

// The name the system's resolver gives for the address (its reverse lookup), in the ANSI code page;
// nothing when the address has no name or the text is no address. May wait on the network: never call
// it on a thread that must stay responsive.
std::optional<std::string> NameOfAddress(const std::string& address);

} // namespace glimmerfen::platform
