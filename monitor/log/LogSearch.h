// Find in the log: the loaded lines whose computer, user, operation, path or message hold every word of
// a typed query, letter case ignored as the computer lists ignore it (the ANSI code page's
// upper-casing, AnsiUpper). The search reads the loaded bytes where they are: it keeps no copy of the
// lines, only the numbers of the rows that match.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace glimmerfen {

class LoadedLog;
class LogQuery;

// The rows of the loaded log that the query matches, in file order: a row matches when it is not
// marked and every word of the query occurs, whole characters only, in at least one of fields 1, 2, 7,
// 8 and 9 (computer, user, operation, path, message). An empty query matches nothing.
//
// Meant for a worker thread: the log must not change meanwhile (no load, no MarkDeleted), and the
// query must have been made under the code page in force. cancelled (may be empty) is asked every
// MiB of bytes scanned; once it returns true the search gives up and returns nullopt. Memory added:
// the returned row numbers (4 bytes each) and a few tables of the query's size. A window would make
// the query at each change of the text, bump an atomic generation, and hand both to the worker with
// cancelled = [&, mine] { return generation != mine; }, listing only a result of the latest one.
std::optional<std::vector<std::uint32_t>> SearchRows(const LoadedLog& log, const LogQuery& query,
                                                     const std::function<bool()>& cancelled = {});

// A query as typed into the search box, in the ANSI code page. Words are separated by blanks and TABs,
// and in a double-byte code page also by its ideographic space (0x81 0x40 in 932, 0xA1 0xA1 in 936 and
// 949, 0xA1 0x40 in 950). Half a double-byte character at the
// very end of the text is dropped: it cannot match a whole character.
class LogQuery {
public:
    LogQuery() = default;
    // Splits the text into words and prepares each for matching under the code page now in force.
    explicit LogQuery(std::string_view typed);

    // No words: nothing to search for.
    bool Empty() const { return words_.empty(); }

private:
    friend std::optional<std::vector<std::uint32_t>> SearchRows(const LoadedLog&, const LogQuery&,
                                                                const std::function<bool()>&);
    using ByteSet = std::array<bool, 256>;

    // For each byte of a word, the bytes of a line that match it. A single-byte character accepts every
    // single-byte character with the same upper case; a double-byte character accepts its own lead byte
    // followed by every trail byte that upper-cases with it to the same pair (the code pages' upper-
    // casing never changes a lead byte). A match that starts on a character boundary and meets each
    // byte's set therefore also ends on one.
    struct Word {
        std::vector<ByteSet> accepts;
    };

    std::vector<Word> words_;
    ByteSet lead_{};          // lead bytes of the code page the query was made under
    bool doubleByte_ = false; // the code page has lead bytes: matches are checked for character boundaries
};

} // namespace glimmerfen
