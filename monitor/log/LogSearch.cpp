#include "monitor/log/LogSearch.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <limits>

#include "monitor/log/LoadedLog.h"
#include "platform/ansitext.h"
#include "platform/codepage.h"

namespace glimmerfen {
namespace {

// Computer, user, operation, path, message, in the order they lie in a line.
constexpr int kSearchedFields[] = {1, 2, 7, 8, 9};

// Anchor positions scanned between two questions to the caller whether to give up.
constexpr std::size_t kScanChunk = std::size_t{1} << 20;

// Bytes counted to guess how often each byte occurs: this many slices of this size, spread evenly.
constexpr std::size_t kSampleSlices = 16;
constexpr std::size_t kSampleSlice = 16384;

using Histogram = std::array<std::uint64_t, 256>;

Histogram SampleBytes(std::string_view bytes) {
    Histogram counts{};
    const auto count = [&](std::size_t from, std::size_t size) {
        for (std::size_t i = from; i < from + size; ++i) {
            ++counts[static_cast<unsigned char>(bytes[i])];
        }
    };
    if (bytes.size() <= kSampleSlices * kSampleSlice) {
        count(0, bytes.size());
    } else {
        const std::size_t step = (bytes.size() - kSampleSlice) / (kSampleSlices - 1);
        for (std::size_t s = 0; s < kSampleSlices; ++s) {
            count(s * step, kSampleSlice);
        }
    }
    return counts;
}

// Whether positions of a field start characters. Only a walk from the field's start tells a lead byte
// from a trail byte; the walk is kept, so that positions asked in ascending order within one field cost
// one walk over it in all, however many of them there are.
class BoundaryWalk {
public:
    explicit BoundaryWalk(const bool* lead) : lead_(lead) {}

    bool OnBoundary(const char* fieldBegin, const char* at) {
        if (fieldBegin != field_ || at < walk_) {
            field_ = fieldBegin;
            walk_ = fieldBegin;
        }
        while (walk_ < at) {
            walk_ += lead_[static_cast<unsigned char>(*walk_)] ? 2 : 1;
        }
        return walk_ == at;
    }

private:
    const bool* lead_;
    const char* field_ = nullptr;
    const char* walk_ = nullptr; // a character start of field_
};

// Finds where one word matches, byte for byte against its sets. Candidates come from memchr on one byte
// of the word (the anchor), the one whose accepted bytes are rarest in a sample of the log, and are
// then compared whole. The scanner remembers where each accepted anchor byte occurs next, so that a
// scan that moves forward does not search the same bytes twice for the byte that did not come first.
class WordScanner {
public:
    WordScanner(const std::vector<std::array<bool, 256>>& accepts, const Histogram& sample) : accepts_(&accepts) {
        std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
        bool bestFits = false;
        for (std::size_t i = 0; i < accepts.size(); ++i) {
            unsigned char bytes[2] = {};
            int n = 0;
            std::uint64_t frequency = 0;
            for (unsigned b = 0; b < 256; ++b) {
                if (accepts[i][b]) {
                    if (n < 2) {
                        bytes[n] = static_cast<unsigned char>(b);
                    }
                    ++n;
                    frequency += sample[b];
                }
            }
            const bool fits = n <= 2;
            if ((fits && !bestFits) || (fits == bestFits && frequency < best)) {
                best = frequency;
                bestFits = fits;
                anchor_ = i;
                count_ = fits ? n : 0;
                bytes_[0] = bytes[0];
                bytes_[1] = bytes[1];
            }
        }
        frequency_ = best;
    }

    std::size_t Size() const { return accepts_->size(); }
    std::size_t Anchor() const { return anchor_; }
    // How often the anchor's bytes occurred in the sample: the smaller, the fewer candidates.
    std::uint64_t Frequency() const { return frequency_; }

    // The first position in [from, to) that holds an accepted anchor byte, or nullptr.
    const char* NextAnchor(const char* from, const char* to) {
        if (count_ == 0) {
            for (const char* p = from; p < to; ++p) {
                if ((*accepts_)[anchor_][static_cast<unsigned char>(*p)]) {
                    return p;
                }
            }
            return nullptr;
        }
        const char* first = nullptr;
        for (int k = 0; k < count_; ++k) {
            Next& next = next_[k];
            const bool known =
                next.from != nullptr && next.from <= from && (next.at != nullptr ? next.at >= from : next.to >= to);
            if (!known) {
                next.at = static_cast<const char*>(std::memchr(from, bytes_[k], static_cast<std::size_t>(to - from)));
                next.from = from;
                next.to = to;
            }
            if (next.at != nullptr && next.at < to && (first == nullptr || next.at < first)) {
                first = next.at;
            }
        }
        return first;
    }

