// The lines of the log as every reader of it splits them, and the time in their field 0, whatever
// pieces the bytes come in.
#include "monitor/log/LogLines.h"

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace glimmerfen {
namespace {

// Each line as the splitter hands it on, whole or in parts.
struct Collector {
    std::vector<std::string> lines;
    std::string open;
    void Whole(const char* line, std::size_t size, std::size_t withEnd) {
        EXPECT_EQ(line[withEnd - 1], '\n');
        lines.emplace_back(line, size);
    }
    void Part(const char* data, std::size_t size) { open.append(data, size); }
    void End() {
        lines.push_back(open);
        open.clear();
    }
};

std::vector<std::string> Split(const std::string& bytes, std::size_t piece, LineSplitter splitter = {}) {
    Collector collector;
    for (std::size_t at = 0; at < bytes.size(); at += piece) {
        splitter.Consume(bytes.data() + at, std::min(piece, bytes.size() - at), collector);
    }
    splitter.Finish(collector);
    return collector.lines;
}

TEST(LineSplitter, SameLinesWhateverThePieces) {
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a\r\nb\nc", {"a", "b", "c"}},
        {"a\r\n\r\n\n", {"a", "", ""}},
        {"lone\rCR\r\n", {"lone\rCR"}},   // a CR not before an LF is a character
        {"end in CR\r", {"end in CR\r"}}, // so is a CR at the very end
        {"\r", {"\r"}},
        {"\r\r\n", {"\r"}}, // only the CR right before the LF is the line end
        {"x\n\r", {"x", "\r"}},
        {std::string(5000, 'y') + "\r\nz", {std::string(5000, 'y'), "z"}},
    };
    for (const Case& c : cases) {
        for (const std::size_t piece :
             {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, std::size_t{1} << 20}) {
            EXPECT_EQ(Split(c.bytes, piece), c.lines) << "piece " << piece << ": " << c.bytes.substr(0, 20);
        }
    }
}

// One reading of field 0 for the trimming and the viewer; they differ only for a line without a TAB.
TEST(LineTime, ReadLikeAtoiInOnePieceOrMany) {
    struct Case {
        std::string line;
        std::int32_t trimming; // LineWithoutTab::EmptyField0
        std::int32_t viewer;   // LineWithoutTab::WholeLineIsField0
    };
    const Case cases[] = {
        {"1709996400\tPC1", 1709996400, 1709996400},
        {"\r\v\f7\t", 7, 7},
        {"\t12", 0, 0},
        {"", 0, 0},
        {"12", 0, 12},
        {"12 PC1 alice", 0, 12},
        {"99999999999999999999\t", INT32_MAX, INT32_MAX},
        {"-99999999999999999999\t", INT32_MIN, INT32_MIN},
        {"000000000000000000000000000000000000000000001\t", 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ReadLineTime(c.line, LineWithoutTab::EmptyField0), c.trimming) << c.line;
        EXPECT_EQ(ReadLineTime(c.line, LineWithoutTab::WholeLineIsField0), c.viewer) << c.line;
        LineTimeReader pieces;
        for (const char ch : c.line) {
            pieces.Feed(&ch, 1);
        }
        EXPECT_EQ(pieces.Value(LineWithoutTab::EmptyField0), c.trimming) << c.line << " byte by byte";
    }
}

} // namespace
} // namespace glimmerfen
