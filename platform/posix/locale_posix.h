// Language and code page of the portable platform layer, shared by its string table and its code
// page conversions.
#pragma once

#include <string>
#include <string_view>

namespace glimmerfen::platform::posix {

// True when LoadText gives the Japanese texts. Taken from LC_ALL, LC_MESSAGES or LANG (the first
// that is set) starting with "ja", unless a test switched it.
bool UsesJapanese();

// The text of a UTF-8 string in the ANSI code page in force (characters it lacks become '?').
std::string Utf8ToAnsi(std::string_view utf8);

} // namespace glimmerfen::platform::posix