    // True when the word's bytes all match from at on; the caller makes sure Size() bytes are there.
    bool MatchesAt(const char* at) const {
        const std::vector<std::array<bool, 256>>& accepts = *accepts_;
        for (std::size_t i = 0; i < accepts.size(); ++i) {
            if (!accepts[i][static_cast<unsigned char>(at[i])]) {
                return false;
            }
        }
        return true;
    }

private:
    // Where an anchor byte occurs first in [from, to); at is nullptr when it does not, and may lie
    // beyond the range a later call asks about.
    struct Next {
        const char* from = nullptr;
        const char* to = nullptr;
        const char* at = nullptr;
    };

    const std::vector<std::array<bool, 256>>* accepts_;
    std::size_t anchor_ = 0;
    int count_ = 0; // 1 or 2 anchor bytes searched by memchr; 0: the anchor's set is walked byte by byte
    unsigned char bytes_[2] = {};
    Next next_[2];
    std::uint64_t frequency_ = 0;
};

// The row that holds a position of the loaded bytes, for positions that mostly move forward a little.
class RowCursor {
public:
    explicit RowCursor(const LoadedLog& log) : log_(log), rows_(log.RowCount()) {}

    const char* Start(std::size_t row) const {
        return row < rows_ ? log_.Field(row, 0).data() : log_.Bytes().data() + log_.Bytes().size();
    }

