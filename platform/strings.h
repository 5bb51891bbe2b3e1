// The string table in the user-interface language, as narrow text in the ANSI code page, and the one
// way its texts take values.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace glimmerfen::platform {

// Empty when the id is not in the table.
std::string LoadText(unsigned id);

// A text of the table with values in its placeholders. The values are put in as text, never read as a
// format, and the text itself is never handed to a printf-style function: a translation with one
// placeholder too many, or of another kind, cannot make the program read what it was not given.
//   "%1" .. "%9"       the value of that number;
//   "%s", "%d", "%u"   the next value in turn (the table's printf-like texts), "%0Nd" and "%0Nu" (N one
//                      digit) the same, padded with zeros to N characters after a minus sign, if any;
//   "%%"               one "%".
// A placeholder without a value becomes nothing; any other "%" stays as it is. Works byte by byte: no
// byte of a double-byte character of an ANSI code page is a "%".
std::string FillTemplate(std::string_view text, std::initializer_list<std::string_view> values);

} // namespace glimmerfen::platform
