// The tray tick's decisions: pictures, how long each stays, tooltips, and the first-run question.
#include "ui/tray/TrayLogic.h"
#include "ui/framework/HelpLogic.h"

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <mutex>
#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/codepage_fixture.h"
#include "platform/strings.h"
#include "settings/Settings.h"
#include "res/resource.h"

namespace glimmerfen::ui {
namespace {

struct FrameCase {
    int drawn;
    AnimationFrame frame;
};

TEST(TrayFrame, LastDecimalDigitPicksPictureAndCountdown) {
    const FrameCase cases[] = {
        {0, {IDI_MAIN, 3}},    {1, {IDI_MAIN, 3}},      {2, {IDI_MAIN, 3}},    {13, {IDI_MAIN, 3}},
        {4, {IDI_ANIM1, 3}},   {25, {IDI_ANIM1, 3}},    {106, {IDI_ANIM1, 3}}, {32767, {IDI_ANIM1, 3}},
        {8, {IDI_ANIM2, 0}},   {32758, {IDI_ANIM2, 0}}, {9, {IDI_ANIM3, 0}},   {12349, {IDI_ANIM3, 0}},
        {-18, {IDI_ANIM2, 0}}, {-5, {IDI_ANIM1, 3}},
    };
    for (const FrameCase& c : cases) {
        EXPECT_EQ(FrameForNumber(c.drawn), c.frame) << "drawn " << c.drawn;
    }
}

TEST(TrayTip, HitCountFillsThePattern) {
    EXPECT_EQ(HitTip(3), "Glimmerfen Checker - 3hit");
    EXPECT_EQ(HitTip(1), "Glimmerfen Checker - 1hit");
    EXPECT_EQ(HitTip(INT_MAX), "Glimmerfen Checker - 2147483647hit");
    EXPECT_LT(HitTip(INT_MIN).size(), kTipCapacity);
}

TEST(TrayTip, ALongTipIsCutBeforeADoubleByteCharacterThatWouldNotFitWhole) {
    // Regression: the tip was cut at its last byte whatever stood there, leaving the lead byte of a
    // Shift-JIS character alone at the end, which the shell shows as garbage or joins with the terminator.
    GF_USE_CODE_PAGE_OR_SKIP(932);
    const std::string kanji = "\x8a\xc4"; // one double-byte character
    struct Case {
        std::string text;
        std::string fitted;
    };
    const Case cases[] = {
        {std::string(126, 'a') + kanji, std::string(126, 'a')},               // would end at byte 128
        {std::string(125, 'a') + kanji + "b", std::string(125, 'a') + kanji}, // ends exactly at byte 127
        {std::string(95, 'a') + std::string(kanji) + kanji + kanji + std::string(40, 'c'),
         std::string(95, 'a') + kanji + kanji + kanji + std::string(26, 'c')},
        {"Glimmerfen", "Glimmerfen"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitTip(c.text), c.fitted) << c.text.size() << " bytes";
    }
}

TEST(TrayTip, AnotherComputersNameIsKeptWholeAndTheTextCutBeforeIt) {
    GF_USE_CODE_PAGE_OR_SKIP(932);
    const std::string kanji = "\x8a\xc4", name = " - \\\\FS01"; // 118 bytes of room before the name
    const std::string cases[][3] = {
        {"Glimmerfen Checker - 3hit", "", "Glimmerfen Checker - 3hit"},
        {std::string(117, 'a') + kanji + "b", "FS01", std::string(117, 'a') + name},
        {std::string(116, 'a') + kanji + "b", "FS01", std::string(116, 'a') + kanji + name},
        {"tip", std::string(121, 'x') + kanji, " - \\\\" + std::string(121, 'x')}, // the name alone is too long
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WatchedTip(c[0], c[1]), c[2]) << c[0] << " / " << c[1];
    }
    ServerTipState state("FS01");
    EXPECT_EQ(state.Apply({true, IDI_MAIN, "Glimmerfen Checker - 2hit"}, 0).tip, "Glimmerfen Checker - 2hit" + name);
    EXPECT_EQ(state.Apply({false, 0, ""}, 53).tip, WatchedTip(platform::LoadText(IDS_TIP_SERVER_ERROR) + "53", "FS01"));
}

// Regression: the tip was cut at 63 of its 127 bytes, mid-name and mid-number; now the waiting line, then
// the name are kept whole and the first text gives way before a whole character.
TEST(TrayTip, TheWaitingLineAndTheServerNameAreKeptWholeInTheFullRecord) {
    // In 932 each 0x82 0x82 is a full-width 'b', whose trail byte is also a lead byte.
    struct Case {
        unsigned codePage, code; // code 0: the hit tip of INT_MAX entries, 5: access denied
        std::string computer;
        std::size_t keptText; // bytes kept of the first text, then the name part and the waiting line
        std::string namePart;
    };
    const std::string longName = "FS-" + std::string(60, 'x');
    const Case cases[] = {
        {1252, 0, longName, 34, " - \\\\" + longName},                                     // everything fits
        {1252, 0, std::string(90, 'y'), 11, " - \\\\" + std::string(90, 'y')},             // the first text is cut
        {932, 5, std::string(40, '\x82'), 49, " - \\\\" + std::string(40, '\x82')},        // Japanese, everything fits
        {932, 5, std::string(46, '\x82'), 47, " - \\\\" + std::string(46, '\x82')},        // cut before a character
        {932, 5, "A" + std::string(140, '\x82'), 0, " - \\\\A" + std::string(92, '\x82')}, // the name alone is too long
    };
    for (const Case& c : cases) {
        test::ScopedCodePage codePage(c.codePage);
        if (!codePage.Active()) {
            continue; // on Windows the system's code page decides
        }
        char note[128] = {};
        std::snprintf(note, sizeof note, platform::LoadText(IDS_TIP_LOG_WAITING).c_str(), 12345);
        const std::string first = c.code == 0 ? HitTip(INT_MAX) : ServerStateTip(c.code);
        ServerTipState state(c.computer);
        const std::string tip = state.Apply({true, IDI_MAIN, HitTip(INT_MAX)}, c.code, 12345).tip;
        ASSERT_GE(first.size(), c.keptText) << c.computer;
        EXPECT_EQ(tip, first.substr(0, c.keptText) + c.namePart + "\n" + note) << c.computer;
        EXPECT_LT(tip.size(), kTipCapacity) << c.computer;
    }
}

// Hands out the numbers of a script and counts how many were taken.
class Draws {
public:
    explicit Draws(std::deque<int> numbers) : numbers_(std::move(numbers)) {}
    std::function<int()> Source() {
        return [this] {
            ++taken;
            if (numbers_.empty()) {
                ADD_FAILURE() << "a number was drawn beyond the script";
                return 0;
            }
            const int n = numbers_.front();
            numbers_.pop_front();
            return n;
        };
    }
    int taken = 0;

private:
    std::deque<int> numbers_;
};

TEST(TrayAnimation, EmptyTableShowsIdleIconOnEveryTickWithoutDrawing) {
    TrayAnimation animation;
    Draws draws({});
    for (int tick = 0; tick < 3; ++tick) {
        const TrayTickResult r = animation.Tick(0, draws.Source());
        EXPECT_TRUE(r.modify);
        EXPECT_EQ(r.iconId, IDI_IDLE);
        EXPECT_EQ(r.tip, "Glimmerfen Checker");
    }
    EXPECT_EQ(draws.taken, 0);
    EXPECT_EQ(animation.Countdown(), -1);
}

TEST(TrayAnimation, FirstTickWithEntriesChoosesAPictureAtOnce) {
    TrayAnimation animation;
    Draws draws({1234});
    const TrayTickResult r = animation.Tick(3, draws.Source());
    EXPECT_TRUE(r.modify);
    EXPECT_EQ(r.iconId, IDI_ANIM1);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 3hit");
    EXPECT_EQ(draws.taken, 1);
}

// The picture chosen on each tick (0 = unchanged) for a run of ticks with entries.
std::vector<int> PicturesOverTicks(TrayAnimation& animation, Draws& draws, int ticks, int entryCount = 2) {
    std::vector<int> shown;
    for (int i = 0; i < ticks; ++i) {
        const TrayTickResult r = animation.Tick(entryCount, draws.Source());
        shown.push_back(r.modify ? r.iconId : 0);
    }
    return shown;
}

TEST(TrayAnimation, NumberEndingIn8StaysOneTickAndIn5StaysFour) {
    TrayAnimation animation;
    Draws draws({18, 5, 9, 40});
    const std::vector<int> shown = PicturesOverTicks(animation, draws, 7);
    // 18 -> 140 for one tick; 5 -> 139 for four ticks; 9 -> 141 for one tick; 40 -> 128.
    const std::vector<int> expected = {IDI_ANIM2, IDI_ANIM1, 0, 0, 0, IDI_ANIM3, IDI_MAIN};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(draws.taken, 4);
}

TEST(TrayAnimation, TooltipCountChangesOnlyWithThePicture) {
    TrayAnimation animation;
    Draws draws({0, 0});
    EXPECT_EQ(animation.Tick(1, draws.Source()).tip, "Glimmerfen Checker - 1hit");
    for (int n = 2; n <= 4; ++n) {
        EXPECT_FALSE(animation.Tick(n, draws.Source()).modify) << "count " << n;
    }
    const TrayTickResult r = animation.Tick(5, draws.Source());
    EXPECT_TRUE(r.modify);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 5hit");
}

// Ticks of the animation with the server's state over them: the state's tooltip replaces the animation's
// at once and on every change of picture, keeps the picture, and goes at once when the server answers.
TEST(ServerTipState, FailingEnumerationsOwnTheTooltipUntilTheyAnswerAgain) {
    struct Step {
        TrayTickResult tick; // what the animation decided
        std::uint32_t code;
        TrayTickResult shown; // what the icon gets (modify false: nothing)
        std::size_t waiting = 0;
        std::optional<pipe::ServiceLink> service = std::nullopt; // the tray as the window of a service
    };
    // The texts of the user interface's language.
    const std::string denied = platform::LoadText(IDS_TIP_ACCESS_DENIED);
    const std::string error53 = platform::LoadText(IDS_TIP_SERVER_ERROR) + "53";
    std::string wait7 = "\n" + platform::LoadText(IDS_TIP_LOG_WAITING);
    wait7.replace(wait7.find("%d"), 2, "7");
    const std::string stopped = platform::LoadText(IDS_TIP_SERVICE_NOT_RUNNING);
    const std::string silent = platform::LoadText(IDS_TIP_SERVICE_NOT_ANSWERING);
    using pipe::ServiceLink;
    const Step steps[] = {
        {{true, IDI_MAIN, "Glimmerfen Checker - 2hit"}, 0, {true, IDI_MAIN, "Glimmerfen Checker - 2hit"}},
        {{false, 0, ""}, 0, {true, IDI_MAIN, "Glimmerfen Checker - 2hit" + wait7}, 7}, // lines wait for the log
        {{false, 0, ""}, 0, {false, 0, ""}, 7},
        {{false, 0, ""}, 0, {true, IDI_MAIN, "Glimmerfen Checker - 2hit"}}, // written: the note goes
        {{false, 0, ""}, 5, {true, IDI_MAIN, denied}},                      // fails while the picture stays
        {{false, 0, ""}, 5, {false, 0, ""}},                                // nothing new
        {{true, IDI_IDLE, kIdleTip}, 5, {true, IDI_IDLE, denied}}, // entries aged out: idle picture, same state
        {{true, IDI_IDLE, kIdleTip}, 53, {true, IDI_IDLE, error53}},
        {{false, 0, ""}, 0, {true, IDI_IDLE, kIdleTip}}, // answers again: the animation's tooltip at once
        {{false, 0, ""}, 0, {false, 0, ""}},
        // The service behind the tray stops: said as a failing server is, and ahead of the server's code.
        {{false, 0, ""}, 0, {true, IDI_IDLE, stopped}, 0, ServiceLink::NotRunning},
        {{false, 0, ""}, 53, {false, 0, ""}, 0, ServiceLink::NotRunning},
        {{false, 0, ""}, 0, {true, IDI_IDLE, silent}, 0, ServiceLink::NotAnswering},
        {{false, 0, ""}, 0, {true, IDI_IDLE, kIdleTip}, 0, ServiceLink::Connected},
    };
    ServerTipState state;
    int n = 0;
    for (const Step& step : steps) {
        const TrayTickResult shown = state.Apply(step.tick, step.code, step.waiting, ServiceTipId(step.service));
        EXPECT_EQ(shown.modify, step.shown.modify) << "step " << n;
        if (step.shown.modify) {
            EXPECT_EQ(shown.iconId, step.shown.iconId) << "step " << n;
            EXPECT_EQ(shown.tip, step.shown.tip) << "step " << n;
        }
        ++n;
    }
}

TEST(TrayAnimation, EmptyTableDoesNotResetTheCountdown) {
    TrayAnimation animation;
    Draws draws({3, 7});
    EXPECT_EQ(animation.Tick(1, draws.Source()).iconId, IDI_MAIN); // countdown 3
    EXPECT_FALSE(animation.Tick(1, draws.Source()).modify);        // 2
    EXPECT_EQ(animation.Tick(0, draws.Source()).iconId, IDI_IDLE);
    EXPECT_EQ(animation.Tick(0, draws.Source()).iconId, IDI_IDLE);
    EXPECT_EQ(animation.Countdown(), 2);
    // The table fills again: the remaining countdown runs out before a picture comes.
    EXPECT_FALSE(animation.Tick(2, draws.Source()).modify); // 1
    EXPECT_FALSE(animation.Tick(2, draws.Source()).modify); // 0
    const TrayTickResult r = animation.Tick(2, draws.Source());
    EXPECT_EQ(r.iconId, IDI_ANIM1);
    EXPECT_EQ(r.tip, "Glimmerfen Checker - 2hit");
    EXPECT_EQ(draws.taken, 2);
}

// Shell notifications, a letter each (m move, d/u/D left down/up/double, r/R/x right ones, c menu request,
// s select, k key select, | menu closed), and each one's action (. none, L list, C menu at cursor, A at icon).
TEST(TrayNotifyRouter, MouseKeepsItsMeaningAndTheKeyboardReachesListAndMenu) {
    using namespace tray_event;
    const unsigned codes[] = {kMouseMove, kLeftDown,         kLeftUp,      kLeftDoubleClick, kRightDown,
                              kRightUp,   kRightDoubleClick, kContextMenu, kSelect,          kKeySelect};
    const std::pair<std::string, std::string> cases[] = {
        {"dus", "..."},    {"mdmus", "....."}, {"dusDus", "...L.."},   {"k", "L"},       {"s", "L"},
        {"rRc|", "C.."},   {"r|Rc", "C.."},    {"c|c|", "AA"},         {"cc|", "A."},    {"r|mc|", "C.A"},
        {"rmRc|", "C..."}, {"r|c|", "C."},     {"rRc|xRc|", "C....."}, {"rRc|k", "C..L"}};
    for (const auto& [sequence, expected] : cases) {
        TrayNotifyRouter router;
        std::string actions;
        for (const char e : sequence) {
            if (e == '|') {
                router.MenuClosed();
            } else {
                actions += ".LCA"[static_cast<int>(router.OnEvent(codes[std::string("mduDrRxcsk").find(e)]))];
            }
        }
        EXPECT_EQ(actions, expected) << sequence;
    }
}

TEST(FirstRunQuestion, AskedOnceAndTheAnswerDecidesTheShortcut) {
    AppSettings settings;
    EXPECT_TRUE(TakeFirstRunQuestion(settings));
    EXPECT_EQ(settings.InitFlag.load(), 1);
    EXPECT_FALSE(TakeFirstRunQuestion(settings));

    EXPECT_FALSE(AcceptStartupAnswer(settings, false));
    EXPECT_EQ(settings.ChkStartUp.load(), 0);
    EXPECT_TRUE(AcceptStartupAnswer(settings, true));
    EXPECT_EQ(settings.ChkStartUp.load(), 1);

    AppSettings asked;
    asked.InitFlag = 1;
    EXPECT_FALSE(TakeFirstRunQuestion(asked));
}

TEST(FirstRunQuestion, ConcurrentTicksAskOnlyOnce) {
    AppSettings settings;
    std::atomic<int> asked{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back([&] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            if (TakeFirstRunQuestion(settings)) {
                ++asked;
            }
        });
    }
    go = true;
    for (std::thread& t : threads) {
        t.join();
    }
    EXPECT_EQ(asked.load(), 1);
}

