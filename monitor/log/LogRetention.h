// The start-up trimming of the access log: lines older than LogSetDays days are removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "monitor/log/LogFile.h"

namespace glimmerfen {

// Size of the pieces in which the log is read and the kept lines are written.
inline constexpr std::size_t kTrimChunkSize = kLogChunkSize;

// Copies the lines of exeDir + "log.txt" whose time (field 0, the number before the first TAB, read
// like atoi; 0 for a line without a TAB, whose field 0 is empty) is later than now minus logSetDays days into exeDir +
// "log_tmp.txt", each ending with CR LF, then puts that file in the place of "log.txt" in one step. Nothing is ever
// reported.
//
// - logSetDays 0 switches the trimming off: nothing is opened. So do a negative count and one whose
//   number of seconds does not fit in 32 bits: such values only come from an edited INI file, and
//   the whole log is kept rather than trimmed by an overflowed cut-off.
// - "log.txt" missing or held by another opening: nothing happens, "log_tmp.txt" is not touched.
// - "log_tmp.txt" cannot be created, or a read or write fails: "log.txt" stays as it was. So it does
//   when the move fails (another program opened the log just then), and "log_tmp.txt" is removed.
// - Lines end in LF or CR LF; a last line without a line end is kept (when it is young enough) with
//   one added. Lines of any length pass in pieces of chunkSize bytes: memory does not grow with the
//   file or its lines.
// The log-file guard (LogFileGuard) is held for the whole pass, so a line appended meanwhile by this
// process lands in the trimmed file.
void TrimLog(const std::string& exeDir, int logSetDays, std::int32_t now, std::size_t chunkSize = kTrimChunkSize);

} // namespace glimmerfen
