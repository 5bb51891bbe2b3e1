// Private profile files without the Windows profile functions, following their rules as Wine's and
// Windows' implementations show them:
// - lines end in CR LF, LF or a lone CR; blanks (and the end-of-file mark 0x1A) around section names,
//   keys and values do not count; a line "[name]" starts a section (text after the last ']' is ignored),
//   any other line is a key, "key=value" or a bare key without a value; lines before the first section
//   belong to the section with the empty name;
// - names are compared without regard to the case of ASCII letters, a double-byte character only with
//   itself; the first matching section and the first matching key win;
// - a value enclosed in one pair of " or ' loses them;
// - writing keeps every other line as it was, replaces an existing key's line in place, puts a new key
//   after the last non-blank line of its section and a new section at the end; the file is written with
//   CR LF line ends, to a temporary file that then replaces it, so a crash leaves the old or the new file.
#include "platform/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/ansitext.h"
#include "platform/codepage.h"

namespace glimmerfen::platform {
namespace {

// Reads and writes of every profile file go one at a time; the settings are saved from one thread, but
// the windows keep their layouts in the same file.
std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

unsigned char AsciiUpper(unsigned char c) {
    return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c;
}

// Only the ASCII letters fold, as in Wine's profile functions ("É" and "é" are different names).
bool NamesEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (IsLeadByte(ca) && i + 1 < a.size()) {
            // Both bytes of a double-byte character must match exactly: its trail byte may look like
            // an ASCII letter.
            if (ca != cb || a[i + 1] != b[i + 1]) {
                return false;
            }
            ++i;
        } else if (ca != cb && AsciiUpper(ca) != AsciiUpper(cb)) {
            return false;
        }
    }
    return true;
}

struct ParsedLine {
    enum class Kind { Blank, Section, Key } kind = Kind::Blank;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // trimmed value of a key line
    bool hasValue = false;  // false for a bare key without '='
};

ParsedLine Parse(std::string_view line) {
    ParsedLine parsed;
    const std::string_view text = Trim(line);
    if (text.empty()) {
        return parsed;
    }
    if (text.front() == '[') {
        const std::size_t close = text.rfind(']');
        if (close != std::string_view::npos) {
            parsed.kind = ParsedLine::Kind::Section;
            parsed.name = Trim(text.substr(1, close - 1));
            return parsed;
        }
    }
    parsed.kind = ParsedLine::Kind::Key;
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        parsed.name = text;
    } else {
        parsed.name = Trim(text.substr(0, equals));
        parsed.value = Trim(text.substr(equals + 1));
        parsed.hasValue = true;
    }
    return parsed;
}

// The file as lines without their line ends. A UTF-8 byte order mark stays part of the first line's
// text but is not part of its meaning.
struct ProfileFile {
    bool exists = false;
    std::string original;
    std::vector<std::string> lines;

    ParsedLine LineAt(std::size_t index) const {
        std::string_view text = lines[index];
        if (index == 0 && text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        return Parse(text);
    }
};

std::optional<ProfileFile> LoadFile(const std::string& path) {
    ProfileFile file;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0) {
            return std::nullopt; // there, but not readable
        }
        return file;
    }
    file.exists = true;
    file.original.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    const std::string& data = file.original;
    std::size_t start = 0;
    while (start < data.size()) {
        std::size_t end = data.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            file.lines.emplace_back(data, start);
            break;
        }
        file.lines.emplace_back(data, start, end - start);
        if (data[end] == '\r' && end + 1 < data.size() && data[end + 1] == '\n') {
            ++end;
        }
        start = end + 1;
    }
    return file;
}

