// Case mapping, truncation and conversion of narrow texts in the ANSI code page, double-byte
// characters of code page 932 included.
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "platform/ansitext.h"
#include "platform/codepage.h"
#include "platform/netnames.h"

namespace glimmerfen {
namespace {

using test::CodePage1252Test;
using test::CodePage932Test;

// Code page 932 bytes of a few characters. Their trail bytes look like single-byte characters:
// 'c', 'A', '\\' and a lead byte.
const std::string kEi = "\x89\x63";     // 営
const std::string kA = "\x83\x41";      // ア
const std::string kHyo = "\x95\x5c";    // 表
const std::string kAji = "\x88\x9f";    // 亜
const std::string kKan = "\x8a\xbf";    // 漢
const std::string kHalfWidthA = "\xb1"; // ｱ (one byte)

struct CaseCase {
    std::string input;
    std::string upper;
    std::string lower;
};

TEST_F(CodePage932Test, CaseMappingLeavesDoubleByteCharactersWhole) {
    const std::vector<CaseCase> cases = {
        {"abcXYZ09", "ABCXYZ09", "abcxyz09"},
        // A trail byte in 'a'..'z' or 'A'..'Z' is not a letter.
        {kEi, kEi, kEi},
        {kA, kA, kA},
        {"a" + kEi + "b", "A" + kEi + "B", "a" + kEi + "b"},
        {"Z" + kA + "Q", "Z" + kA + "Q", "z" + kA + "q"},
        // After a trail byte that is itself a lead byte value, the next byte is a character again.
        {kAji + "a" + kAji + "B", kAji + "A" + kAji + "B", kAji + "a" + kAji + "b"},
        {kHyo + "x", kHyo + "X", kHyo + "x"},
        // Half-width katakana are single bytes without case.
        {kHalfWidthA + "a", kHalfWidthA + "A", kHalfWidthA + "a"},
        // Regression: full-width ａ..ｚ kept their case, unlike the system's multibyte upper-casing,
        // so "ｐｃ" and "ＰＣ" were different computers. Only upper-casing folds them.
        {"\x82\x81", "\x82\x60", "\x82\x81"},
        {"\x82\x9a" + kEi + "\x82\x79", "\x82\x79" + kEi + "\x82\x79", "\x82\x9a" + kEi + "\x82\x79"},
        // Just outside the range: ０ (0x82 0x4F) before Ａ, and 0x82 0x80 (no character) before ａ.
        {"\x82\x4f\x82\x80\x82\x9b", "\x82\x4f\x82\x80\x82\x9b", "\x82\x4f\x82\x80\x82\x9b"},
        // Code page 1252's letters are not letters here: 0xE9 is a lead byte in 932.
        {"\xe9\x61", "\xe9\x61", "\xe9\x61"},
        {"", "", ""},
    };
    for (const CaseCase& c : cases) {
        EXPECT_EQ(AnsiUpper(c.input), c.upper) << c.input;
        EXPECT_EQ(AnsiLower(c.input), c.lower) << c.input;
    }
}

TEST_F(CodePage932Test, CaseMappingOfTextEndingInALeadByteStaysInsideTheText) {
    // The text lives in a heap block of exactly its size, so reading the missing trail byte is
    // caught by the address sanitizer; the lone lead byte is kept as it is.
    const std::string bytes = "ab\x89";
    const auto block = std::make_unique<char[]>(bytes.size());
    bytes.copy(block.get(), bytes.size());
    const std::string_view text(block.get(), bytes.size());
    EXPECT_EQ(AnsiUpper(text), "AB\x89");
    EXPECT_EQ(AnsiLower(std::string_view(block.get(), 1)), "a");
    EXPECT_EQ(AnsiLower("AB\x89"), "ab\x89");
}

TEST_F(CodePage1252Test, CaseMappingCoversLatin1Letters) {
    // The same expectations hold for CharUpperBuffA/CharLowerBuffA on Windows.
    struct Pair {
        unsigned char lower;
        unsigned char upper;
    };
    const Pair pairs[] = {{'a', 'A'},   {'z', 'Z'},   {0xE9, 0xC9}, {0xE0, 0xC0}, {0xFE, 0xDE},
                          {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F}};
    for (const Pair& p : pairs) {
        EXPECT_EQ(platform::UpperSingleByte(p.lower), p.upper) << int(p.lower);
        EXPECT_EQ(platform::LowerSingleByte(p.upper), p.lower) << int(p.upper);
    }
    // No case, or no single-byte partner: ÷ × ß µ ª.
    for (const unsigned char same : {0xF7, 0xD7, 0xDF, 0xB5, 0xAA, 0x80, 0x00}) {
        EXPECT_EQ(platform::UpperSingleByte(same), same) << int(same);
        EXPECT_EQ(platform::LowerSingleByte(same), same) << int(same);
    }
    EXPECT_EQ(AnsiUpper("caf\xe9 \x9a"), "CAF\xc9 \x8a");
    EXPECT_EQ(AnsiLower("\xc9"
                        "COLE"),
              "\xe9"
              "cole");
    EXPECT_FALSE(platform::IsLeadByte(0x89));
}

struct TruncateCase {
    const char* name;
    std::string input;
    std::size_t maxBytes;
    std::string expected;
};

std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

// Appends in place: "x" + std::string inserts at the front, which GCC 12 warns about wrongly.
std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (std::string_view piece : pieces) {
        out += piece;
    }
    return out;
}

TEST_F(CodePage932Test, TruncateCutsAtCharacterBoundaries) {
    const std::string ascii254(254, 'a');
    const std::vector<TruncateCase> cases = {
        {"254 ASCII bytes fit", ascii254, 254, ascii254},
        {"255 ASCII bytes lose one", ascii254 + "b", 254, ascii254},
        {"253 ASCII + a double-byte character give 253", std::string(253, 'a') + kKan, 254, std::string(253, 'a')},
        {"252 ASCII + a double-byte character fit", std::string(252, 'a') + kKan, 254, std::string(252, 'a') + kKan},
        {"cut right after a double-byte character", std::string(252, 'a') + kKan + "z", 254,
         std::string(252, 'a') + kKan},
        {"only double-byte characters", Repeat(kKan, 128), 254, Repeat(kKan, 127)},
        {"odd limit with double-byte characters", Repeat(kKan, 128), 253, Repeat(kKan, 126)},
        // Trail bytes that are lead byte values: only a walk from the start finds the boundary.
        {"trail bytes in the lead byte range", Join({"xx", Repeat(kAji, 127)}), 254, Join({"xx", Repeat(kAji, 126)})},
        {"trail bytes in the lead byte range, shifted", Join({"x", Repeat(kAji, 127)}), 254,
         Join({"x", Repeat(kAji, 126)})},
        {"a lone lead byte at the end of a long text", ascii254 + "\x89", 254, ascii254},
        {"a lone lead byte inside the limit counts as one byte", "ab\x89", 3, "ab\x89"},
        {"half-width katakana are single bytes", Repeat(kHalfWidthA, 300), 254, Repeat(kHalfWidthA, 254)},
        {"zero bytes", kKan + "a", 0, ""},
        {"one byte before a double-byte character", kKan + "a", 1, ""},
    };
    for (const TruncateCase& c : cases) {
        EXPECT_EQ(TruncateAnsi(c.input, c.maxBytes), c.expected) << c.name;
    }
}

TEST_F(CodePage1252Test, TruncateCutsAtTheLimitWhenEveryCharacterIsOneByte) {
    EXPECT_EQ(TruncateAnsi(std::string(300, '\xe9'), 254), std::string(254, '\xe9'));
    EXPECT_EQ(TruncateAnsi(std::string(253, 'a') + "\x89\x63", 254), std::string(253, 'a') + "\x89");
}

TEST_F(CodePage932Test, FieldFromWideKeepsWholeCharactersOfALongJapanesePath) {
    // "C:\" (3 bytes) then 200 characters of two bytes: 403 bytes, cut to 3 + 125 * 2 = 253.
    const std::u16string path = u"C:\\" + std::u16string(200, u'漢');
    const std::string field = FieldFromWide(path);
    EXPECT_EQ(field, "C:\\" + Repeat(kKan, 125));
    EXPECT_EQ(platform::AnsiToWide(field), u"C:\\" + std::u16string(125, u'漢'));

    const std::u16string share = u"\\\\SERVER\\共有\\営業部\\表計算.xls";
    EXPECT_EQ(FieldFromWide(share),
              "\\\\SERVER\\\x8b\xa4\x97\x4c\\" + kEi + "\x8b\xc6\x95\x94\\" + kHyo + "\x8c\x76\x8e\x5a.xls");
}

TEST_F(CodePage1252Test, FieldFromWideConvertsAndCuts) {
    EXPECT_EQ(FieldFromWide(u"caf\u00e9"), "caf\xe9");
    EXPECT_EQ(FieldFromWide(std::u16string(300, u'x')), std::string(254, 'x'));
    // A character the code page lacks becomes '?'.
    EXPECT_EQ(FieldFromWide(u"a\u6f22b"), "a?b");
}

TEST(FieldFromWide, StopsAtTheTerminator) {
    const std::u16string withTerminator(u"PC1\0junk", 8);
    EXPECT_EQ(FieldFromWide(withTerminator), "PC1");
    EXPECT_EQ(FieldFromWide(u""), "");
    // Into a field that held a longer text at the previous poll, and the other way round.
    std::string field = "A LONGER NAME OF THE LAST POLL";
    AssignFieldFromWide(field, withTerminator);
    EXPECT_EQ(field, "PC1");
    AssignFieldFromWide(field, u"caf\u00e9 au lait");
    EXPECT_EQ(field, FieldFromWide(u"caf\u00e9 au lait"));
}

struct ConversionCase {
    const char* name;
    std::u16string wide;
    std::string ansi;
};

TEST_F(CodePage932Test, ConversionsGiveShiftJisBytes) {
    const std::vector<ConversionCase> cases = {
        {"kanji", u"切断", "\x90\xd8\x92\x66"},
        {"katakana with a trail byte like 'A'", u"ア", kA},
        {"kanji with a backslash trail byte", u"表", kHyo},
        {"half-width katakana", u"ﾊﾞｰｼﾞｮﾝ", "\xca\xde\xb0\xbc\xde\xae\xdd"},
        {"mixed", u"PC1ユーザー", "PC1\x83\x86\x81\x5b\x83\x55\x81\x5b"},
        {"ASCII backslash and tilde", u"\\~", "\\~"},
    };
    for (const ConversionCase& c : cases) {
        EXPECT_EQ(platform::WideToAnsi(c.wide), c.ansi) << c.name;
        EXPECT_EQ(platform::AnsiToWide(c.ansi), c.wide) << c.name;
    }
    EXPECT_TRUE(platform::IsLeadByte(0x81));
    EXPECT_TRUE(platform::IsLeadByte(0xFC));
    EXPECT_FALSE(platform::IsLeadByte(0xA0));
    EXPECT_FALSE(platform::IsLeadByte(0xB1));
}

TEST_F(CodePage932Test, ConversionsReplaceWhatTheCodePageLacks) {
    // Each UTF-16 unit without a character in 932 becomes '?', so an emoji (two units) gives two.
    EXPECT_EQ(platform::WideToAnsi(u"a\U0001F600b"), "a??b");
    EXPECT_EQ(platform::WideToAnsi(std::u16string(1, char16_t(0xD83D))), "?");
    // A lead byte without its trail byte, or with an invalid one, is one unknown character.
    EXPECT_EQ(platform::AnsiToWide("a\x89"), u"a\u30fb");
    EXPECT_EQ(platform::AnsiToWide("\x85\x40z"), u"\u30fbz");
    // Bytes that are no character of 932 still give a character of their own.
    EXPECT_EQ(platform::AnsiToWide("\x80\xa0\xfd\xff"), u"\u0080\uf8f0\uf8f1\uf8f3");
}

TEST_F(CodePage932Test, ConversionsFromManyThreadsAtOnce) {
    // The poll, the list refresh and the user-interface thread convert at the same time; a shared
    // converter state would mix their bytes (and the thread sanitizer would report it).
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    std::vector<int> wrong(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &wrong] {
            const std::u16string name = t % 2 == 0 ? u"営業部のPC" : u"表計算ファイル";
            const std::string bytes = t % 2 == 0 ? kEi + "\x8b\xc6\x95\x94\x82\xccPC"
                                                 : kHyo + "\x8c\x76\x8e\x5a\x83\x74\x83\x40\x83\x43\x83\x8b";
            for (int i = 0; i < kRounds; ++i) {
                if (platform::WideToAnsi(name) != bytes || platform::AnsiToWide(bytes) != name ||
                    AnsiUpper(bytes + "x") != bytes + "X") {
                    ++wrong[t];
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(kThreads, 0));
}

TEST_F(CodePage1252Test, ConversionsOfWesternText) {
    EXPECT_EQ(platform::WideToAnsi(u"\u20ac\u00e9\u0153"), "\x80\xe9\x9c");
    EXPECT_EQ(platform::AnsiToWide("\x80\xe9\x9c"), u"\u20ac\u00e9\u0153");
    // The five bytes that 1252 leaves undefined pass through both ways.
    EXPECT_EQ(platform::AnsiToWide("\x81\x8d\x8f\x90\x9d"), u"\u0081\u008d\u008f\u0090\u009d");
    EXPECT_EQ(platform::WideToAnsi(u"\u0081\u009d"), "\x81\x9d");
    EXPECT_EQ(platform::WideToAnsi(u"\u5207"), "?");
    EXPECT_EQ(platform::WideToAnsi(u""), "");
    EXPECT_EQ(platform::AnsiToWide(""), u"");
}

struct Utf8Case {
    unsigned codePage;
    std::string ansi;
    std::string utf8;
};

// What the CSV export writes: every character of the code page as its UTF-8 bytes.
TEST(AnsiToUtf8, CharactersOfBothCodePages) {
    const std::vector<Utf8Case> cases = {
        {932, "", ""},
        {932, "a,\"\r\n", "a,\"\r\n"},
        {932, kHyo + "\\" + kEi, "表\\営"},
        {932, kHalfWidthA + kA, "ｱア"},
        {1252, "caf\xe9 \x80", "café €"},
        // Undefined in 1252: Windows passes the byte through as U+0081.
        {1252, "\x81", "\xc2\x81"},
    };
    for (const Utf8Case& c : cases) {
        test::ScopedCodePage scope(c.codePage);
        if (scope.Active()) {
            EXPECT_EQ(platform::AnsiToUtf8(c.ansi), c.utf8) << c.codePage << " " << c.utf8;
        }
    }
}

// Regression: 936, 949 and 950 were walked with 932's lead bytes, cutting and upper-casing their characters.
TEST(DoubleByteCodePages, EachWalksItsOwnCharacters) {
    struct WalkCase { // TruncateAnsi(text, cut), AnsiUpper, AnsiFileNameStart and AnsiToUtf8 of each text
        unsigned codePage;
        std::string text;
        std::size_t cut;
        std::string truncated, upper;
        std::size_t nameStart;
        std::string utf8;
    };
    const WalkCase walks[] = {
        {936, "\xB0\xA1x", 1, "", "\xB0\xA1X", 0, "啊x"},                 // lead bytes 0xA1..0xDF
        {932, "\xB0\xA1x", 1, "\xB0", "\xB0\xA1X", 0, "ｰ｡x"},             // the same bytes: two katakana
        {936, "d:\\\x81\x5Cx", 4, "d:\\", "D:\\\x81\x5CX", 3, "d:\\乗x"}, // trail 0x5C is no separator
        {936, "\x81\x61h", 3, "\x81\x61h", "\x81\x61H", 0, "乤h"},        // trail 'a' keeps its case
        {949, "\xB0\xA1\x81\x61z", 3, "\xB0\xA1", "\xB0\xA1\x81\x61Z", 0, "가갵z"},
        {950, "s\\\xA5\x5Cx", 3, "s\\", "S\\\xA5\x5CX", 2, "s\\功x"},
        {950, "\xA4\x40x", 2, "\xA4\x40", "\xA4\x40X", 0, "一x"},
    };
    for (const WalkCase& c : walks) {
        test::ScopedCodePage codePage(c.codePage);
        if (!codePage.Active()) {
            continue; // on Windows the system's code page decides
        }
        EXPECT_EQ(TruncateAnsi(c.text, c.cut), c.truncated) << c.codePage << " " << c.text;
        EXPECT_EQ(AnsiUpper(c.text), c.upper) << c.codePage << " " << c.text;
        EXPECT_EQ(AnsiFileNameStart(c.text), c.nameStart) << c.codePage << " " << c.text;
        EXPECT_EQ(platform::AnsiToUtf8(c.text), c.utf8) << c.codePage << " " << c.text;
    }

    // A byte pair is one character of a computer's name only with the code page's own trail byte.
    const std::tuple<unsigned, std::string, bool> names[] = {
        {932, "PC\x95\x5C", true},  {932, "PC\xB0\xA1", false}, // 表; half-width katakana are refused
        {936, "PC\xB0\x5C", true},  {936, "PC\x81\xFE", true},  //
        {949, "PC\xB0\x5C", false}, {949, "PC\xB0\xA1", true},  // 949 has no trail byte 0x5C
        {950, "PC\xA5\x5C", true},  {950, "PC\xA4\x80", false}, // 950 has none from 0x7F to 0xA0
    };
    for (const auto& [page, name, wellFormed] : names) {
        test::ScopedCodePage codePage(page);
        if (codePage.Active()) {
            EXPECT_EQ(platform::IsWellFormedComputerName(name), wellFormed) << page << " " << name;
        }
    }

    // Lead bytes run from 0x81 to 0xFE; 932 leaves 0xA0..0xDF and 0xFD..0xFE to single bytes.
    for (const unsigned page : {932u, 936u, 949u, 950u}) {
        test::ScopedCodePage codePage(page);
        for (int b = 0; codePage.Active() && b < 256; ++b) {
            const bool lead = b >= 0x81 && b <= 0xFE && (page != 932 || b < 0xA0 || (b >= 0xE0 && b <= 0xFC));
            EXPECT_EQ(platform::IsLeadByte(static_cast<unsigned char>(b)), lead) << page << " " << b;
        }
    }
}

} // namespace
} // namespace glimmerfen
