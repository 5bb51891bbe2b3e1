// The profile (INI) functions. The same cases run natively against the portable layer and under Wine
// against the Windows functions: passing in both places is what shows that the two agree. Where the two
// may differ in bytes that do not matter (Wine rewrites the whole file and drops blank lines), a case
// compares only what a reader sees.
#include "platform/profile.h"

#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "engine/temp_dir.h"

namespace glimmerfen {
namespace {

using platform::ProfileGetInt;
using platform::ProfileGetString;
using platform::ProfileWriteString;
using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The file's lines without the empty ones, each with its line end.
std::string NonBlankLines(const std::string& bytes) {
    std::string result;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end + 1;
        const std::string line = bytes.substr(start, end - start);
        if (line != "\r\n" && line != "\n") {
            result += line;
        }
        start = end;
    }
    return result;
}

TEST(ProfileRead, MissingFileSectionOrKeyGivesTheDefault) {
    TempDir dir;
    const std::string missing = dir.File("missing.ini");
    EXPECT_EQ(ProfileGetInt(missing, "Setting", "LogOut", 7), 7);
    EXPECT_EQ(ProfileGetString(missing, "Setting", "DisJuncFileStr", "eml"), "eml");
    EXPECT_FALSE(std::filesystem::exists(missing)) << "a read must not create the file";

    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[Setting]\r\nLogOut=0\r\nBare\r\n[Other]\r\nViewTime=5\r\n");
    EXPECT_EQ(ProfileGetInt(ini, "NoSuchSection", "LogOut", -3), -3);
    EXPECT_EQ(ProfileGetInt(ini, "Setting", "ViewTime", 30), 30) << "the key lies in another section";
    EXPECT_EQ(ProfileGetString(ini, "Setting", "NoSuchKey", "dflt"), "dflt");
    EXPECT_EQ(ProfileGetString(ini, "Setting", "Bare", "dflt"), "dflt") << "a key line without '=' has no value";
    EXPECT_EQ(ProfileGetString(ini, "Setting", "NoSuchKey", nullptr), "");
    EXPECT_EQ(ProfileGetInt(ini, "Setting", "LogOut", 1), 0);
}

TEST(ProfileRead, DefaultLosesTrailingBlanksAndQuotesAndIsCutByTheBuffer) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    EXPECT_EQ(ProfileGetString(ini, "S", "k", "  spaced  "), "  spaced");
    EXPECT_EQ(ProfileGetString(ini, "S", "k", "\"quoted\""), "quoted");
    EXPECT_EQ(ProfileGetString(ini, "S", "k", "'single'"), "single");
    EXPECT_EQ(ProfileGetString(ini, "S", "k", "defaultlong", 4), "def");
}

TEST(ProfileRead, NamesIgnoreCaseAndSurroundingBlanks) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[Setting]\r\nDisJuncFileStr=eml;exe\r\n  spaced key  =  spaced value  \r\n\tTabbed\t=\tv\t\r\n"
                    "[ Padded ]\r\nx=1\r\n  [Indented]  \r\ny=2\r\n[Trail] ignored text\r\nz=3\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Setting", "DisJuncFileStr", "eml;exe"},
        {"SETTING", "disjuncfilestr", "eml;exe"},
        {"setting", "DISJUNCFILESTR", "eml;exe"},
        {"Setting", "spaced key", "spaced value"},
        {"Setting", "  spaced key ", "spaced value"},
        {"Setting", "tabbed", "v"},
        {"Padded", "x", "1"},
        {" padded ", "X", "1"},
        {"indented", "y", "2"},
        {"Trail", "z", "3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileGetString(ini, c.section, c.key, "DEFAULT"), c.expected) << "[" << c.section << "] " << c.key;
    }
}

TEST(ProfileRead, LineEndsMayBeCrLfLfOrCr) {
    TempDir dir;
    const std::string lf = dir.File("lf.ini");
    const std::string cr = dir.File("cr.ini");
    WriteBytes(lf, "[A]\nk=lf\n[B]\nk=second\n");
    WriteBytes(cr, "[A]\rk=cr\r[B]\rk=second\r");
    EXPECT_EQ(ProfileGetString(lf, "A", "k", ""), "lf");
    EXPECT_EQ(ProfileGetString(lf, "B", "k", ""), "second");
    EXPECT_EQ(ProfileGetString(cr, "A", "k", ""), "cr");
    EXPECT_EQ(ProfileGetString(cr, "B", "k", ""), "second");
}