// Lines [begin, end) of one section; begin is the line after its header (0 for the unnamed section
// before the first header), header is the header's index or npos.
struct SectionRange {
    std::size_t header = std::string::npos;
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::size_t NextHeader(const ProfileFile& file, std::size_t from) {
    for (std::size_t i = from; i < file.lines.size(); ++i) {
        if (file.LineAt(i).kind == ParsedLine::Kind::Section) {
            return i;
        }
    }
    return file.lines.size();
}

std::optional<SectionRange> FindSection(const ProfileFile& file, std::string_view name) {
    if (name.empty()) {
        return SectionRange{std::string::npos, 0, NextHeader(file, 0)};
    }
    for (std::size_t i = 0; i < file.lines.size(); ++i) {
        const ParsedLine line = file.LineAt(i);
        if (line.kind == ParsedLine::Kind::Section && NamesEqual(line.name, name)) {
            return SectionRange{i, i + 1, NextHeader(file, i + 1)};
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> FindKey(const ProfileFile& file, const SectionRange& section, std::string_view key) {
    for (std::size_t i = section.begin; i < section.end; ++i) {
        const ParsedLine line = file.LineAt(i);
        if (line.kind == ParsedLine::Kind::Key && NamesEqual(line.name, key)) {
            return i;
        }
    }
    return std::nullopt;
}

// Removes one pair of enclosing quotes, " or '.
std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The value of the key as the profile functions hand it out before the buffer cut, or nullopt when the
// default applies.
std::optional<std::string> LookUp(const std::string& path, const char* section, const char* key) {
    if (section == nullptr || key == nullptr) {
        return std::nullopt;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    const std::optional<ProfileFile> file = LoadFile(path);
    if (!file || !file->exists) {
        return std::nullopt;
    }
    const std::optional<SectionRange> range = FindSection(*file, Trim(section));
    if (!range) {
        return std::nullopt;
    }
    const std::optional<std::size_t> index = FindKey(*file, *range, Trim(key));
    if (!index) {
        return std::nullopt;
    }
    const ParsedLine line = file->LineAt(*index);
    if (!line.hasValue) {
        return std::nullopt;
    }
    return std::string(Unquote(line.value));
}

// A default loses its trailing blanks and, like a value, its enclosing quotes.
std::string DefaultText(const char* defaultValue) {
    if (defaultValue == nullptr) {
        return {};
    }
    std::string_view text = defaultValue;
    while (!text.empty() && IsBlank(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return std::string(Unquote(text));
}

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'Z') {
        return c - 'A' + 10;
    }
    return INT_MAX;
}

// The integer reading of the Windows profile functions: optional sign, then decimal digits, or
// hexadecimal, octal or binary digits after "0x", "0o" or "0b"; it stops at the first other character
// and keeps the low 32 bits.
int ParseProfileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= ' ') {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i + 1 < text.size() && text[i] == '0') {
        const char prefix = text[i + 1];
        base = prefix == 'x' ? 16 : prefix == 'o' ? 8 : prefix == 'b' ? 2 : 10;
        if (base != 10) {
            i += 2;
        }
    }
    std::uint32_t value = 0;
    for (; i < text.size(); ++i) {
        const int digit = DigitValue(text[i]);
        if (digit >= base) {
            break;
        }
        value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(digit);
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int>(value);
}

std::string Serialize(const std::vector<std::string>& lines) {
    std::string data;
    for (const std::string& line : lines) {
        data += line;
        data += "\r\n";
    }
    return data;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t written = ::write(fd, data.data() + done, data.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    return true;
}

// Replaces the file by a temporary twin in the same directory, so that it is never half written.
bool ReplaceFile(const std::string& path, const std::string& data, mode_t mode) {
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

// A line break inside a value would make the rest of it a line of its own, a key or even a section.
std::string OneLine(std::string_view value) {
    std::string line(value);
    for (char& c : line) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return line;
}

} // namespace

int ProfileGetInt(const std::string& path, const char* section, const char* key, int defaultValue) {
    const std::optional<std::string> value = LookUp(path, section, key);
    if (!value || value->empty()) {
        return defaultValue;
    }
    // The Windows functions read the text through a buffer of 30 characters before converting it.
    return ParseProfileInt(std::string_view(*value).substr(0, 29));
}

std::string ProfileGetString(const std::string& path, const char* section, const char* key, const char* defaultValue,
                             std::size_t bufferSize) {
    if (bufferSize == 0) {
        return {};
    }
    std::optional<std::string> value = LookUp(path, section, key);
    std::string text = value ? std::move(*value) : DefaultText(defaultValue);
    return TruncateAnsi(std::move(text), bufferSize - 1);
}

bool ProfileWriteString(const std::string& path, const char* section, const char* key, const char* value) {
    if (section == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());

    // Work on the file a link points to, so that the link stays a link.
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        char* resolved = ::realpath(path.c_str(), nullptr);
        if (resolved == nullptr) {
            return false;
        }
        target = resolved;
        std::free(resolved);
    }
    mode_t mode = 0644;
    if (::stat(target.c_str(), &info) == 0) {
        // Like a file with the read-only attribute on Windows, a file without write permission is not
        // changed (replacing it through the directory would otherwise succeed).
        if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0) {
            return false;
        }
        mode = info.st_mode & 07777;
    }

    std::optional<ProfileFile> file = LoadFile(target);
    if (!file) {
        return false;
    }
    std::vector<std::string>& lines = file->lines;
    const std::string_view sectionName = Trim(section);
    const std::optional<SectionRange> range = FindSection(*file, sectionName);

    if (key == nullptr) {
        if (!range) {
            return true;
        }
        const std::size_t first = range->header == std::string::npos ? range->begin : range->header;
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(first),
                    lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    } else if (value == nullptr) {
        if (!range) {
            return true;
        }
        const std::optional<std::size_t> index = FindKey(*file, *range, Trim(key));
        if (!index) {
            return true;
        }
        lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*index));
    } else {
        std::string_view text = value;
        while (!text.empty() && IsBlank(static_cast<unsigned char>(text.front()))) {
            text.remove_prefix(1);
        }
        const std::string keyName(Trim(key));
        const std::string valueText = OneLine(text);
        if (!range) {
            lines.push_back("[" + std::string(sectionName) + "]");
            lines.push_back(keyName + "=" + valueText);
        } else if (const std::optional<std::size_t> index = FindKey(*file, *range, keyName)) {
            // The key keeps its spelling from the file.
            lines[*index] = std::string(file->LineAt(*index).name) + "=" + valueText;
        } else {
            std::size_t at = range->begin;
            for (std::size_t i = range->begin; i < range->end; ++i) {
                if (file->LineAt(i).kind != ParsedLine::Kind::Blank) {
                    at = i + 1;
                }
            }
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), keyName + "=" + valueText);
        }
    }

    const std::string data = Serialize(lines);
    if (file->exists && data == file->original) {
        return true;
    }
    if (!file->exists && lines.empty()) {
        return true;
    }
    return ReplaceFile(target, data, mode);
}

} // namespace glimmerfen::platform

namespace glimmerfen::platform {

std::uint64_t ProfileFileStamp(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return 0;
    }
    const auto nanoseconds = static_cast<std::uint64_t>(info.st_mtim.tv_sec) * 1000000000u +
                             static_cast<std::uint64_t>(info.st_mtim.tv_nsec);
    return (nanoseconds ^ (static_cast<std::uint64_t>(info.st_size) << 40)) | 1u;
}

} // namespace glimmerfen::platform
