// The system ANSI code page: the engine keeps every text as narrow bytes in it.
#pragma once

#include <string>
#include <string_view>

namespace glimmerfen::platform {

// Number of the ANSI code page in force (1252, 932, ...).
unsigned AnsiCodePage();

// True when the byte starts a double-byte character in the ANSI code page: on Windows as the system
// says for its code page, in the portable layer from the ranges of platform/doublebyte.h.
bool IsLeadByte(unsigned char byte);

// True when the byte may stand second in a double-byte character of the ANSI code page (its ranges
// differ between 932, 936, 949 and 950: 949 has no trail byte 0x5C, 950 none from 0x7F to 0xA0).
// Meaningful only after a lead byte.
bool IsTrailByte(unsigned char byte);

// Case mapping of one single-byte character of the ANSI code page. Never called for the bytes of a
// double-byte character.
unsigned char UpperSingleByte(unsigned char byte);
unsigned char LowerSingleByte(unsigned char byte);

// Whole-string conversions between UTF-16 and the ANSI code page. Characters that have no
// representation become the code page's default character.
std::string WideToAnsi(std::u16string_view text);
std::u16string AnsiToWide(std::string_view text);

// ANSI code page to UTF-8, character for character as AnsiToWide converts them (a byte sequence the
// code page does not define becomes what AnsiToWide gives for it).
std::string AnsiToUtf8(std::string_view text);

} // namespace glimmerfen::platform