    std::size_t RowAt(const char* at) {
        for (int step = 0; step < 4; ++step) {
            if (row_ + 1 >= rows_ || Start(row_ + 1) > at) {
                return row_;
            }
            ++row_;
        }
        // Far ahead: the last row that starts at or before the position.
        std::size_t low = row_ + 1;
        std::size_t high = rows_;
        while (low < high) {
            const std::size_t mid = low + (high - low) / 2;
            if (Start(mid) <= at) {
                low = mid + 1;
            } else {
                high = mid;
            }
        }
        row_ = low - 1;
        return row_;
    }

private:
    const LoadedLog& log_;
    std::size_t rows_;
    std::size_t row_ = 0;
};

} // namespace

LogQuery::LogQuery(std::string_view typed) {
    for (unsigned b = 0; b < 256; ++b) {
        lead_[b] = platform::IsLeadByte(static_cast<unsigned char>(b));
        doubleByte_ = doubleByte_ || lead_[b];
    }
    // The ideographic space (U+3000) as the code page writes it: 0x81 0x40 in 932, 0xA1 0xA1 in 936 and
    // 949, 0xA1 0x40 in 950; a single-byte code page has none (its '?' for it separates nothing).
    const std::string ideographicSpace = platform::WideToAnsi(u"\u3000");
    const bool hasIdeographicSpace =
        ideographicSpace.size() == 2 && lead_[static_cast<unsigned char>(ideographicSpace[0])];
    // The upper case of every single-byte character, from the same upper-casing the lists use.
    std::array<unsigned char, 256> upper{};
    for (unsigned b = 0; b < 256; ++b) {
        upper[b] = static_cast<unsigned char>(AnsiUpper(std::string(1, static_cast<char>(b)))[0]);
    }

    std::string word;
    const auto finishWord = [&] {
        if (word.empty()) {
            return;
        }
        Word prepared;
        prepared.accepts.resize(word.size());
        for (std::size_t i = 0; i < word.size();) {
            const auto c = static_cast<unsigned char>(word[i]);
            if (lead_[c]) {
                const std::string folded = AnsiUpper(word.substr(i, 2));
                prepared.accepts[i][c] = true;
                for (unsigned t = 0; t < 256; ++t) {
                    const char pair[2] = {static_cast<char>(c), static_cast<char>(t)};
                    prepared.accepts[i + 1][t] = AnsiUpper(std::string_view(pair, 2)) == folded;
                }
                i += 2;
            } else {
                for (unsigned b = 0; b < 256; ++b) {
                    prepared.accepts[i][b] = !lead_[b] && upper[b] == upper[c];
                }
                ++i;
            }
        }
        words_.push_back(std::move(prepared));
        word.clear();
    };
    for (std::size_t i = 0; i < typed.size();) {
        const auto c = static_cast<unsigned char>(typed[i]);
        if (lead_[c]) {
            if (i + 1 < typed.size()) {
                if (hasIdeographicSpace && typed.substr(i, 2) == ideographicSpace) {
                    finishWord();
                } else {
                    word.append(typed.substr(i, 2));
                }
            }
            i += 2;
            continue;
        }
        if (c == ' ' || c == '\t') {
            finishWord();
        } else {
            word.push_back(static_cast<char>(c));
        }
        ++i;
    }
    finishWord();
}

std::optional<std::vector<std::uint32_t>> SearchRows(const LoadedLog& log, const LogQuery& query,
                                                     const std::function<bool()>& cancelled) {
    std::vector<std::uint32_t> found;
    const std::string_view bytes = log.Bytes();
    if (query.Empty() || log.RowCount() == 0) {
        return found;
    }
    const Histogram sample = SampleBytes(bytes);
    std::vector<WordScanner> scanners;
    scanners.reserve(query.words_.size());
    for (const LogQuery::Word& word : query.words_) {
        scanners.emplace_back(word.accepts, sample);
    }
    // The word with the rarest anchor drives the scan over all the bytes; the others are looked for
    // only in the rows where it matched.
    const auto driverAt = std::min_element(scanners.begin(), scanners.end(),
                                           [](const auto& a, const auto& b) { return a.Frequency() < b.Frequency(); });
    std::iter_swap(scanners.begin(), driverAt);
    WordScanner& driver = scanners.front();

    RowCursor rows(log);
    BoundaryWalk boundaries(query.lead_.data());
    const bool checkBoundary = query.doubleByte_;
    // Where a byte match [at, at + size) stands in its row: matched when a searched field holds it
    // wholly and it starts on a character boundary; otherwise resume tells where the next match worth
    // trying could start (the next byte, the next searched field that is long enough, or the next row).
    struct Place {
        bool matched;
        const char* resume;
    };
    const auto place = [&](std::size_t row, const char* at, std::size_t size) {
        for (int k : kSearchedFields) {
            const std::string_view field = log.Field(row, k);
            if (field.data() == nullptr) {
                break; // the line has no more fields
            }
            if (field.size() < size || at + size > field.data() + field.size()) {
                continue;
            }
            if (at < field.data()) {
                return Place{false, field.data()};
            }
            return !checkBoundary || boundaries.OnBoundary(field.data(), at) ? Place{true, nullptr}
                                                                             : Place{false, at + 1};
        }
        return Place{false, rows.Start(row + 1)};
    };
    const auto inRow = [&](WordScanner& scanner, std::size_t row) {
        const std::size_t size = scanner.Size();
        for (int k : kSearchedFields) {
            const std::string_view field = log.Field(row, k);
            if (field.size() < size) {
                continue;
            }
            const char* to = field.data() + field.size() - size + 1 + scanner.Anchor();
            for (const char* from = field.data() + scanner.Anchor();;) {
                const char* hit = scanner.NextAnchor(from, to);
                if (hit == nullptr) {
                    break;
                }
                const char* at = hit - scanner.Anchor();
                if (scanner.MatchesAt(at) && (!checkBoundary || boundaries.OnBoundary(field.data(), at))) {
                    return true;
                }
                from = hit + 1;
            }
        }
        return false;
    };

    const std::size_t size = driver.Size();
    if (bytes.size() < size) {
        return found;
    }
    const char* const begin = bytes.data();
    // Anchor positions whose word would still fit in the bytes.
    const char* from = begin + driver.Anchor();
    const char* const end = begin + bytes.size() - size + 1 + driver.Anchor();
    while (from < end) {
        if (cancelled && cancelled()) {
            return std::nullopt;
        }
        const char* const chunkEnd = from + std::min<std::size_t>(kScanChunk, static_cast<std::size_t>(end - from));
        while (from < chunkEnd) {
            const char* hit = driver.NextAnchor(from, chunkEnd);
            if (hit == nullptr) {
                from = chunkEnd;
                break;
            }
            from = hit + 1;
            const char* at = hit - driver.Anchor();
            if (!driver.MatchesAt(at)) {
                continue;
            }
            const std::size_t row = rows.RowAt(at);
            const Place where = log.IsMarked(row) ? Place{false, rows.Start(row + 1)} : place(row, at, size);
            const char* resume = where.resume;
            if (where.matched) {
                bool all = true;
                for (std::size_t w = 1; all && w < scanners.size(); ++w) {
                    all = inRow(scanners[w], row);
                }
                if (all) {
                    found.push_back(static_cast<std::uint32_t>(row));
                }
                resume = rows.Start(row + 1); // this row is decided
            }
            from = end - resume <= static_cast<std::ptrdiff_t>(driver.Anchor())
                       ? end
                       : std::max(from, resume + driver.Anchor());
        }
    }
    return found;
}

} // namespace glimmerfen
