// Which copy of the program the event source's one key belongs to: when a start (or the ticked
// option) writes it and when /unregister removes it.
#include <optional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "platform/eventlog.h"

namespace glimmerfen {
namespace {

using platform::RegisterDecision;
using platform::SourceKey;
using platform::UnregisterDecision;

const std::string kThis = "C:\\Apps\\A\\GlimmerfenChecker.exe";
const std::string kOther = "D:\\Tools\\B\\GlimmerfenChecker.exe";
const std::string kGone = "E:\\Old\\GlimmerfenChecker.exe";
const std::string kListPath = "C:\\Apps\\a;b\\GlimmerfenChecker.exe";

std::optional<SourceKey> Key(const std::string& file, bool types = true) {
    return SourceKey{file, types};
}

TEST(EventSourceKey, WrittenOnlyWhenMissingStaleOrThisCopysOwnUnfinished) {
    const std::set<std::string> existing = {kThis, kOther, kListPath};
    const auto exists = [&](const std::string& path) { return existing.count(path) != 0; };
    struct Case {
        const char* what;
        std::optional<SourceKey> key;
        std::string exe;
        RegisterDecision expected;
    };
    const Case cases[] = {
        {"no key", std::nullopt, kThis, RegisterDecision::Write},
        {"key without a file", Key(""), kThis, RegisterDecision::Write},
        {"only separators", Key(";;"), kThis, RegisterDecision::Write},
        {"this copy", Key(kThis), kThis, RegisterDecision::Keep},
        {"this copy, other case and slashes", Key("c:/apps/a/GLIMMERFENCHECKER.EXE"), kThis, RegisterDecision::Keep},
        {"this copy without its types", Key(kThis, false), kThis, RegisterDecision::Write},
        {"another copy that exists", Key(kOther), kThis, RegisterDecision::Keep},
        {"another copy, types missing", Key(kOther, false), kThis, RegisterDecision::Keep},
        {"a copy that is gone", Key(kGone), kThis, RegisterDecision::Write},
        {"a name that only starts like this one", Key(kThis + ".old"), kThis, RegisterDecision::Write},
        {"a list holding this copy", Key(kOther + ";" + kThis, false), kThis, RegisterDecision::Keep},
        {"a list with a file gone", Key(kOther + ";" + kGone), kThis, RegisterDecision::Write},
        {"a list of existing files", Key(kOther + ";" + kOther), kThis, RegisterDecision::Keep},
        {"path with ';', no key", std::nullopt, kListPath, RegisterDecision::PathHasList},
        {"path with ';', stale key", Key(kGone), kListPath, RegisterDecision::PathHasList},
        {"path with ';', another copy's key", Key(kOther), kListPath, RegisterDecision::Keep},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::DecideRegistration(c.key, c.exe, exists), c.expected) << c.what;
    }
}

TEST(EventSourceKey, UnregisterRemovesOnlyThisCopysKey) {
    struct Case {
        const char* what;
        std::optional<SourceKey> key;
        UnregisterDecision expected;
    };
    const Case cases[] = {
        {"no key", std::nullopt, UnregisterDecision::NoKey},
        {"this copy", Key(kThis), UnregisterDecision::Remove},
        {"this copy, other case", Key("C:\\APPS\\a\\glimmerfenchecker.EXE", false), UnregisterDecision::Remove},
        {"a key naming no file", Key(""), UnregisterDecision::Remove},
        {"a list holding this copy", Key(kOther + ";" + kThis), UnregisterDecision::Remove},
        {"another copy", Key(kOther), UnregisterDecision::LeaveOther},
        {"a copy that is gone", Key(kGone), UnregisterDecision::LeaveOther},
        {"a name that only starts like this one", Key(kThis + "x"), UnregisterDecision::LeaveOther},
        {"a folder above this one", Key("C:\\Apps\\A"), UnregisterDecision::LeaveOther},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::DecideUnregistration(c.key, kThis), c.expected) << c.what;
    }
}

} // namespace
} // namespace glimmerfen
