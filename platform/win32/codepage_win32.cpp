// The system ANSI code page through the Win32 National Language Support functions.
#include "platform/codepage.h"

#include <array>
#include <climits>
#include <stdexcept>

#include <windows.h>

namespace glimmerfen::platform {
namespace {

// The lead bytes of the ANSI code page, from the ranges the system gives for it (GetCPInfo), so that
// every double-byte code page (932, 936, 949, 950, ...) has its own, not one of them for all.
const std::array<bool, 256>& LeadBytes() {
    static const std::array<bool, 256> lead = [] {
        std::array<bool, 256> built{};
        CPINFO info{};
        if (!::GetCPInfo(CP_ACP, &info)) {
            for (unsigned value = 0; value < 256; ++value) {
                built[value] = ::IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(value)) != FALSE;
            }
            return built;
        }
        // Pairs of first and last byte, ended by a pair of zeros.
        for (unsigned i = 0; i + 1 < MAX_LEADBYTES && info.LeadByte[i] != 0; i += 2) {
            for (unsigned value = info.LeadByte[i]; value <= info.LeadByte[i + 1]; ++value) {
                built[value] = true;
            }
        }
        return built;
    }();
    return lead;
}

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
            if (value == 0 || LeadBytes()[value]) {
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
    return LeadBytes()[byte];
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