struct ManualCase {
    const char* name;
    const char* localized; // the string table's file name
    std::vector<std::string> present;
    const char* opened;
};

TEST(ManualToOpen, LanguageFirstThenEnglishThenTheNamedOneForTheMessage) {
    const std::vector<ManualCase> cases = {
        {"Japanese beside English", "manual_ja.chm", {"manual.chm", "manual_ja.chm"}, "manual_ja.chm"},
        // A folder that kept only the English manual still gives the Japanese user a manual.
        {"Japanese missing", "manual_ja.chm", {"manual.chm"}, "manual.chm"},
        {"neither", "manual_ja.chm", {}, "manual_ja.chm"},
        {"English program ignores the Japanese file", "manual.chm", {"manual_ja.chm"}, "manual.chm"},
        {"no name in the table", "", {"manual.chm"}, "manual.chm"},
    };
    const std::string dir = "C:\\Tools\\Glimmerfen\\";
    for (const ManualCase& c : cases) {
        const auto exists = [&](const std::string& path) {
            for (const std::string& file : c.present) {
                if (path == dir + file) {
                    return true;
                }
            }
            return false;
        };
        EXPECT_EQ(ManualToOpen(dir, c.localized, exists), dir + c.opened) << c.name;
    }
}

} // namespace
} // namespace glimmerfen::ui
