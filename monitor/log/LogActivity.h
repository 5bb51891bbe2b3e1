// Counts for the log viewer's activity strip, made once from the rows a selection or a search lists
// (never per paint): accesses per local hour of a date's or a user's lines, and a search's matches per
// date. Each bin also tells where its first line is in that list, so a click on its bar can scroll there.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace glimmerfen {

class LoadedLog;

// A bin that holds no line.
inline constexpr std::uint32_t kNoListedLine = 0xFFFFFFFFu;

// One local hour of the listed lines. A line with a message (field 9) records a disconnection, not an
// access: the bars show accesses (lines with an empty field 9), and disconnections are counted apart
// so that the strip can tell them without making a busy hour of a burst of them.
struct HourBin {
    std::uint32_t accesses = 0;
    std::uint32_t disconnections = 0;
    std::uint32_t first = kNoListedLine; // index into the listed rows of the hour's first line, of either kind
};

// The listed lines of one date.
struct DateBin {
    std::uint32_t date = 0;              // index into LoadedLog::Dates()
    std::uint32_t lines = 0;             // every listed line of the date counts, disconnections too
    std::uint32_t first = kNoListedLine; // index into the listed rows of the date's first line
};

// Hours 0 to 23 of the listed rows' times (field 0), in local time as the log's dates are made. Marked
// rows are left out.
std::array<HourBin, 24> CountByHour(const LoadedLog& log, const std::vector<std::uint32_t>& listed);

// One bin for every date of LoadedLog::DateOrder(), in that order, with the listed rows of each
// (a date without any keeps its bin, empty, so that the strip shows the whole span of the log). Marked
// rows are left out.
std::vector<DateBin> CountByDate(const LoadedLog& log, const std::vector<std::uint32_t>& listed);

} // namespace glimmerfen
