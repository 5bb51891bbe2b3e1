// The string table in the user-interface language, as narrow text in the ANSI code page.
#pragma once

#include <string>

namespace glimmerfen::platform {

// Empty when the id is not in the table.
std::string LoadText(unsigned id);

} // namespace glimmerfen::platform