TEST(ProfileRead, FirstMatchingSectionAndKeyWin) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[S]\r\nk=1\r\nk=2\r\n[s]\r\nk=3\r\nonly=4\r\n");
    EXPECT_EQ(ProfileGetInt(ini, "S", "k", 0), 1);
    EXPECT_EQ(ProfileGetInt(ini, "S", "only", 0), 0) << "the second [s] is never looked at";
}

TEST(ProfileRead, ValuesLoseOnePairOfEnclosingQuotes) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[S]\r\ndouble=\"quoted value\"\r\nsingle='single'\r\nopen=\"unterminated\r\nlone=\"\r\n"
                    "inner=\"a\"b\"\r\nemptyq=\"\"\r\nmixed=\"x'\r\nempty=\r\nspaces=   \r\nkeep= a \"b\" c \r\n");
    struct Case {
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"double", "quoted value"},
        {"single", "single"},
        {"open", "\"unterminated"},
        {"lone", "\""},
        {"inner", "a\"b"},
        {"emptyq", ""},
        {"mixed", "\"x'"},
        {"empty", ""},
        {"spaces", ""},
        {"keep", "a \"b\" c"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileGetString(ini, "S", c.key, "DEFAULT"), c.expected) << c.key;
    }
}

TEST(ProfileRead, IntegersAreSignedAndStopAtTheFirstNonDigit) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"-15", -15},
        {"12abc", 12},
        {"abc", 0},
        {"0", 0},
        {"+7", 7},
        {"  42  ", 42},
        {"- 4", 0},
        {"+-3", 0},
        {"1 2", 1},
        {"1e3", 1},
        {"010", 10},
        {"0x10", 16},
        {"-0x10", -16},
        {"0X10", 0},
        {"0b101", 5},
        {"0o17", 15},
        {"\"-8\"", -8},
        {"'12'", 12},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MIN},
        {"4294967295", -1},
    };
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    std::string file = "[S]\r\n";
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        file += "k" + std::to_string(i) + "=" + cases[i].value + "\r\n";
    }
    file += "empty=\r\nemptyq=\"\"\r\nbare\r\n";
    WriteBytes(ini, file);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(ProfileGetInt(ini, "S", ("k" + std::to_string(i)).c_str(), 777), cases[i].expected)
            << "value \"" << cases[i].value << "\"";
    }
    // An empty value is no number at all: the default, unlike a value that is not a number.
    EXPECT_EQ(ProfileGetInt(ini, "S", "empty", 777), 777);
    EXPECT_EQ(ProfileGetInt(ini, "S", "emptyq", 777), 777);
    EXPECT_EQ(ProfileGetInt(ini, "S", "bare", 777), 777);
}

TEST(ProfileRead, TextIsCutToOneLessThanTheBuffer) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    const std::string longValue(5000, 'x');
    WriteBytes(ini, "[S]\r\nlong=" + longValue + "\r\nshort=abcdefghij\r\n");
    EXPECT_EQ(ProfileGetString(ini, "S", "long", "", 4096), std::string(4095, 'x'));
    EXPECT_EQ(ProfileGetString(ini, "S", "long", "", 5001), longValue);
    struct Case {
        std::size_t buffer;
        const char* expected;
    };
    const Case cases[] = {{1, ""}, {2, "a"}, {10, "abcdefghi"}, {11, "abcdefghij"}, {100, "abcdefghij"}};
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileGetString(ini, "S", "short", "", c.buffer), c.expected) << "buffer " << c.buffer;
    }
}

