// The string table of builds without Windows resources, generated at build time from en.rc and
// ja.rc so that both builds show the same texts.
#pragma once

#include <span>

namespace glimmerfen::res {

// Texts in UTF-8; null when that language's table lacks the id.
struct StringEntry {
    unsigned id;
    const char* english;
    const char* japanese;
};

// Every entry, in ascending id order.
std::span<const StringEntry> StringTable();

} // namespace glimmerfen::res
