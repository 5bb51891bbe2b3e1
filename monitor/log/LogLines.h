// Reading the lines of the access log: where each line ends, and the time in its field 0. Every reader
// of "log.txt" (the start-up trimming, the log viewer's load and its rewrite) splits and reads lines
// here, so that all of them agree on what a line and its time are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace glimmerfen {

// Splits a stream of bytes into lines at LF. A CR right before the LF belongs to the line end; a CR
// anywhere else (a lone CR at the very end of the stream included) is a character of the line. The
// stream may come in pieces of any size, and lines may cross them. For each line the handler gets
// either
//   Whole(begin, size, withEnd): the line lies wholly in the piece just consumed; withEnd counts its
//     line end too (size + 1 for LF, size + 2 for CR LF), or
//   Part(data, size) any number of times (size > 0), then End(): the line crossed pieces, or it is the
//     last line of the stream and has no line end (its End comes from Finish). An End without any Part
//     before it is an empty line. Part may hand over a CR that is not part of the consumed piece.
class LineSplitter {
public:
    LineSplitter() = default;
    // A splitter whose first bytes continue a line that began before them (Part and End, never Whole).
    // crPending: that line's bytes so far ended in a CR that was held back, not handed on: it becomes
    // part of the line end if an LF comes next, and is handed on as a Part otherwise.
    static LineSplitter InsideLine(bool crPending) {
        LineSplitter splitter;
        splitter.open_ = true;
        splitter.pendingCr_ = crPending;
        return splitter;
    }

    template <typename Handler>
    void Consume(const char* data, std::size_t size, Handler& handler) {
        std::size_t pos = 0;
        if (pendingCr_ && size > 0) {
            pendingCr_ = false;
            if (data[0] == '\n') {
                open_ = false;
                handler.End();
                pos = 1;
            } else {
                open_ = true;
                handler.Part("\r", 1);
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
                if (end > pos) {
                    open_ = true;
                    handler.Part(data + pos, end - pos);
                }
                return;
            }
            const std::size_t lf = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t end = lf;
            if (end > pos && data[end - 1] == '\r') {
                --end;
            }
            if (open_) {
                if (end > pos) {
                    handler.Part(data + pos, end - pos);
                }
                open_ = false;
                handler.End();
            } else {
                handler.Whole(data + pos, end - pos, lf + 1 - pos);
            }
            pos = lf + 1;
        }
    }

    // At the end of the stream: a last line without a line end still counts.
    template <typename Handler>
    void Finish(Handler& handler) {
        if (pendingCr_) {
            pendingCr_ = false;
            open_ = true;
            handler.Part("\r", 1);
        }
        if (open_) {
            open_ = false;
            handler.End();
        }
    }

private:
    bool open_ = false;      // a line has begun in an earlier piece and not ended yet
    bool pendingCr_ = false; // the last piece ended in a CR whose meaning the next byte decides
};

// How a line without any TAB reads. The start-up trimming takes the text before the first TAB, which
// such a line does not have (its field 0 is empty: time 0); the log viewer splits the line at its TABs,
// so the whole line is its field 0.
enum class LineWithoutTab { EmptyField0, WholeLineIsField0 };

// The time in field 0 of a line, read like atoi: leading blanks, an optional sign, decimal digits up
// to the first other byte; 0 without digits. A number beyond the 32-bit range saturates at its limit
// (as the Windows C runtime's atoi does). The line may be fed in pieces (Feed); bytes after field 0
// are only searched for the TAB that ends it.
class LineTimeReader {
public:
    void Feed(const char* data, std::size_t size) {
        std::size_t i = 0;
        for (; i < size && phase_ != Phase::SeekTab && phase_ != Phase::Done; ++i) {
            Step(data[i]);
        }
        if (phase_ == Phase::SeekTab && i < size && std::memchr(data + i, '\t', size - i) != nullptr) {
            phase_ = Phase::Done;
        }
    }
    // True once the TAB after field 0 has been seen: nothing later changes the time.
    bool Known() const { return phase_ == Phase::Done; }
    std::int32_t Value(LineWithoutTab rule) const {
        if (phase_ != Phase::Done && rule == LineWithoutTab::EmptyField0) {
            return 0;
        }
        const std::int64_t value = negative_ ? -magnitude_ : magnitude_;
        constexpr std::int64_t kMax = 0x7FFFFFFF;
        return static_cast<std::int32_t>(value > kMax ? kMax : value);
    }

private:
    enum class Phase { Blank, Digits, SeekTab, Done };
    // |INT32_MIN|: enough to saturate either way.
    static constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 31;

    void Step(char c) {
        if (phase_ == Phase::Blank) {
            // isspace in the C locale; a TAB ends the field instead, and a line holds no LF.
            if (c == ' ' || c == '\r' || c == '\v' || c == '\f') {
                return;
            }
            phase_ = Phase::Digits;
            if (c == '+' || c == '-') {
                negative_ = c == '-';
                return;
            }
        }
        const unsigned digit = static_cast<unsigned char>(c) - static_cast<unsigned>('0');
        if (digit <= 9) {
            magnitude_ = magnitude_ * 10 + digit;
            if (magnitude_ > kMagnitudeLimit) {
                magnitude_ = kMagnitudeLimit;
            }
            return;
        }
        phase_ = c == '\t' ? Phase::Done : Phase::SeekTab;
    }

    Phase phase_ = Phase::Blank;
    bool negative_ = false;
    std::int64_t magnitude_ = 0;
};

// The time of a whole line (without its line end).
inline std::int32_t ReadLineTime(std::string_view line, LineWithoutTab rule) {
    LineTimeReader reader;
    reader.Feed(line.data(), line.size());
    return reader.Value(rule);
}

} // namespace glimmerfen