// Exact file bytes after one write, for files in which Wine's rewriting and ours give the same bytes.
TEST(ProfileWrite, ChangesOnlyWhatTheWriteConcerns) {
    struct Case {
        const char* what;
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    };
    const Case cases[] = {
        {"new key goes to the end of its section", "[S1]\r\nk1=v1\r\n[S2]\r\nk2=v2\r\n", "S1", "new", "x",
         "[S1]\r\nk1=v1\r\nnew=x\r\n[S2]\r\nk2=v2\r\n"},
        {"new key in the last section", "[S1]\r\nk1=v1\r\n[S2]\r\nk2=v2\r\n", "s2", "new", "x",
         "[S1]\r\nk1=v1\r\n[S2]\r\nk2=v2\r\nnew=x\r\n"},
        {"new key after a comment that ends the section", "[S]\r\nk=1\r\n; note\r\n[T]\r\n", "S", "n", "2",
         "[S]\r\nk=1\r\n; note\r\nn=2\r\n[T]\r\n"},
        {"new key in an empty section", "[S]\r\n[T]\r\nx=1\r\n", "S", "n", "2", "[S]\r\nn=2\r\n[T]\r\nx=1\r\n"},
        {"new section at the end", "[S1]\r\nk1=v1\r\n", "S3", "nk", "nv", "[S1]\r\nk1=v1\r\n[S3]\r\nnk=nv\r\n"},
        {"new section after a last line without line end", "[S1]\r\nk1=v1", "S3", "nk", "nv",
         "[S1]\r\nk1=v1\r\n[S3]\r\nnk=nv\r\n"},
        {"new section in an empty file", "", "S", "n", "2", "[S]\r\nn=2\r\n"},
        {"existing key replaced in place", "; top comment\r\n[S1]\r\nA=1\r\nB=2\r\nC=3\r\n[S2]\r\nB=9\r\n", "s1", "b",
         "22", "; top comment\r\n[S1]\r\nA=1\r\nB=22\r\nC=3\r\n[S2]\r\nB=9\r\n"},
        {"section and key keep their spelling", "[SETTING]\r\nKEY=1\r\n", "setting", "key", "2",
         "[SETTING]\r\nKEY=2\r\n"},
        {"only the first of two equal keys changes", "[S]\r\nk=1\r\nk=2\r\n", "S", "k", "3", "[S]\r\nk=3\r\nk=2\r\n"},
        {"the first of two equal sections gets the key", "[S]\r\nk=1\r\n[s]\r\nk=2\r\n", "S", "k9", "9",
         "[S]\r\nk=1\r\nk9=9\r\n[s]\r\nk=2\r\n"},
        {"blanks around the old line go", "[S]\r\n  k  =  old  \r\n", "S", "k", "new", "[S]\r\nk=new\r\n"},
        {"blanks around the section name go", "[S]\r\nk=1\r\n", " S ", "k2", "x", "[S]\r\nk=1\r\nk2=x\r\n"},
        {"leading blanks of the value go", "[S]\r\nk=1\r\n", "S", "k", "  lead", "[S]\r\nk=lead\r\n"},
        {"a line feed file comes back with CR LF", "[S1]\nk1=v1\n[S2]\nk2=v2\n", "S1", "new", "x",
         "[S1]\r\nk1=v1\r\nnew=x\r\n[S2]\r\nk2=v2\r\n"},
        {"empty value", "[S]\r\nk=v\r\n", "S", "k", "", "[S]\r\nk=\r\n"},
        {"same value", "[S]\r\nk=v\r\n", "S", "k", "v", "[S]\r\nk=v\r\n"},
        {"key removed", "[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n", "S", "a", nullptr, "[S]\r\nb=2\r\n[T]\r\nc=3\r\n"},
        {"section removed", "[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n", "s", nullptr, nullptr, "[T]\r\nc=3\r\n"},
        {"removing a missing key changes nothing", "[T]\r\nc=3\r\n", "X", "a", nullptr, "[T]\r\nc=3\r\n"},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        // A file of its own for every case: the Windows functions cache files by name.
        const std::string ini = dir.File("case" + std::to_string(n++) + ".ini");
        WriteBytes(ini, c.before);
        EXPECT_TRUE(ProfileWriteString(ini, c.section, c.key, c.value)) << c.what;
        EXPECT_EQ(ReadBytes(ini), c.after) << c.what;
    }
}

TEST(ProfileWrite, CreatesTheFileAndThenGrowsIt) {
    TempDir dir;
    const std::string ini = dir.File("new.ini");
    ASSERT_TRUE(ProfileWriteString(ini, "S", "k", "v"));
    EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=v\r\n");
    ASSERT_TRUE(ProfileWriteString(ini, "S", "k2", "v2"));
    ASSERT_TRUE(ProfileWriteString(ini, "T", "k3", "v3"));
    ASSERT_TRUE(ProfileWriteString(ini, "s", "K", "changed"));
    EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=changed\r\nk2=v2\r\n[T]\r\nk3=v3\r\n");
    EXPECT_EQ(ProfileGetString(ini, "T", "k3", ""), "v3");

    // Nothing but the file is left behind in the directory (no temporary twin).
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"new.ini"});
}

TEST(ProfileWrite, FailsWhenTheDirectoryIsMissing) {
    TempDir dir;
    const std::string ini = (dir.Path() / "no-such-dir" / "a.ini").string();
    EXPECT_FALSE(ProfileWriteString(ini, "S", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "no-such-dir"));
}

