// ANSI code page of the portable layer: 1252, or 932 when the language is Japanese (a test may put 936,
// 949 or 950 in force). Conversions go through iconv; where iconv refuses a sequence, the replacement is
// the one Windows gives.
#include "platform/codepage.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <iconv.h>

#include "platform/doublebyte.h"
#include "platform/posix/locale_posix.h"
#include "platform/posix/testing.h"

namespace glimmerfen::platform {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16 text is converted as UTF-16LE");

constexpr unsigned kJapaneseCodePage = 932;
constexpr unsigned kWesternCodePage = 1252;
// What MultiByteToWideChar gives for a byte sequence that code page 932 does not define.
constexpr char16_t kJapaneseDefaultWide = 0x30FB;

bool StartsWithJa(const char* value) {
    return value != nullptr && std::strncmp(value, "ja", 2) == 0;
}

bool EnvironmentIsJapanese() {
    // The first of these that is set and not empty decides, as for the C library's message catalogues.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return StartsWithJa(value);
        }
    }
    return false;
}

// Read by every thread that converts text; switched only by tests.
struct LocaleState {
    std::atomic<bool> japanese;
    std::atomic<unsigned> codePage;
};

LocaleState& State() {
    static LocaleState state{EnvironmentIsJapanese(), EnvironmentIsJapanese() ? kJapaneseCodePage : kWesternCodePage};
    return state;
}

const char* IconvName(unsigned codePage) {
    switch (codePage) {
    case 932:
        return "CP932";
    case 936:
        return "CP936";
    case 949:
        return "CP949";
    case 950:
        return "CP950";
    default:
        return "CP1252";
    }
}

// iconv descriptors are not safe to share between threads: each thread keeps its own, opened on
// first use for each pair of encodings and closed when the thread ends.
class IconvCache {
public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache() {
        for (const Entry& entry : entries_) {
            iconv_close(entry.descriptor);
        }
    }

    iconv_t Get(const char* to, const char* from) {
        for (const Entry& entry : entries_) {
            if (entry.to == to && entry.from == from) {
                iconv(entry.descriptor, nullptr, nullptr, nullptr, nullptr); // back to the initial state
                return entry.descriptor;
            }
        }
        iconv_t descriptor = iconv_open(to, from);
        if (descriptor == reinterpret_cast<iconv_t>(-1)) {
            throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
        }
        entries_.push_back({to, from, descriptor});
        return descriptor;
    }

private:
    struct Entry {
        std::string to;
        std::string from;
        iconv_t descriptor;
    };
    std::vector<Entry> entries_;
};

iconv_t Descriptor(const char* to, const char* from) {
    thread_local IconvCache cache;
    return cache.Get(to, from);
}

// What to do with a sequence iconv refused: how many input bytes to skip and what to write instead.
struct Replacement {
    std::size_t skip;
    std::string bytes;
};

// Converts with iconv; at each refused (invalid, unmappable or cut off) sequence asks onRefused for
// its replacement and carries on after it.
template <class OnRefused>
std::string Convert(iconv_t descriptor, std::string_view input, OnRefused onRefused) {
    std::string out(input.size() * 2 + 16, '\0');
    std::size_t used = 0;
    char* in = const_cast<char*>(input.data()); // iconv takes char** but does not write through it
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t result = iconv(descriptor, &in, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ (invalid or unmappable) or EINVAL (the input ends inside a sequence).
        Replacement replacement = onRefused(std::string_view(in, inLeft));
        const std::size_t skip = replacement.skip < inLeft ? replacement.skip : inLeft;
        in += skip;
        inLeft -= skip;
        out.resize(used);
        out += replacement.bytes;
        used = out.size();
        out.resize(used + inLeft * 2 + 16);
    }
    out.resize(used);
    return out;
}

std::string WideBytes(char16_t unit) {
    return std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
}

char16_t UnitAt(std::string_view bytes, std::size_t index) {
    return static_cast<char16_t>(static_cast<unsigned char>(bytes[index * 2]) |
                                 (static_cast<unsigned char>(bytes[index * 2 + 1]) << 8));
}

// Code page 1252 leaves these five bytes undefined; Windows maps them to and from U+0081 etc.
bool IsUndefinedIn1252(unsigned value) {
    return value == 0x81 || value == 0x8D || value == 0x8F || value == 0x90 || value == 0x9D;
}

bool IsLatin1Lower(unsigned char byte) {
    return byte >= 0xE0 && byte <= 0xFE && byte != 0xF7;
}
bool IsLatin1Upper(unsigned char byte) {
    return byte >= 0xC0 && byte <= 0xDE && byte != 0xD7;
}

} // namespace

namespace posix {

bool UsesJapanese() {
    return State().japanese.load(std::memory_order_relaxed);
}

std::string Utf8ToAnsi(std::string_view utf8) {
    const unsigned codePage = AnsiCodePage();
    return Convert(Descriptor(IconvName(codePage), "UTF-8"), utf8, [](std::string_view rest) {
        // Skip the whole refused UTF-8 sequence: its first byte tells its length.
        const auto first = static_cast<unsigned char>(rest[0]);
        std::size_t length = first >= 0xF0 ? 4 : first >= 0xE0 ? 3 : first >= 0xC0 ? 2 : 1;
        return Replacement{length, "?"};
    });
}

} // namespace posix

