#include "platform/netnames.h"

#include <cctype>

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

} // namespace

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
