// The system ANSI code page through the Win32 National Language Support functions.
#include "platform/codepage.h"

#include <array>
#include <climits>
#include <stdexcept>

#include <windows.h>

namespace glimmerfen::platform {
namespace {

struct CaseTables {
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};
};

// The ANSI code page cannot change while the process runs, so the case of every single byte is
// asked once; the tables are built by the first caller and only read afterwards.
const CaseTables& Tables() {
    static const CaseTables tables = [] {
        CaseTables built;
        for (unsigned value = 0; value < 256; ++value) {
            const auto byte = static_cast<unsigned char>(value);
            built.upper[value] = byte;
            built.lower[value] = byte;
            if (value == 0 || IsDBCSLeadByte(byte)) {
                continue;
            }
            char one = static_cast<char>(byte);
            CharUpperBuffA(&one, 1);
            built.upper[value] = static_cast<unsigned char>(one);
            one = static_cast<char>(byte);
            CharLowerBuffA(&one, 1);
            built.lower[value] = static_cast<unsigned char>(one);
        }
        return built;
    }();
    return tables;
}

int CheckedLength(std::size_t length) {
    if (length > static_cast<std::size_t>(INT_MAX)) {
        throw std::length_error("text too long for a code page conversion");
    }
    return static_cast<int>(length);
}

} // namespace

unsigned AnsiCodePage() {
    return GetACP();
}

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

unsigned char UpperSingleByte(unsigned char byte) {
    return Tables().upper[byte];
}

unsigned char LowerSingleByte(unsigned char byte) {
    return Tables().lower[byte];
}

std::string WideToAnsi(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = CheckedLength(text.size());
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_ACP, 0, wide, length, out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::u16string AnsiToWide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const int length = CheckedLength(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    std::u16string out(static_cast<std::size_t>(needed), u'\0');
    const int written =
        MultiByteToWideChar(CP_ACP, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::string AnsiToUtf8(std::string_view text) {
    const std::u16string wide = AnsiToWide(text);
    if (wide.empty()) {
        return {};
    }
    const auto* units = reinterpret_cast<const wchar_t*>(wide.data());
    const int length = CheckedLength(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, units, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return {};
    }
    std::string out(static_cast<std::size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_UTF8, 0, units, length, out.data(), needed, nullptr, nullptr);
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

} // namespace glimmerfen::platform
