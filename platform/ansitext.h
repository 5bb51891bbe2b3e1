// Operations on narrow ANSI code page texts that respect double-byte characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// <windows.h> keeps AnsiUpper and AnsiLower as old macro names of CharUpperA and CharLowerA; they would
// rename the functions below in every file that includes both.
#ifdef AnsiUpper
#undef AnsiUpper
#endif
#ifdef AnsiLower
#undef AnsiLower
#endif

namespace glimmerfen {

// Upper-/lower-cases a copy. Of the double-byte characters only code page 932's full-width Latin
// letters are upper-cased (as the system's multibyte upper-casing does); the others, and every one
// when lower-casing, are left as they are.
std::string AnsiUpper(std::string_view text);
std::string AnsiLower(std::string_view text);

// Where the file name of a path starts: after its last separator ("\\" or "/"), or after a leading
// drive "X:" when there is none. The walk goes by characters: the trail byte of a double-byte
// character may be 0x5C, a backslash, without being a separator.
std::size_t AnsiFileNameStart(std::string_view path);

// Case-free comparison of two texts as the computer lists compare names: both upper-cased by
// AnsiUpper, so double-byte letters that the code page folds match too.
bool AnsiEqualNoCase(std::string_view a, std::string_view b);

// The items between ";" separators, in list order; empty items are skipped, nothing is trimmed. The
// views point into text. ";" is below every trail byte of the double-byte code pages, so a plain split
// never cuts a character.
std::vector<std::string_view> SplitList(std::string_view text);

// Cuts the text to at most maxBytes bytes without splitting a double-byte character.
std::string TruncateAnsi(std::string text, std::size_t maxBytes);

// UTF-16 to ANSI for a record field: at most 254 bytes, never ending in half a character.
inline constexpr std::size_t kMaxFieldBytes = 254;
std::string FieldFromWide(std::u16string_view text);
// The same into out, whose storage is reused: a text of ASCII characters (the same bytes in every
// ANSI code page) is copied without a conversion or an allocation once out has room.
void AssignFieldFromWide(std::string& out, std::u16string_view text);

} // namespace glimmerfen
