// Operations on narrow ANSI code page texts that respect double-byte characters.
#include "platform/ansitext.h"

#include <algorithm>

#include "platform/codepage.h"

namespace glimmerfen {
namespace {

constexpr unsigned kJapaneseCodePage = 932;

// Maps every single-byte character with mapByte and every double-byte character with mapPair, which
// changes both bytes or none (a trail byte may look like an ASCII letter). A lead byte that ends the
// text is left alone.
template <class MapByte, class MapPair>
std::string MapCharacters(std::string_view text, MapByte mapByte, MapPair mapPair) {
    std::string out(text);
    std::size_t i = 0;
    while (i < out.size()) {
        const auto byte = static_cast<unsigned char>(out[i]);
        if (platform::IsLeadByte(byte)) {
            if (i + 1 < out.size()) {
                mapPair(out[i], out[i + 1]);
            }
            i += 2;
            continue;
        }
        out[i] = static_cast<char>(mapByte(byte));
        ++i;
    }
    return out;
}

// Code page 932's full-width Latin letters have case: the system's multibyte upper-casing folds
// ａ..ｚ (0x82 0x81..0x9A) to Ａ..Ｚ (0x82 0x60..0x79) as it folds the ASCII letters, so a computer name
// typed in full-width letters matches whatever their case. Both platform layers share this rule;
// every other double-byte character is left as it is.
void UpperFullWidthLatin(char& lead, char& trail) {
    const auto first = static_cast<unsigned char>(lead);
    const auto second = static_cast<unsigned char>(trail);
    if (first == 0x82 && second >= 0x81 && second <= 0x9A && platform::AnsiCodePage() == kJapaneseCodePage) {
        trail = static_cast<char>(second - 0x21);
    }
}

void KeepPair(char&, char&) {}

} // namespace

std::string AnsiUpper(std::string_view text) {
    return MapCharacters(text, platform::UpperSingleByte, UpperFullWidthLatin);
}

std::string AnsiLower(std::string_view text) {
    return MapCharacters(text, platform::LowerSingleByte, KeepPair);
}

std::size_t AnsiFileNameStart(std::string_view path) {
    std::size_t nameStart = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const auto byte = static_cast<unsigned char>(path[i]);
        if (platform::IsLeadByte(byte)) {
            ++i; // its trail byte is part of the character, whatever it looks like
        } else if (byte == '\\' || byte == '/') {
            nameStart = i + 1;
        }
    }
    return nameStart;
}

bool AnsiEqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && AnsiUpper(a) == AnsiUpper(b);
}

std::string TruncateAnsi(std::string text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) {
        return text;
    }
    // Only a walk from the start tells lead bytes from trail bytes.
    std::size_t end = 0;
    while (end < text.size()) {
        const auto byte = static_cast<unsigned char>(text[end]);
        const std::size_t length = platform::IsLeadByte(byte) && end + 1 < text.size() ? 2 : 1;
        if (end + length > maxBytes) {
            break;
        }
        end += length;
    }
    text.resize(end);
    return text;
}

std::string FieldFromWide(std::u16string_view text) {
    std::string field;
    AssignFieldFromWide(field, text);
    return field;
}

void AssignFieldFromWide(std::string& out, std::u16string_view text) {
    // The server's fields are zero-terminated strings: nothing after a terminator belongs to them.
    const std::size_t terminator = text.find(u'\0');
    if (terminator != std::u16string_view::npos) {
        text = text.substr(0, terminator);
    }
    // Characters past the limit cannot reach the field when those before it are all ASCII.
    const std::size_t length = std::min(text.size(), kMaxFieldBytes);
    out.resize(length);
    char* const bytes = out.data();
    const char16_t* const units = text.data();
    char16_t bits = 0;
    for (std::size_t i = 0; i < length; ++i) {
        bits |= units[i];
        bytes[i] = static_cast<char>(units[i]);
    }
    if ((bits & 0xFF80u) != 0) {
        out = TruncateAnsi(platform::WideToAnsi(text), kMaxFieldBytes);
    }
}

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > start) {
            items.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return items;
}

} // namespace glimmerfen
