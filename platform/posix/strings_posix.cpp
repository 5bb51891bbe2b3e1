// The string table of the portable layer: the texts of en.rc and ja.rc, generated into the build.
#include "platform/strings.h"

#include <algorithm>

#include "platform/posix/locale_posix.h"
#include "res/string_table.h"

namespace glimmerfen::platform {

std::string LoadText(unsigned id) {
    const auto table = res::StringTable();
    const auto entry = std::lower_bound(table.begin(), table.end(), id,
                                        [](const res::StringEntry& e, unsigned wanted) { return e.id < wanted; });
    if (entry == table.end() || entry->id != id) {
        return {};
    }
    // Like the resource loader, fall back to the English table when the Japanese one lacks the id.
    const char* text = posix::UsesJapanese() && entry->japanese != nullptr ? entry->japanese : entry->english;
    return text != nullptr ? posix::Utf8ToAnsi(text) : std::string();
}

} // namespace glimmerfen::platform
