// The lines the log viewer lists, as a CSV file a spreadsheet opens with every character intact:
// UTF-8 with a byte-order mark, CR LF after every record, fields quoted as RFC 4180 has it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/log/LoadedLog.h"

namespace glimmerfen {

// Appends one field, text in the ANSI code page, as CSV:
// - in double quotes, each quote doubled, when it holds a comma, a quote, CR or LF;
// - with an apostrophe in front when it begins with '=', '+', '-' or '@': a spreadsheet would take it
//   for a formula and run it (client names and types come from the remote computer);
// - a double-byte character cut off (a lead byte at the field's end, or before a byte that cannot
//   follow one) becomes '?', so that the conversion of the whole text cannot swallow the separator,
//   quote or line end behind it.
// Other texts are written as they are: quoting would not keep a spreadsheet from reading "007" as the
// number 7 or a time as a date, and the file stays what the log holds.
void AppendCsvField(std::string& out, std::string_view field);
// The fields separated by commas, then CR LF.
void AppendCsvRecord(std::string& out, std::span<const std::string_view> fields);

// Writes the header row and then fields 1 to 9 of each row, in the order given, to path as UTF-8
// with a byte-order mark. The file is written beside path under a temporary name (one that no file
// has) and put in its place once complete, so a failure (a folder that cannot be written, a full disk,
// a target held open by another program) leaves no part of a file behind and an existing file at
// path as it was. The text is converted and written in pieces of about chunkBytes; progress(done,
// total) is called with the rows written after each piece. False on any failure.
bool WriteLogCsv(const std::string& path, std::span<const std::string> headers, const LoadedLog& log,
                 std::span<const std::uint32_t> rows, const LoadedLog::Progress& progress = {},
                 std::size_t chunkBytes = std::size_t{1} << 20);

} // namespace glimmerfen