// Wine drops blank lines when it rewrites a file; Windows and the portable layer keep them. The new key
// follows the last line of its section that is not blank, directly, so blank lines that separate the
// section from the next one stay after it.
TEST(ProfileWrite, NewKeyGoesBeforeTheBlankLinesThatEndItsSection) {
    struct Case {
        const char* before;
        const char* section;
        const char* nonBlank; // the file after the write, without blank lines
        const char* adjacent; // the new key with the line before it
        const char* kept;     // the whole file where blank lines are kept
    };
    const Case cases[] = {
        {"[S1]\r\nk1=v1\r\n\r\n[S2]\r\nk2=v2\r\n", "S1", "[S1]\r\nk1=v1\r\nnew=x\r\n[S2]\r\nk2=v2\r\n",
         "k1=v1\r\nnew=x\r\n", "[S1]\r\nk1=v1\r\nnew=x\r\n\r\n[S2]\r\nk2=v2\r\n"},
        {"[S1]\r\nk1=v1\r\n; comment\r\n\r\n\r\n[S2]\r\nk2=v2\r\n", "S1",
         "[S1]\r\nk1=v1\r\n; comment\r\nnew=x\r\n[S2]\r\nk2=v2\r\n", "; comment\r\nnew=x\r\n",
         "[S1]\r\nk1=v1\r\n; comment\r\nnew=x\r\n\r\n\r\n[S2]\r\nk2=v2\r\n"},
        {"[S]\r\n\r\nk=1\r\n\r\n", "S", "[S]\r\nk=1\r\nnew=x\r\n", "k=1\r\nnew=x\r\n",
         "[S]\r\n\r\nk=1\r\nnew=x\r\n\r\n"},
        {"[S]\r\n\r\n[T]\r\n", "S", "[S]\r\nnew=x\r\n[T]\r\n", "[S]\r\nnew=x\r\n", "[S]\r\nnew=x\r\n\r\n[T]\r\n"},
        {"[S]\r\nk=1\r\n\r\n", "T", "[S]\r\nk=1\r\n[T]\r\nnew=x\r\n", "[T]\r\nnew=x\r\n",
         "[S]\r\nk=1\r\n\r\n[T]\r\nnew=x\r\n"},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        const std::string ini = dir.File("case" + std::to_string(n++) + ".ini");
        WriteBytes(ini, c.before);
        ASSERT_TRUE(ProfileWriteString(ini, c.section, "new", "x"));
        const std::string after = ReadBytes(ini);
        EXPECT_EQ(NonBlankLines(after), c.nonBlank) << c.before;
        EXPECT_NE(after.find(c.adjacent), std::string::npos) << after;
#ifndef _WIN32
        EXPECT_EQ(after, c.kept);
#endif
    }
}

TEST(ProfileWrite, LineBreaksInAValueDoNotMakeNewLines) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    ASSERT_TRUE(ProfileWriteString(ini, "Setting", "MsgFrom", "me\r\n[Setting]\r\nLogOut=0\nx"));
    EXPECT_EQ(ReadBytes(ini), "[Setting]\r\nMsgFrom=me  [Setting]  LogOut=0 x\r\n");
    EXPECT_EQ(ProfileGetInt(ini, "Setting", "LogOut", 1), 1);
}

TEST(ProfileWrite, ValuesRoundTrip) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    struct Case {
        const char* key;
        const char* written;
        const char* read;
    };
    const Case cases[] = {
        {"neg", "-15", "-15"},          {"list", "PC1;PC2;PC3", "PC1;PC2;PC3"},
        {"padded", "  both  ", "both"}, {"equals", "a=b=c", "a=b=c"},
        {"semicolon", ";x", ";x"},      {"brackets", "[x]", "[x]"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(ProfileWriteString(ini, "S", c.key, c.written));
    }
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileGetString(ini, "S", c.key, "DEFAULT"), c.read) << c.key;
    }
    EXPECT_EQ(ProfileGetInt(ini, "S", "neg", 0), -15);
}

