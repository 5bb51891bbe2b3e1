// Operations on narrow ANSI code page texts that respect double-byte characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace glimmerfen {

// Upper-/lower-cases a copy; the bytes of a double-byte character are left as they are.
std::string AnsiUpper(std::string_view text);
std::string AnsiLower(std::string_view text);

// Cuts the text to at most maxBytes bytes without splitting a double-byte character.
std::string TruncateAnsi(std::string text, std::size_t maxBytes);

// UTF-16 to ANSI for a record field: at most 254 bytes, never ending in half a character.
inline constexpr std::size_t kMaxFieldBytes = 254;
std::string FieldFromWide(std::u16string_view text);

} // namespace glimmerfen
