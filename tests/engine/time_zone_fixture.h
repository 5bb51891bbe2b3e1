// Tests of local-time texts run in Tokyo (UTC+9, no daylight saving). Natively the zone is switched
// for the test and restored afterwards; on Windows the system's zone is used (Wine takes it from TZ),
// so such a test needs TZ=Asia/Tokyo, which the test run sets, and is skipped otherwise.
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace glimmerfen::test {

class TokyoZoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* zone = std::getenv("TZ");
#ifdef _WIN32
        if (zone == nullptr || std::string(zone) != "Asia/Tokyo") {
            GTEST_SKIP() << "needs TZ=Asia/Tokyo";
        }
#else
        if (zone != nullptr) {
            previous_ = zone;
        }
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
#endif
    }
    void TearDown() override {
#ifndef _WIN32
        if (previous_) {
            setenv("TZ", previous_->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
#endif
    }

private:
    std::optional<std::string> previous_;
};

} // namespace glimmerfen::test
