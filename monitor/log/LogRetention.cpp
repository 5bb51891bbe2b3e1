#include "monitor/log/LogRetention.h"

#include <limits>
#include <memory>
#include <mutex>
#include <string_view>

#include "monitor/log/LogFile.h"
#include "monitor/log/LogLines.h"
#include "platform/exclusive_file.h"

namespace glimmerfen {

namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// The largest day count whose seconds fit in a 32-bit signed number.
constexpr int kMaxDays = static_cast<int>(std::numeric_limits<std::int32_t>::max() / kSecondsPerDay);

// Keeps the lines younger than the cut-off. Lines that lie wholly in one piece are decided at once;
// consecutive kept lines that already end in CR LF are passed on as one run, straight from the piece.
// A line that crosses pieces is written while its time is still open and taken back when it turns
// out too old.
class LineFilter {
public:
    LineFilter(BufferedWriter& out, std::int64_t cutoff) : out_(out), cutoff_(cutoff) {}

    void Whole(const char* line, std::size_t size, std::size_t withEnd) {
        if (!(cutoff_ < ReadLineTime(std::string_view(line, size), LineWithoutTab::EmptyField0))) {
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

    void Part(const char* data, std::size_t size) {
        if (!lineOpen_) {
            FlushRun();
            lineOpen_ = true;
            lineStart_ = out_.Position();
        }
        if (decided_) {
            if (keep_) {
                out_.Put(data, size);
            }
            return;
        }
        time_.Feed(data, size);
        out_.Put(data, size);
        if (time_.Known()) {
            Decide();
        }
    }

    void End() {
        Part("", 0);
        if (!decided_) {
            Decide();
        }
        if (keep_) {
            out_.Put("\r\n", 2);
        }
        time_ = LineTimeReader();
        decided_ = false;
        keep_ = false;
        lineOpen_ = false;
    }

    // The piece's memory is reused for the next read: a pending run goes out before.
    void FlushRun() {
        if (runBegin_ != runEnd_) {
            out_.Put(runBegin_, static_cast<std::size_t>(runEnd_ - runBegin_));
        }
        runBegin_ = runEnd_ = nullptr;
    }

private:
    void Decide() {
        decided_ = true;
        keep_ = cutoff_ < time_.Value(LineWithoutTab::EmptyField0);
        if (!keep_) {
            out_.TakeBackTo(lineStart_);
        }
    }

    BufferedWriter& out_;
    std::int64_t cutoff_;
    LineTimeReader time_;
    bool decided_ = false;
    bool keep_ = false;
    bool lineOpen_ = false;
    std::uint64_t lineStart_ = 0;
    // Kept whole lines not yet passed on: [runBegin_, runEnd_) of the current piece.
    const char* runBegin_ = nullptr;
    const char* runEnd_ = nullptr;
};

// Copies the kept lines; false when a read failed.
bool CopyKeptLines(platform::ExclusiveFile& in, BufferedWriter& out, std::int64_t cutoff, std::size_t chunkSize) {
    std::unique_ptr<char[]> chunk(new char[chunkSize]);
    LineSplitter lines;
    LineFilter filter(out, cutoff);
    for (;;) {
        const std::int64_t got = in.Read(chunk.get(), chunkSize);
        if (got < 0) {
            return false;
        }
        if (got == 0) {
            break;
        }
        lines.Consume(chunk.get(), static_cast<std::size_t>(got), filter);
        filter.FlushRun();
    }
    lines.Finish(filter);
    filter.FlushRun();
    return true;
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
    const std::string logPath = LogPathIn(exeDir);
    const std::string tempPath = exeDir + kLogTempFileName;

    std::lock_guard<LogGuard> lock(LogFileGuard());
    platform::ExclusiveFile in;
    if (!in.Open(logPath, platform::FileOpenMode::ReadExisting)) {
        return;
    }
    FileRewrite rewrite(logPath, tempPath, chunkSize);
    if (!rewrite.Open()) {
        return;
    }
    if (CopyKeptLines(in, rewrite.Out(), cutoff, chunkSize)) {
        rewrite.Commit(&in);
    }
}

} // namespace glimmerfen
