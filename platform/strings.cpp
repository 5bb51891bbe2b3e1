#include "platform/strings.h"

namespace glimmerfen::platform {
namespace {

bool IsNextValue(char c) {
    return c == 's' || c == 'd' || c == 'u';
}

void AppendPadded(std::string& out, std::string_view value, std::size_t width) {
    const bool negative = !value.empty() && value.front() == '-';
    if (negative) {
        out += '-';
        value.remove_prefix(1);
    }
    const std::size_t used = value.size() + (negative ? 1 : 0);
    if (used < width) {
        out.append(width - used, '0');
    }
    out += value;
}

} // namespace

std::string FillTemplate(std::string_view text, std::initializer_list<std::string_view> values) {
    const auto value = [&](std::size_t n) { return n < values.size() ? values.begin()[n] : std::string_view(); };
    std::string out;
    out.reserve(text.size());
    std::size_t next = 0; // the value of the next "%s", "%d" or "%u"
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::string_view rest = text.substr(i);
        if (rest.size() < 2 || rest[0] != '%') {
            out += text[i];
            continue;
        }
        const char c = rest[1];
        if (c >= '1' && c <= '9') {
            out += value(static_cast<std::size_t>(c - '1'));
            ++i;
        } else if (IsNextValue(c)) {
            out += value(next++);
            ++i;
        } else if (c == '%') {
            out += '%';
            ++i;
        } else if (c == '0' && rest.size() >= 4 && rest[2] >= '1' && rest[2] <= '9' && IsNextValue(rest[3])) {
            AppendPadded(out, value(next++), static_cast<std::size_t>(rest[2] - '0'));
            i += 3;
        } else {
            out += '%';
        }
    }
    return out;
}

} // namespace glimmerfen::platform
