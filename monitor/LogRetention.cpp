#include "monitor/LogRetention.h"

#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>

#include "monitor/AccessLog.h"
#include "platform/exclusive_file.h"

namespace glimmerfen {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// The largest day count whose seconds fit in a 32-bit signed number.
constexpr int kMaxDays = static_cast<int>(std::numeric_limits<std::int32_t>::max() / kSecondsPerDay);

// atoi of the text before the first TAB, fed one byte at a time as the line streams past: leading
// white space, an optional sign, decimal digits up to the first other byte. Without digits the
// number is 0, and so it is for a line without any TAB, whose field 0 is empty. A number beyond the
// 32-bit range saturates at its limit (as the Windows C runtime's atoi does), so a line with an
// absurdly large time is always kept and one with an absurdly small time always removed.
class LineTime {
public:
    // True once the time is known: the number is complete and a TAB has been seen after it.
    bool Done() const { return phase_ == Phase::Done; }
    // True once the number is complete and only a TAB is still looked for.
    bool SeekingTab() const { return phase_ == Phase::SeekTab; }

    void Step(char c) {
        if (phase_ == Phase::SeekTab) {
            if (c == '\t') {
                phase_ = Phase::Done;
            }
            return;
        }
        if (phase_ == Phase::Blank) {
            // isspace in the C locale; a TAB ends the field instead, and LF never reaches here.
            if (c == ' ' || c == '\r' || c == '\v' || c == '\f') {
                return;
            }
            if (c == '+' || c == '-') {
                negative_ = c == '-';
                phase_ = Phase::Digits;
                return;
            }
            phase_ = Phase::Digits;
        }
        if (c >= '0' && c <= '9') {
            magnitude_ = magnitude_ * 10 + (c - '0');
            if (magnitude_ > kMagnitudeLimit) {
                magnitude_ = kMagnitudeLimit;
            }
            return;
        }
        phase_ = c == '\t' ? Phase::Done : Phase::SeekTab;
    }

    // The time of the line; 0 until a TAB has been seen.
    std::int64_t Value() const {
        if (phase_ != Phase::Done) {
            return 0;
        }
        const std::int64_t value = negative_ ? -magnitude_ : magnitude_;
        constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
        return value > kMax ? kMax : value;
    }

