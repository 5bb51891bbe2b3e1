#include "platform/netnames.h"

#include <array>
#include <cctype>
#include <cstdint>

#include "platform/ansitext.h"
#include "platform/codepage.h"

namespace glimmerfen::platform {

namespace {

bool IsDottedDecimal(std::string_view text) {
    int parts = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view part = text.substr(start, end - start);
        if (part.empty() || part.size() > 3) {
            return false;
        }
        int value = 0;
        for (const char c : part) {
            if (!std::isdigit(static_cast<unsigned char>(c))) {
                return false;
            }
            value = value * 10 + (c - '0');
        }
        if (value > 255 || ++parts > 4) {
            return false;
        }
        start = end + 1;
    }
    return parts == 4;
}

bool IsHexGroups(std::string_view text) {
    // The zone ("%eth0", "%12") names an interface, not part of the address.
    if (const std::size_t zone = text.find('%'); zone != std::string_view::npos) {
        if (zone + 1 == text.size()) {
            return false;
        }
        text = text.substr(0, zone);
    }
    if (text.find(':') == std::string_view::npos || text.size() > 45) {
        return false;
    }
    // An IPv4 tail ("::ffff:192.168.1.20") is allowed after the last colon.
    const std::size_t lastColon = text.rfind(':');
    const std::string_view tail = text.substr(lastColon + 1);
    if (tail.find('.') != std::string_view::npos && !IsDottedDecimal(tail)) {
        return false;
    }
    const std::string_view groups = tail.find('.') != std::string_view::npos ? text.substr(0, lastColon + 1) : text;
    int colons = 0;
    int digits = 0;
    for (const char c : groups) {
        if (c == ':') {
            ++colons;
            digits = 0;
        } else if (std::isxdigit(static_cast<unsigned char>(c)) && ++digits <= 4) {
            continue;
        } else {
            return false;
        }
    }
    return colons >= 2 && colons <= 7 && groups.find(":::") == std::string_view::npos;
}

// The first byte of an IPv4 address in any of the forms the system's resolver reads besides dotted
// decimals: one to four parts, each decimal, octal (leading 0) or hexadecimal (leading 0x), the last
// filling the bytes that remain ("127.1", "0x7f.0.0.1", "2130706433"). Nothing when it is no such address.
std::optional<unsigned> Ipv4FirstByte(std::string_view text) {
    std::uint64_t parts[4] = {};
    int count = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('.', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        std::string_view part = text.substr(start, end - start);
        if (part.empty() || count == 4) {
            return std::nullopt;
        }
        unsigned base = 10;
        if (part.size() > 1 && part[0] == '0' && (part[1] == 'x' || part[1] == 'X')) {
            base = 16;
            part.remove_prefix(2);
            if (part.empty()) {
                return std::nullopt;
            }
        } else if (part.size() > 1 && part[0] == '0') {
            base = 8;
        }
        std::uint64_t value = 0;
        for (const char c : part) {
            unsigned digit = 0;
            if (c >= '0' && c <= '9') {
                digit = static_cast<unsigned>(c - '0');
            } else if (base == 16 && std::isxdigit(static_cast<unsigned char>(c))) {
                digit = static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
            } else {
                return std::nullopt;
            }
            if (digit >= base) {
                return std::nullopt;
            }
            value = value * base + digit;
            if (value > 0xFFFFFFFFu) {
                return std::nullopt;
            }
        }
        parts[count++] = value;
        start = end + 1;
    }
    // Every part but the last is one byte; the last fills the rest.
    for (int i = 0; i + 1 < count; ++i) {
        if (parts[i] > 255) {
            return std::nullopt;
        }
    }
    const int lastBytes = 5 - count;
    if (lastBytes < 4 && parts[count - 1] >> (8 * lastBytes) != 0) {
        return std::nullopt;
    }
    return static_cast<unsigned>(count == 1 ? parts[0] >> 24 : parts[0]);
}

// The eight groups of an IPv6 address (zone and brackets already taken off), nothing when the text is
// not one.
std::optional<std::array<std::uint16_t, 8>> Ipv6Groups(std::string_view text) {
    if (!IsHexGroups(text) || text.find('%') != std::string_view::npos) {
        return std::nullopt;
    }
    std::array<std::uint16_t, 8> head{};
    std::array<std::uint16_t, 8> tail{};
    int headCount = 0;
    int tailCount = 0;
    bool gap = false;
    const std::size_t gapAt = text.find("::");
    if (gapAt != std::string_view::npos) {
        if (text.find("::", gapAt + 1) != std::string_view::npos) {
            return std::nullopt; // only one run of zeros may be left out
        }
        gap = true;
    }
    auto parse = [](std::string_view groups, std::array<std::uint16_t, 8>& out, int& n) {
        std::size_t start = 0;
        while (start < groups.size()) {
            std::size_t end = groups.find(':', start);
            if (end == std::string_view::npos) {
                end = groups.size();
            }
            const std::string_view group = groups.substr(start, end - start);
            if (group.empty() || n == 8) {
                return false;
            }
            if (group.find('.') != std::string_view::npos) {
                // The IPv4 tail: two groups.
                if (end != groups.size() || n > 6 || !IsDottedDecimal(group)) {
                    return false;
                }
                unsigned bytes[4] = {};
                std::size_t from = 0;
                for (unsigned& byte : bytes) {
                    const std::size_t dot = group.find('.', from);
                    for (const char c : group.substr(from, dot - from)) {
                        byte = byte * 10 + static_cast<unsigned>(c - '0');
                    }
                    from = dot + 1;
                }
                out[n++] = static_cast<std::uint16_t>(bytes[0] << 8 | bytes[1]);
                out[n++] = static_cast<std::uint16_t>(bytes[2] << 8 | bytes[3]);
                return true;
            }
            unsigned value = 0;
            for (const char c : group) {
                value =
                    value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                           ? c - '0'
                                                           : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
            }
            out[n++] = static_cast<std::uint16_t>(value);
            start = end + 1;
            if (start == groups.size()) {
                return false; // a trailing single colon
            }
        }
        return true;
    };
    if (gap) {
        if (!parse(text.substr(0, gapAt), head, headCount) || !parse(text.substr(gapAt + 2), tail, tailCount) ||
            headCount + tailCount > 7) {
            return std::nullopt;
        }
    } else if (!parse(text, head, headCount) || headCount != 8) {
        return std::nullopt;
    }
    std::array<std::uint16_t, 8> groups{};
    for (int i = 0; i < headCount; ++i) {
        groups[static_cast<std::size_t>(i)] = head[static_cast<std::size_t>(i)];
    }
    for (int i = 0; i < tailCount; ++i) {
        groups[static_cast<std::size_t>(8 - tailCount + i)] = tail[static_cast<std::size_t>(i)];
    }
    return groups;
}

bool IsLoopbackIpv6(std::string_view text) {
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    // A zone names the interface, and every interface reaches this computer's loopback address.
    text = text.substr(0, text.find('%'));
    const std::optional<std::array<std::uint16_t, 8>> groups = Ipv6Groups(text);
    if (!groups) {
        return false;
    }
    const std::array<std::uint16_t, 8>& g = *groups;
    const bool zeros = g[0] == 0 && g[1] == 0 && g[2] == 0 && g[3] == 0 && g[4] == 0;
    // ::1, or an IPv4 loopback address mapped into IPv6 (::ffff:127.x.y.z).
    return (zeros && g[5] == 0 && g[6] == 0 && g[7] == 1) || (zeros && g[5] == 0xFFFF && (g[6] >> 8) == 127);
}

} // namespace

