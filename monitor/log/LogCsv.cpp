#include "monitor/log/LogCsv.h"

#include <optional>

#include "monitor/log/LogFile.h"
#include "platform/codepage.h"
#include "platform/exclusive_file.h"

namespace glimmerfen {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kFieldsPerRow = 9;

// Every double-byte code page of the system has its trail bytes at 0x40 and above: a lower byte after
// a lead byte means the character was cut off.
bool CanTrail(unsigned char byte) {
    return byte >= 0x40;
}

bool NeedsQuotes(std::string_view field) {
    return field.find_first_of(",\"\r\n") != std::string_view::npos;
}

bool LooksLikeFormula(std::string_view field) {
    return !field.empty() && (field[0] == '=' || field[0] == '+' || field[0] == '-' || field[0] == '@');
}

// A rewrite of path through a name beside it that no file has yet, opened; false when none could be made.
bool OpenRewriteBeside(const std::string& path, std::size_t bufferSize, std::optional<FileRewrite>& rewrite) {
    for (int n = 0; n < 10; ++n) {
        std::string candidate = path;
        if (n != 0) {
            candidate += '.';
            candidate += std::to_string(n);
        }
        candidate += ".tmp";
        platform::ExclusiveFile probe;
        if (probe.Open(candidate, platform::FileOpenMode::ReadExisting)) {
            continue;
        }
        rewrite.emplace(path, candidate, bufferSize);
        if (rewrite->Open()) {
            return true;
        }
        rewrite.reset();
    }
    return false;
}

} // namespace

void AppendCsvField(std::string& out, std::string_view field) {
    const bool quoted = NeedsQuotes(field);
    if (quoted) {
        out += '"';
    }
    if (LooksLikeFormula(field)) {
        out += '\'';
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (platform::IsLeadByte(static_cast<unsigned char>(c))) {
            if (i + 1 < field.size() && CanTrail(static_cast<unsigned char>(field[i + 1]))) {
                out += c;
                out += field[++i];
            } else {
                out += '?';
            }
            continue;
        }
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    if (quoted) {
        out += '"';
    }
}

void AppendCsvRecord(std::string& out, std::span<const std::string_view> fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        AppendCsvField(out, fields[i]);
    }
    out += "\r\n";
}

bool WriteLogCsv(const std::string& path, std::span<const std::string> headers, const LoadedLog& log,
                 std::span<const std::uint32_t> rows, const LoadedLog::Progress& progress, std::size_t chunkBytes) {
    if (chunkBytes == 0) {
        chunkBytes = 1;
    }
    std::optional<FileRewrite> rewrite;
    if (!OpenRewriteBeside(path, chunkBytes + 4096, rewrite)) {
        return false;
    }
    BufferedWriter& out = rewrite->Out();
    // Records end in CR LF, which no character continues: each piece converts on its own.
    std::string piece;
    piece.reserve(chunkBytes + 4096);
    auto flush = [&] {
        out.Put(platform::AnsiToUtf8(piece));
        piece.clear();
    };

    out.Put(kByteOrderMark, sizeof kByteOrderMark - 1);
    std::vector<std::string_view> fields(headers.begin(), headers.end());
    AppendCsvRecord(piece, fields);
    fields.resize(kFieldsPerRow);
    std::size_t done = 0;
    for (const std::uint32_t row : rows) {
        for (std::size_t f = 0; f < kFieldsPerRow; ++f) {
            fields[f] = log.Field(row, static_cast<int>(f) + 1);
        }
        AppendCsvRecord(piece, fields);
        ++done;
        if (piece.size() >= chunkBytes) {
            flush();
            if (progress) {
                progress(done, rows.size());
            }
        }
    }
    flush();
    if (!rewrite->Commit()) {
        return false;
    }
    if (progress) {
        progress(done, rows.size());
    }
    return true;
}

} // namespace glimmerfen
