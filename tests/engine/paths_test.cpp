// Where the program's files lie, from the executable's own path.
#include "settings/Paths.h"

#include <string>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {
namespace {

TEST(ProgramPaths, SplitsTheExecutablePath) {
    struct Case {
        const char* exe;
        const char* exeDir;
        const char* appName;
    };
    const Case cases[] = {
        {"C:\\a\\b\\x.exe", "C:\\a\\b\\", "x"},
        {"C:\\Program Files\\Glimmerfen\\GlimmerfenChecker.exe", "C:\\Program Files\\Glimmerfen\\",
         "GlimmerfenChecker"},
        {"C:\\tools\\my.checker.exe", "C:\\tools\\", "my.checker"},
        {"C:\\tools\\checker", "C:\\tools\\", "checker"},
        {"C:\\dotted.dir\\checker", "C:\\dotted.dir\\", "checker"},
        {"C:\\x.exe", "C:\\", "x"},
        {"C:x.exe", "C:", "x"},
        {"\\\\server\\share\\bin\\x.exe", "\\\\server\\share\\bin\\", "x"},
        {"Z:\\opt\\glimmer/mixed/x.exe", "Z:\\opt\\glimmer/mixed/", "x"},
        {"/opt/glimmerfen/GlimmerfenChecker.exe", "/opt/glimmerfen/", "GlimmerfenChecker"},
        {"x.exe", "", "x"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto paths = ComputeProgramPaths(c.exe, &error);
        ASSERT_TRUE(paths.has_value()) << c.exe << ": " << error;
        EXPECT_EQ(paths->exePath, c.exe);
        EXPECT_EQ(paths->exeDir, c.exeDir) << c.exe;
        EXPECT_EQ(paths->appName, c.appName) << c.exe;
        EXPECT_EQ(paths->iniPath, std::string(c.exeDir) + "Glimmerfen.ini") << c.exe;
    }
}

// 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: their trail byte is a backslash that does not
// separate anything. Read as single bytes (code page 1252) the same bytes do separate.
TEST(ProgramPaths, TrailByteBackslashIsNoSeparator) {
    struct Case {
        const char* exe;
        const char* exeDir;
        const char* appName;
    };
    const Case japanese[] = {
        {"C:\\tools\\\x95\x5C\x8E\xA6.exe", "C:\\tools\\", "\x95\x5C\x8E\xA6"},         // C:\tools\表示.exe
        {"C:\\\x83\x5C\x83\x74\x83\x67\\x.exe", "C:\\\x83\x5C\x83\x74\x83\x67\\", "x"}, // C:\ソフト\x.exe
        {"C:\\\x95\x5C\\\x83\x5C", "C:\\\x95\x5C\\", "\x83\x5C"},                       // C:\表\ソ
    };
    const Case western[] = {
        {"C:\\tools\\\x95\x5C\x8E\xA6.exe", "C:\\tools\\\x95\\", "\x8E\xA6"},
    };
    auto check = [](const Case& c) {
        std::string error;
        const auto paths = ComputeProgramPaths(c.exe, &error);
        ASSERT_TRUE(paths.has_value()) << error;
        EXPECT_EQ(paths->exeDir, c.exeDir);
        EXPECT_EQ(paths->appName, c.appName);
        EXPECT_EQ(paths->iniPath, std::string(c.exeDir) + "Glimmerfen.ini");
    };
    {
        test::ScopedCodePage codePage(932);
        if (codePage.Active()) {
            for (const Case& c : japanese) {
                check(c);
            }
        }
    }
    {
        test::ScopedCodePage codePage(1252);
        if (codePage.Active()) {
            for (const Case& c : western) {
                check(c);
            }
        }
    }
}

TEST(ProgramPaths, RefusesAnIniPathThatDoesNotFitIn260Characters) {
    // "Glimmerfen.ini" is 14 characters; the directory "C:\ddd...\" is chosen so the INI path has
    // exactly the given length.
    auto exeInDirectoryFor = [](std::size_t iniLength) {
        const std::size_t dirLength = iniLength - 14;
        std::string dir = "C:\\" + std::string(dirLength - 4, 'd') + "\\";
        EXPECT_EQ(dir.size(), dirLength);
        return dir + "x.exe";
    };
    struct Case {
        std::size_t iniLength;
        bool fits;
    };
    const Case cases[] = {{258, true}, {259, true}, {260, false}, {261, false}, {400, false}};
    for (const Case& c : cases) {
        std::string error;
        const auto paths = ComputeProgramPaths(exeInDirectoryFor(c.iniLength), &error);
        EXPECT_EQ(paths.has_value(), c.fits) << "INI path of " << c.iniLength << " characters";
        if (paths) {
            EXPECT_EQ(paths->iniPath.size(), c.iniLength);
            EXPECT_TRUE(error.empty());
        } else {
            // The string table's text in the user's language, and the folder that is too long.
            EXPECT_EQ(error, platform::LoadText(IDS_FOLDER_TOO_LONG) + "\n" +
                                 exeInDirectoryFor(c.iniLength).substr(0, c.iniLength - 14));
        }
    }
    // Without a place for the reason, the refusal is still a refusal.
    EXPECT_FALSE(ComputeProgramPaths(exeInDirectoryFor(260)).has_value());
}

TEST(ProgramPaths, RefusesAPathWithoutAFileName) {
    for (const char* exe : {"", "C:\\dir\\", "/opt/"}) {
        std::string error;
        EXPECT_FALSE(ComputeProgramPaths(exe, &error).has_value()) << '"' << exe << '"';
        EXPECT_FALSE(error.empty()) << '"' << exe << '"';
    }
}

} // namespace
} // namespace glimmerfen
