// Runs a test in a given ANSI code page. The portable layer is switched through its test hook (code
// page 932 comes with the Japanese texts, 1252 with the English ones); on Windows the system decides,
// so a test whose code page is not the system's is skipped. ctest runs the Windows tests once plainly
// and once with LANG=ja_JP.UTF-8, so each case runs in one of the two runs.
#pragma once

#include <optional>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#ifndef _WIN32
#include "platform/posix/testing.h"
#endif

namespace glimmerfen::test {

// Holds the code page (and its language) for its lifetime and then restores what was in force.
class ScopedCodePage {
public:
    explicit ScopedCodePage(unsigned codePage) {
#ifdef _WIN32
        active_ = platform::AnsiCodePage() == codePage;
#else
        previousJapanese_ = platform::JapaneseTextsForTesting();
        previousCodePage_ = platform::AnsiCodePage();
        platform::SetLanguageAndCodePageForTesting(codePage == 932, codePage);
        active_ = true;
#endif
    }
    ~ScopedCodePage() {
#ifndef _WIN32
        platform::SetLanguageAndCodePageForTesting(previousJapanese_, previousCodePage_);
#endif
    }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;

    // False when the code page could not be put in force (Windows in another code page).
    bool Active() const {
        return active_;
    }

private:
    bool active_ = false;
#ifndef _WIN32
    bool previousJapanese_ = false;
    unsigned previousCodePage_ = 1252;
#endif
};

// Fixture: every test of it runs in the code page, or is skipped.
template <unsigned CodePage>
class CodePageTest : public ::testing::Test {
protected:
    void SetUp() override {
        scope_.emplace(CodePage);
        if (!scope_->Active()) {
            GTEST_SKIP() << "needs ANSI code page " << CodePage << "; the system's is " << platform::AnsiCodePage();
        }
    }
    void TearDown() override { scope_.reset(); }

private:
    std::optional<ScopedCodePage> scope_;
};

using CodePage932Test = CodePageTest<932>;
using CodePage1252Test = CodePageTest<1252>;

} // namespace glimmerfen::test

// For a test that is not a CodePageTest: switches to the code page for the rest of the enclosing
// block, or skips the test.
#define GF_USE_CODE_PAGE_OR_SKIP(codePage)                                                                             \
    ::glimmerfen::test::ScopedCodePage gfCodePageScope(codePage);                                                      \
    if (!gfCodePageScope.Active())                                                                                     \
    GTEST_SKIP() << "needs ANSI code page " << (codePage) << "; the system's is "                                      \
                 << ::glimmerfen::platform::AnsiCodePage()