// Many threads adding keys to one file at once: every key must be there at the end (a lost update would
// drop one).
TEST(ProfileWrite, ConcurrentWritersLoseNoKey) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    constexpr int kThreads = 4;
    constexpr int kKeys = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&ini, t] {
            for (int k = 0; k < kKeys; ++k) {
                const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
                ProfileWriteString(ini, t % 2 == 0 ? "Even" : "Odd", key.c_str(), std::to_string(k).c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        for (int k = 0; k < kKeys; ++k) {
            const std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
            EXPECT_EQ(ProfileGetInt(ini, t % 2 == 0 ? "Even" : "Odd", key.c_str(), -1), k) << key;
        }
    }
}

// Shift-JIS texts: values and names round trip byte for byte, a double-byte character is never cut in
// half, and its trail byte is not taken for a letter when names are compared.
TEST(ProfileJapanese, ValuesAndNamesRoundTripAsShiftJisBytes) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    // "表示ソフト;ｶﾅ": trail bytes 0x5C ('\') in 表 and ソ, half-width katakana.
    const std::string value = "\x95\x5C\x8E\xA6\x83\x5C\x83\x74\x83\x67;\xB6\xC5";
    const std::string section = "\x90\xDD\x92\xE8"; // 設定
    const std::string key = "\x8E\xF3\x90\x4D";     // 受信
    ASSERT_TRUE(ProfileWriteString(ini, "Setting", "MsgFrom", value.c_str()));
    ASSERT_TRUE(ProfileWriteString(ini, section.c_str(), key.c_str(), value.c_str()));
    EXPECT_EQ(ReadBytes(ini),
              "[Setting]\r\nMsgFrom=" + value + "\r\n[" + section + "]\r\n" + key + "=" + value + "\r\n");
    EXPECT_EQ(ProfileGetString(ini, "Setting", "MsgFrom", ""), value);
    EXPECT_EQ(ProfileGetString(ini, section.c_str(), key.c_str(), ""), value);
}

TEST(ProfileJapanese, BufferCutKeepsWholeCharacters) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[S]\r\nk=\x82\xA0\x82\xA2\x82\xA4\r\n"); // あいう
    struct Case {
        std::size_t buffer;
        std::string expected;
    };
    const Case cases[] = {
        {3, "\x82\xA0"},
        {4, "\x82\xA0"},
        {5, "\x82\xA0\x82\xA2"},
        {6, "\x82\xA0\x82\xA2"},
        {7, "\x82\xA0\x82\xA2\x82\xA4"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProfileGetString(ini, "S", "k", "", c.buffer), c.expected) << "buffer " << c.buffer;
    }
}

TEST(ProfileJapanese, TrailBytesAreNotLettersInNames) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    // ア is 0x83 0x41 and ダ is 0x83 0x61: two different keys, although read as single bytes they would
    // differ only in the case of 'A' and 'a'.
    WriteBytes(ini, "[S]\r\n\x83\x41=1\r\n");
    EXPECT_EQ(ProfileGetInt(ini, "S", "\x83\x41", 0), 1);
    EXPECT_EQ(ProfileGetInt(ini, "S", "\x83\x61", 0), 0);
    ASSERT_TRUE(ProfileWriteString(ini, "S", "\x83\x61", "2"));
    EXPECT_EQ(ReadBytes(ini), "[S]\r\n\x83\x41=1\r\n\x83\x61=2\r\n");
}

// Names fold only the ASCII letters (as Wine does); in code page 1252 every byte is a character of its own.
TEST(ProfileWestern, OnlyAsciiLettersFoldAndEveryByteIsACharacter) {
    GF_USE_CODE_PAGE_OR_SKIP(1252);
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[\xC9t\xC9]\r\n\xC0la=1\r\n\x83\x41=2\r\n"); // [ÉtÉ] Àla
    EXPECT_EQ(ProfileGetInt(ini, "\xC9T\xC9", "\xC0LA", 0), 1);
    EXPECT_EQ(ProfileGetInt(ini, "\xC9T\xC9", "\xE0la", 0), 0) << "À and à are different names";
    EXPECT_EQ(ProfileGetInt(ini, "\xE9t\xE9", "\xC0la", 0), 0) << "É and é are different names";
    EXPECT_EQ(ProfileGetInt(ini, "\xC9T\xC9", "\x83\x61", 0), 2) << "single bytes: 'a' matches 'A'";
}

#ifndef _WIN32
// Windows refuses to write a file with the read-only attribute. (Wine running as root writes it anyway,
// so this case runs only against the portable layer, which must not replace such a file by renaming.)
TEST(ProfileWrite, ReadOnlyFileIsNotChanged) {
    TempDir dir;
    const std::string ini = dir.File("a.ini");
    WriteBytes(ini, "[S]\r\nk=1\r\n");
    std::filesystem::permissions(ini, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    EXPECT_FALSE(ProfileWriteString(ini, "S", "k", "2"));
    EXPECT_EQ(ReadBytes(ini), "[S]\r\nk=1\r\n");
    EXPECT_EQ(ProfileGetInt(ini, "S", "k", 0), 1);
}
#endif

} // namespace
} // namespace glimmerfen