void SetLanguageAndCodePageForTesting(bool japanese, unsigned codePage) {
    if (codePage != kWesternCodePage && FindDoubleByteRanges(codePage) == nullptr) {
        throw std::invalid_argument("the portable layer knows code pages 932, 936, 949, 950 and 1252 only");
    }
    State().japanese.store(japanese, std::memory_order_relaxed);
    State().codePage.store(codePage, std::memory_order_relaxed);
}

bool JapaneseTextsForTesting() {
    return posix::UsesJapanese();
}

unsigned AnsiCodePage() {
    return State().codePage.load(std::memory_order_relaxed);
}

bool IsLeadByte(unsigned char byte) {
    const DoubleByteRanges* table = FindDoubleByteRanges(AnsiCodePage());
    return table != nullptr && InRanges(table->lead, table->leadCount, byte);
}

unsigned char UpperSingleByte(unsigned char byte) {
    if (byte >= 'a' && byte <= 'z') {
        return static_cast<unsigned char>(byte - 0x20);
    }
    // In the double-byte code pages only ASCII letters have case (932's half-width katakana have none).
    if (AnsiCodePage() != kWesternCodePage) {
        return byte;
    }
    if (IsLatin1Lower(byte)) {
        return static_cast<unsigned char>(byte - 0x20);
    }
    switch (byte) {
    case 0x9A:
        return 0x8A; // s caron
    case 0x9C:
        return 0x8C; // oe
    case 0x9E:
        return 0x8E; // z caron
    case 0xFF:
        return 0x9F; // y diaeresis
    default:
        return byte;
    }
}

unsigned char LowerSingleByte(unsigned char byte) {
    if (byte >= 'A' && byte <= 'Z') {
        return static_cast<unsigned char>(byte + 0x20);
    }
    if (AnsiCodePage() != kWesternCodePage) {
        return byte;
    }
    if (IsLatin1Upper(byte)) {
        return static_cast<unsigned char>(byte + 0x20);
    }
    switch (byte) {
    case 0x8A:
        return 0x9A;
    case 0x8C:
        return 0x9C;
    case 0x8E:
        return 0x9E;
    case 0x9F:
        return 0xFF;
    default:
        return byte;
    }
}

std::string WideToAnsi(std::u16string_view text) {
    if (text.empty()) {
        return {};
    }
    const unsigned codePage = AnsiCodePage();
    const std::string_view bytes(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
    return Convert(Descriptor(IconvName(codePage), "UTF-16LE"), bytes, [codePage](std::string_view rest) {
        if (rest.size() < 2) {
            return Replacement{rest.size(), "?"};
        }
        const char16_t unit = UnitAt(rest, 0);
        if (codePage == kWesternCodePage && IsUndefinedIn1252(unit)) {
            return Replacement{2, std::string(1, static_cast<char>(unit))};
        }
        // Each unit the code page lacks becomes one default character, so a character outside the
        // basic plane (two units) gives two, as on Windows.
        return Replacement{2, "?"};
    });
}

std::u16string AnsiToWide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    const unsigned codePage = AnsiCodePage();
    const std::string bytes =
        Convert(Descriptor("UTF-16LE", IconvName(codePage)), text, [codePage](std::string_view rest) {
            const auto first = static_cast<unsigned char>(rest[0]);
            if (codePage == kWesternCodePage) {
                // Only the five undefined bytes are refused; Windows passes them through.
                return Replacement{1, WideBytes(first)};
            }
            const std::size_t length = IsLeadByte(first) && rest.size() > 1 ? 2 : 1;
            if (codePage != kJapaneseCodePage) {
                // A lead byte takes the next byte with it, and the pair is one unknown character.
                return Replacement{length, WideBytes(u'?')};
            }
            // Windows gives these single bytes characters of their own; a lead byte takes the next byte
            // with it, and the pair is one unknown character.
            if (first == 0x80) {
                return Replacement{1, WideBytes(0x0080)};
            }
            if (first == 0xA0 || first >= 0xFD) {
                return Replacement{1,
                                   WideBytes(static_cast<char16_t>(first == 0xA0 ? 0xF8F0 : 0xF8F1 + (first - 0xFD)))};
            }
            return Replacement{length, WideBytes(kJapaneseDefaultWide)};
        });
    std::u16string wide(bytes.size() / 2, u'\0');
    std::memcpy(wide.data(), bytes.data(), wide.size() * sizeof(char16_t));
    return wide;
}

std::string AnsiToUtf8(std::string_view text) {
    const std::u16string wide = AnsiToWide(text);
    std::string out;
    out.reserve(wide.size() * 3);
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // an unpaired surrogate, as WideCharToMultiByte replaces it
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace glimmerfen::platform
