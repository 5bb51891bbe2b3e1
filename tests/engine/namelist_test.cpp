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

// The list window's "Add to" commands: the list text they leave behind. The comparison respects
// letter case and whole items; the text is appended as it is, "A;" included.
TEST(AddNameToList, PresenceAndAppend) {
    const std::string longList(5000, 'X'); // far beyond the 2000 bytes of a working copy
    const struct {
        std::string list;
        std::string name;
        std::string expected;
    } cases[] = {
        {"pc1;PC2", "PC1", "pc1;PC2;PC1"},
        {"", "PC1", "PC1"},
        {"A;", "PC1", "A;;PC1"},
        {"A;PC1", "PC1", "A;PC1"},
        {";;PC1;", "PC1", ";;PC1;"},
        {"PC10;XPC1", "PC1", "PC10;XPC1;PC1"}, // neither a prefix nor a suffix counts
        {"PC1 ;B", "PC1", "PC1 ;B;PC1"},       // a space belongs to its item
        {"A", "", "A"},                        // an empty name is never added
        {"", "", ""},
        {longList, "PC1", longList + ";PC1"},
        {"\x83\x61", "\x83\x41", "\x83\x61;\x83\x41"}, // double-byte names compared whole
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AddNameToList(c.list, c.name), c.expected) << '"' << c.list << "\" + \"" << c.name << '"';
    }
}

// Which selectors AddToPcList leaves, whether it asked, and the list it published.
TEST(AddToPcList, QuestionAndSelectors) {
    const struct {
        PcList which;
        int okFlag, ngFlag;
        std::string name;
        bool answer;
        bool asked;
        int okAfter, ngAfter;
        std::string okList, ngList;
    } cases[] = {
        // The acceptable list is the target already: nothing is asked.
        {PcList::Acceptable, 1, 0, "PC1", true, false, 1, 0, "A;PC1", "B"},
        {PcList::Denied, 1, 0, "PC1", true, true, 0, 1, "A", "B;PC1"},
        // Cancel keeps the added name and the selectors.
        {PcList::Denied, 1, 0, "PC1", false, true, 1, 0, "A", "B;PC1"},
        {PcList::Acceptable, 0, 1, "PC1", true, true, 1, 0, "A;PC1", "B"},
        {PcList::Acceptable, 0, 0, "PC1", false, true, 0, 0, "A;PC1", "B"},
        // Asked also when the name is there already.
        {PcList::Acceptable, 0, 1, "A", true, true, 1, 0, "A", "B"},
        {PcList::Denied, 0, 1, "B", true, false, 0, 1, "A", "B"},
        // A selector that is neither 0 nor 1 counts as chosen.
        {PcList::Denied, 0, 2, "PC1", true, false, 0, 2, "A", "B;PC1"},
        // A row without a computer name changes nothing.
        {PcList::Denied, 1, 0, "", true, false, 1, 0, "A", "B"},
    };
    for (const auto& c : cases) {
        AppSettings s;
        s.DisJuncOkPcStr.Set("A");
        s.DisJuncNgPcStr.Set("B");
        s.DisJuncOkPcFlag = c.okFlag;
        s.DisJuncNgPcFlag = c.ngFlag;
        s.DisJuncPcFlag = 0;
        bool asked = false;
        AddToPcList(s, c.which, c.name, [&] {
            asked = true;
            return c.answer;
        });
        const std::string label = std::string(c.which == PcList::Acceptable ? "acceptable" : "denied") + " " +
                                  std::to_string(c.okFlag) + "/" + std::to_string(c.ngFlag) + " \"" + c.name + "\" " +
                                  (c.answer ? "OK" : "Cancel");
        EXPECT_EQ(asked, c.asked) << label;
        EXPECT_EQ(s.DisJuncOkPcFlag.load(), c.okAfter) << label;
        EXPECT_EQ(s.DisJuncNgPcFlag.load(), c.ngAfter) << label;
        EXPECT_EQ(s.DisJuncOkPcStr.Get(), c.okList) << label;
        EXPECT_EQ(s.DisJuncNgPcStr.Get(), c.ngList) << label;
        EXPECT_EQ(s.DisJuncPcFlag.load(), 0) << label << ": the rules' own switch is not the command's";
    }
}

} // namespace
} // namespace glimmerfen