    void Reset() { *this = LineTime(); }

private:
    enum class Phase { Blank, Digits, SeekTab, Done };
    // |INT32_MIN|: enough to saturate either way without overflowing the 64-bit accumulator.
    static constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 31;
    Phase phase_ = Phase::Blank;
    bool negative_ = false;
    std::int64_t magnitude_ = 0;
};

// The same reading of a line that lies wholly in memory (the common case), in one tight pass.
// Digits are added without a range check until the number is far beyond 32 bits; from then on it
// only saturates, so neither leading zeros nor long digit runs can overflow.
std::int64_t LineTimeOf(const char* p, const char* end) {
    while (p < end && (*p == ' ' || *p == '\r' || *p == '\v' || *p == '\f')) {
        ++p;
    }
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    constexpr std::uint64_t kFar = std::uint64_t{1} << 40;
    std::uint64_t magnitude = 0;
    for (; p < end; ++p) {
        const unsigned digit = static_cast<unsigned char>(*p) - static_cast<unsigned>('0');
        if (digit > 9) {
            break;
        }
        if (magnitude >= kFar) [[unlikely]] {
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    // Without a TAB the whole line is field 1 onwards of nothing: field 0 is empty.
    if (p == end || (*p != '\t' && std::memchr(p, '\t', static_cast<std::size_t>(end - p)) == nullptr)) {
        return 0;
    }
    const std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return value < kMin ? kMin : (value > kMax ? kMax : value);
}

// Buffered writing of the kept lines, able to take back the end of what was written. A line is
// written while its fate is still open (its time may stretch over several read pieces) and taken
// back when it turns out to be too old; when the taken-back bytes had already gone to the file, the
// file position moves back and the file is cut at the end.
class KeptLines {
public:
    KeptLines(platform::ExclusiveFile& file, std::size_t capacity)
        : file_(file), buffer_(new char[capacity]), capacity_(capacity) {}

    std::uint64_t Position() const { return flushed_ + used_; }

    void Put(const char* data, std::size_t size) {
        // A large piece (a run of kept lines, straight from the read buffer) goes to the file as it
        // is: copying it into the buffer first would only cost time.
        if (size >= capacity_ / 8 || used_ + size > capacity_) {
            Flush();
            if (size >= capacity_ / 8) {
                ok_ = ok_ && file_.Write(data, size);
                flushed_ += size;
                return;
            }
        }
        std::memcpy(buffer_.get() + used_, data, size);
        used_ += size;
    }

    void TakeBackTo(std::uint64_t position) {
        if (position >= flushed_) {
            used_ = static_cast<std::size_t>(position - flushed_);
            return;
        }
        used_ = 0;
        ok_ = ok_ && file_.Seek(position);
        flushed_ = position;
        cutAtEnd_ = true;
    }

    // False when any write failed.
    bool Finish() {
        Flush();
        if (cutAtEnd_) {
            ok_ = ok_ && file_.TruncateHere();
        }
        return ok_;
    }

private:
    void Flush() {
        if (used_ > 0) {
            ok_ = ok_ && file_.Write(buffer_.get(), used_);
            flushed_ += used_;
            used_ = 0;
        }
    }

    platform::ExclusiveFile& file_;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0; // file offset of buffer_[0]
    bool cutAtEnd_ = false;
    bool ok_ = true;
};

// Splits the stream into lines and keeps those younger than the cut-off. Lines that lie wholly in
// one piece are decided at once; consecutive kept lines that already end in CR LF are passed on as
// one run, straight from the piece. A line that crosses pieces streams through Feed.
class LineFilter {
public:
    LineFilter(KeptLines& out, std::int64_t cutoff) : out_(out), cutoff_(cutoff) {}

    void Consume(const char* data, std::size_t size) {
        std::size_t pos = 0;
        if (pendingCr_ && size > 0) {
            // A CR ended the previous piece: it is part of the line end when an LF follows.
            pendingCr_ = false;
            if (data[0] == '\n') {
                EndLine();
                pos = 1;
            } else {
                Feed("\r", 1);
            }
        }
        while (pos < size) {
            const void* found = std::memchr(data + pos, '\n', size - pos);
            if (found == nullptr) {
                std::size_t end = size;
                if (data[end - 1] == '\r') {
                    pendingCr_ = true;
                    --end;
                }
                Feed(data + pos, end - pos);
                break;
            }
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t end = lf;
            if (end > pos && data[end - 1] == '\r') {
                --end;
            }
            if (lineOpen_) {
                Feed(data + pos, end - pos);
                EndLine();
            } else {
                WholeLine(data + pos, end - pos, lf + 1 - pos);
            }
            pos = lf + 1;
        }
        // The piece's memory is reused for the next read.
        FlushRun();
    }

    // At the end of the file: a last line without a line end still counts.
    void Finish() {
        if (pendingCr_) {
            // A lone CR at the very end is a character of the line, as in any other place.
            pendingCr_ = false;
            Feed("\r", 1);
        }
        if (lineOpen_) {
            EndLine();
        }
        FlushRun();
    }

private:
    // The common case, a line that lies wholly in the piece just read. withEnd counts the line end's
    // bytes too.
    void WholeLine(const char* line, std::size_t size, std::size_t withEnd) {
        // A TAB is neither blank, sign nor digit, so the number stops at the end of field 0.
        if (!(cutoff_ < LineTimeOf(line, line + size))) {
            return;
        }
        if (withEnd == size + 2) {
            if (line != runEnd_) {
                FlushRun();
                runBegin_ = line;
            }
            runEnd_ = line + withEnd;
            return;
        }
        FlushRun();
        out_.Put(line, size);
        out_.Put("\r\n", 2);
    }

    void FlushRun() {
        if (runBegin_ != runEnd_) {
            out_.Put(runBegin_, static_cast<std::size_t>(runEnd_ - runBegin_));
        }
        runBegin_ = runEnd_ = nullptr;
    }

    // Marks the start of a line that crosses pieces, whose bytes may have to be taken back.
    void OpenLine() {
        if (!lineOpen_) {
            FlushRun();
            lineOpen_ = true;
            lineStart_ = out_.Position();
        }
    }

    void Feed(const char* data, std::size_t size) {
        if (size == 0) {
            return;
        }
        OpenLine();
        if (!decided_) {
            for (std::size_t i = 0; i < size && !time_.Done(); ++i) {
                if (time_.SeekingTab()) {
                    // The rest of field 0 does not count; only whether it ends in this piece.
                    if (std::memchr(data + i, '\t', size - i) != nullptr) {
                        time_.Step('\t');
                    }
                    break;
                }
                time_.Step(data[i]);
            }
            if (time_.Done()) {
                Decide();
                if (!keep_) {
                    return;
                }
            }
            out_.Put(data, size);
            return;
        }
        if (keep_) {
            out_.Put(data, size);
        }
    }

    void Decide() {
        decided_ = true;
        keep_ = cutoff_ < time_.Value();
        if (!keep_) {
            out_.TakeBackTo(lineStart_);
        }
    }

    void EndLine() {
        OpenLine();
        if (!decided_) {
            Decide();
        }
        if (keep_) {
            out_.Put("\r\n", 2);
        }
        time_.Reset();
        decided_ = false;
        keep_ = false;
        lineOpen_ = false;
    }

    KeptLines& out_;
    std::int64_t cutoff_;
    LineTime time_;
    bool decided_ = false;
    bool keep_ = false;
    bool lineOpen_ = false;
    bool pendingCr_ = false;
    std::uint64_t lineStart_ = 0;
    // Kept whole lines not yet passed on: [runBegin_, runEnd_) of the current piece.
    const char* runBegin_ = nullptr;
    const char* runEnd_ = nullptr;
};

// Copies the kept lines; false when a read or a write failed.
bool CopyKeptLines(platform::ExclusiveFile& in, platform::ExclusiveFile& out, std::int64_t cutoff,
                   std::size_t chunkSize) {
    std::unique_ptr<char[]> chunk(new char[chunkSize]);
    KeptLines kept(out, chunkSize);
    LineFilter filter(kept, cutoff);
    for (;;) {
        const std::int64_t got = in.Read(chunk.get(), chunkSize);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        filter.Consume(chunk.get(), static_cast<std::size_t>(got));
    }
    filter.Finish();
    return kept.Finish();
}

} // namespace

void TrimLog(const std::string& exeDir, int logSetDays, std::int32_t now, std::size_t chunkSize) {
    if (logSetDays <= 0 || logSetDays > kMaxDays) {
        return;
    }
    if (chunkSize == 0) {
        chunkSize = kTrimChunkSize;
    }
    const std::int64_t cutoff = std::int64_t{now} - std::int64_t{logSetDays} * kSecondsPerDay;
    const std::string logPath = exeDir + kLogFileName;
    const std::string tempPath = exeDir + kLogTempFileName;

    std::lock_guard<std::mutex> lock(LogFileGuard());
    platform::ExclusiveFile in;
    if (!in.Open(logPath, platform::FileOpenMode::ReadExisting)) {
        return;
    }
    platform::ExclusiveFile out;
    if (!out.Open(tempPath, platform::FileOpenMode::CreateTruncate)) {
        return;
    }
    bool complete = CopyKeptLines(in, out, cutoff, chunkSize);
    complete = out.Close() && complete;
    // A short copy must never take the log's place; neither stays behind when the move fails.
    if (!complete || !in.ReplaceByMove(tempPath, logPath)) {
        in.Close();
        std::remove(tempPath.c_str());
    }
}

} // namespace glimmerfen
