// The Win32 server layer on Wine's own netapi32, which has no NetSessionDel (calling it aborts the
// process) and an NetSessionEnum that returns success without touching its outputs. This program runs
// with WINEDLLOVERRIDES=netapi32=b, which passes over the stand-in in the system folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>

#include "monitor/ServerAccess.h"
#include "platform/netserver.h"

namespace glimmerfen {
namespace {

using platform::LocalServer;

class WineBuiltinNetApiTest : public ::testing::Test {
protected:
    void SetUp() override {
        LocalServer(); // loads the library
        const HMODULE netapi = GetModuleHandleW(L"netapi32.dll");
        ASSERT_NE(netapi, nullptr);
        ASSERT_EQ(GetProcAddress(netapi, "GlimmerfenSimScenarioStatus"), nullptr)
            << "the stand-in netapi32.dll was loaded; this test needs Wine's own";
        const auto* image = reinterpret_cast<const char*>(netapi);
        if (std::memcmp(image + 0x40, "Wine builtin DLL", 16) != 0) {
            GTEST_SKIP() << "netapi32 is not Wine's built-in library";
        }
    }
};

TEST_F(WineBuiltinNetApiTest, DeletionReportsNotSupportedAndTheProcessLives) {
    EXPECT_EQ(LocalServer().DeleteSession("\\\\PC01", "alice"), platform::kErrorNotSupported);
    EXPECT_EQ(LocalServer().DeleteSession("\\\\", ""), platform::kErrorNotSupported);
    const std::string expected =
        GetACP() == 932 ? "\x90\xd8\x92\x66\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd(Error:50)"
                        : "Disconnect Error (Error:50)";
    EXPECT_EQ(DisconnectSession(LocalServer(), "\\\\PC01", "alice"), expected);
}

// NetSessionEnum reports success without setting the buffer or the counts, and NetFileEnum fails with
// 50: no records, again and again.
TEST_F(WineBuiltinNetApiTest, EnumerationsGiveNoRecords) {
    for (int poll = 0; poll < 3; ++poll) {
        EXPECT_TRUE(EnumerateSessions(LocalServer()).empty());
        EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "").empty());
        EXPECT_TRUE(EnumerateOpenFiles(LocalServer(), "alice").empty());
    }
}

} // namespace
} // namespace glimmerfen