bool NamesThisComputer(std::string_view name, const std::vector<std::string>& ownNames) {
    while (!name.empty() && name.front() == '\\') {
        name.remove_prefix(1);
    }
    if (name == "." || AnsiEqualNoCase(name, "localhost") || Ipv4FirstByte(name) == 127u || IsLoopbackIpv6(name)) {
        return true;
    }
    for (const std::string& own : ownNames) {
        std::string_view ownName = own;
        while (!ownName.empty() && ownName.front() == '\\') {
            ownName.remove_prefix(1);
        }
        if (!ownName.empty() && AnsiEqualNoCase(name, ownName)) {
            return true;
        }
    }
    return false;
}

bool IsNumericAddress(std::string_view text) {
    return IsDottedDecimal(text) || IsHexGroups(text);
}

bool IsDoubleByteAt(std::string_view text, std::size_t i) {
    if (i + 1 >= text.size() || !IsLeadByte(static_cast<unsigned char>(text[i]))) {
        return false;
    }
    return IsTrailByte(static_cast<unsigned char>(text[i + 1]));
}

bool IsWellFormedComputerName(std::string_view text) {
    if (IsNumericAddress(text)) {
        // The numeric check lets any zone through after "%"; here it may only name an interface.
        const std::size_t zone = text.find('%');
        if (zone == std::string_view::npos) {
            return true;
        }
        for (const char c : text.substr(zone + 1)) {
            if (!std::isalnum(static_cast<unsigned char>(c))) {
                return false;
            }
        }
        return true;
    }
    constexpr std::size_t kMaxName = 255;
    constexpr std::size_t kMaxLabel = 63;
    if (text.empty() || text.size() > kMaxName || text.front() == '-') {
        return false;
    }
    std::size_t label = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '.') {
            if (label == 0) {
                return false; // "..", or a leading dot
            }
            label = 0;
            continue;
        }
        if (IsDoubleByteAt(text, i)) {
            ++i;
            label += 2;
        } else if (c < 0x80 && (std::isalnum(c) || c == '-' || c == '_')) {
            ++label;
        } else {
            return false;
        }
        if (label > kMaxLabel) {
            return false;
        }
    }
    return label != 0; // no trailing dot
}

} // namespace glimmerfen::platform
