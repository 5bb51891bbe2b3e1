// Operations on narrow ANSI code page texts that respect double-byte characters.
#include "platform/ansitext.h"

#include "platform/codepage.h"

namespace glimmerfen {
namespace {

// Maps every single-byte character; both bytes of a double-byte character are copied unchanged
// (their trail byte may look like an ASCII letter). A lead byte that ends the text is left alone.
template <class MapByte>
std::string MapSingleBytes(std::string_view text, MapByte map) {
    std::string out(text);
    std::size_t i = 0;
    while (i < out.size()) {
        const auto byte = static_cast<unsigned char>(out[i]);
        if (platform::IsLeadByte(byte)) {
            i += 2;
            continue;
        }
        out[i] = static_cast<char>(map(byte));
        ++i;
    }
    return out;
}

} // namespace

std::string AnsiUpper(std::string_view text) {
    return MapSingleBytes(text, platform::UpperSingleByte);
}

std::string AnsiLower(std::string_view text) {
    return MapSingleBytes(text, platform::LowerSingleByte);
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
    // The server's fields are zero-terminated strings: nothing after a terminator belongs to them.
    const std::size_t terminator = text.find(u'\0');
    if (terminator != std::u16string_view::npos) {
        text = text.substr(0, terminator);
    }
    return TruncateAnsi(platform::WideToAnsi(text), kMaxFieldBytes);
}

} // namespace glimmerfen
