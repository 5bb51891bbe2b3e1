// Splitting name lists and the acceptable-PC test.
#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "codepage_fixture.h"
#include "monitor/NameList.h"
#include "platform/ansitext.h"

namespace glimmerfen {
namespace {

std::vector<std::string> Items(std::string_view text) {
    std::vector<std::string> items;
    for (std::string_view item : SplitList(text)) {
        items.emplace_back(item);
    }
    return items;
}

TEST(SplitList, SeparatorsAndEmptyItems) {
    using V = std::vector<std::string>;
    const std::pair<const char*, V> cases[] = {
        {"PC1;PC2", {"PC1", "PC2"}},
        {";;PC1;", {"PC1"}},
        {"PC1;", {"PC1"}},
        {"PC1", {"PC1"}},
        {"", {}},
        {";;;", {}},
        {"PC1; PC2", {"PC1", " PC2"}},
        {"PC1;;PC2;", {"PC1", "PC2"}},
        {" ", {" "}},
    };
    for (const auto& [text, items] : cases) {
        EXPECT_EQ(Items(text), items) << '"' << text << '"';
    }
}

TEST(SplitList, LongListsAreHandledWhole) {
    // Far beyond the 1999 bytes the options page allows: every item comes back, none is cut.
    std::string text;
    for (int i = 0; i < 1000; ++i) {
        text += "COMPUTER" + std::to_string(i) + ";";
    }
    ASSERT_GT(text.size(), 10000u);
    const auto items = Items(text);
    ASSERT_EQ(items.size(), 1000u);
    EXPECT_EQ(items.back(), "COMPUTER999");
    AppSettings s;
    s.DisJuncOkPcStr.Set(text);
    EXPECT_TRUE(IsAcceptablePc(s, "computer999"));
}

TEST(IsAcceptablePc, CaseIgnoredSpacesKept) {
    AppSettings s;
    s.DisJuncOkPcStr.Set("PC1;PC2");
    for (const char* name : {"pc2", "Pc2", "PC2", "pc1"}) {
        EXPECT_TRUE(IsAcceptablePc(s, name)) << name;
    }
    for (const char* name : {"PC3", "", "PC", "PC1;PC2", "PC2 "}) {
        EXPECT_FALSE(IsAcceptablePc(s, name)) << name;
    }
    s.DisJuncOkPcStr.Set("PC1; PC2");
    EXPECT_FALSE(IsAcceptablePc(s, "PC2"));
    EXPECT_TRUE(IsAcceptablePc(s, " pc2"));
    s.DisJuncOkPcStr.Set("");
    EXPECT_FALSE(IsAcceptablePc(s, ""));
    EXPECT_FALSE(IsAcceptablePc(s, "PC1"));
}

// In code page 932 the second byte of a double-byte character often lies in 'a'..'z'. Upper-casing
// that byte would turn one character into another and make different names compare equal (or the
// same name compare unequal).
TEST(IsAcceptablePc, DoubleByteNamesUnder932) {
    test::ScopedCodePage cp(932);
    if (!cp.Active()) {
        GTEST_SKIP() << "code page 932 is not available in this run";
    }
    // 0x83 0x61 is "ヂ"; upper-casing its trail byte as if it were 'a' would give 0x83 0x41, "ア".
    const std::string dji = "\x83\x61"; // ヂ
    const std::string a = "\x83\x41";   // ア
    AppSettings s;
    s.DisJuncOkPcStr.Set("pc-" + dji + ";X");
    EXPECT_TRUE(IsAcceptablePc(s, "PC-" + dji));
    EXPECT_FALSE(IsAcceptablePc(s, "PC-" + a)) << "trail byte was upper-cased";
    s.DisJuncOkPcStr.Set("PC-" + a);
    EXPECT_FALSE(IsAcceptablePc(s, "pc-" + dji));
    EXPECT_TRUE(AnsiEqualNoCase("x" + dji + "y", "X" + dji + "Y"));
    EXPECT_FALSE(AnsiEqualNoCase(dji, a));
}

} // namespace
} // namespace glimmerfen
