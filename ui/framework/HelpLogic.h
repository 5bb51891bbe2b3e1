// What the help command decides without a window: which manual beside the executable it opens.
#pragma once

#include <functional>
#include <string>

namespace glimmerfen::ui {

// The manual the help command opens, as a path in exeDir: the file the string table names (the manual
// in the language the program shows its texts in), or the English manual when that one is not there;
// the named one when neither is, so that the viewer fails and the user is told there is no help file.
std::string ManualToOpen(const std::string& exeDir, const std::string& localizedName,
                         const std::function<bool(const std::string&)>& exists);

} // namespace glimmerfen::ui
