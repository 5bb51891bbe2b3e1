#include "platform/netnames.h"

#include <cctype>

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

} // namespace glimmerfen::platform
