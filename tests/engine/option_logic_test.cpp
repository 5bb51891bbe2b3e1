// The option pages' rules that need no window: number corrections, the computer rule's enabling, what
// the pages show, and what Apply stores and writes.
#include "ui/options/OptionLogic.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/temp_dir.h"
#include "settings/Settings.h"

namespace glimmerfen {
namespace {

using test::ReadBytes;
using test::TempDir;
using ui::CorrectNumber;
using ui::NumberBox;

TEST(OptionNumbers, CorrectionsOfEveryBox) {
    struct Case {
        NumberBox box;
        const char* typed;
        const char* shown; // nullptr: stands as typed
    };
    const Case cases[] = {
        {NumberBox::PopupSeconds, "250", "100"},
        {NumberBox::PopupSeconds, "", "1"},
        {NumberBox::PopupSeconds, "0", "1"},
        {NumberBox::PopupSeconds, "1", nullptr},
        {NumberBox::PopupSeconds, "100", nullptr},
        {NumberBox::PopupSeconds, "101", "100"},
        {NumberBox::PopupSeconds, "99999999999999999999", "100"},
        {NumberBox::DisconnectAfter, "5000", "1000"},
        {NumberBox::DisconnectAfter, "0", nullptr},
        {NumberBox::DisconnectAfter, "1000", nullptr},
        {NumberBox::DisconnectAfter, "", "0"},
        {NumberBox::DisconnectAfter, "007", "7"},
        {NumberBox::LogDays, "0", nullptr},
        {NumberBox::LogDays, "500", nullptr},
        {NumberBox::LogDays, "", "0"},
        {NumberBox::LogDays, "-3", "0"},
        {NumberBox::Interval, "", "1"},
        {NumberBox::Interval, "20000", "10000"},
        {NumberBox::Interval, "10000", nullptr},
        {NumberBox::Interval, "1", nullptr},
        {NumberBox::Interval, "0", "1"},
    };
    for (const Case& c : cases) {
        const auto corrected = CorrectNumber(c.box, c.typed);
        if (c.shown == nullptr) {
            EXPECT_FALSE(corrected.has_value()) << static_cast<int>(c.box) << " '" << c.typed << "' -> " << *corrected;
        } else {
            ASSERT_TRUE(corrected.has_value()) << static_cast<int>(c.box) << " '" << c.typed << "'";
            EXPECT_EQ(*corrected, c.shown) << static_cast<int>(c.box) << " '" << c.typed << "'";
            // Writing the correction back changes the text again: it must stand, or the box would
            // correct itself for ever.
            EXPECT_FALSE(CorrectNumber(c.box, *corrected).has_value()) << *corrected;
        }
    }
    EXPECT_EQ(ui::ReadNumber("12abc"), 12);
    EXPECT_EQ(ui::ReadNumber("abc"), 0);
    EXPECT_EQ(ui::ReadNumber("-15"), -15);
}

TEST(OptionDisconnectPage, ComputerRuleEnabling) {
    using ui::PcRuleEnabling;
    // Unticking the rule greys both options and both lists; ticking it again enables the options and
    // exactly the list of the ticked option.
    EXPECT_EQ(ui::PcRuleEnablingFor(false, true), (PcRuleEnabling{false, false, false}));
    EXPECT_EQ(ui::PcRuleEnablingFor(false, false), (PcRuleEnabling{false, false, false}));
    EXPECT_EQ(ui::PcRuleEnablingFor(true, true), (PcRuleEnabling{true, true, false}));
    EXPECT_EQ(ui::PcRuleEnablingFor(true, false), (PcRuleEnabling{true, false, true}));
}

TEST(OptionPages, WhatThePagesShow) {
    AppSettings s;
    s.DisJuncPcFlag = 0;
    s.DisJuncOkPcFlag = 0;
    s.DisJuncNgPcFlag = 0; // not consulted: the denied option is ticked whenever the acceptable one is not
    s.DisJuncOkPcStr.Set("PC1;PC2");
    s.DlgPopCloseFlag = 7;
    s.TopDlg = 5;
    s.ThreadLevel1 = 3; // none of the seven
    s.ThreadLevel2 = -15;
    s.CycleTime1 = 20;
    s.IntermitCheck = 1;

    const auto view = ui::ViewPageFrom(s);
    EXPECT_EQ(view.closeChoice, -1) << "an unknown close flag ticks no option";
    EXPECT_FALSE(view.PopupSecondsEnabled());
    EXPECT_EQ(view.topDlg, 1) << "a non-zero setting shows ticked";
    const auto disconnect = ui::DisconnectPageFrom(s);
    EXPECT_EQ(disconnect.acceptable, 0);
    EXPECT_EQ(disconnect.denied, 1);
    EXPECT_EQ(disconnect.acceptableList, "PC1;PC2") << "the stored lists are shown even with the rule off";
    const auto advanced = ui::AdvancedPageFrom(s);
    EXPECT_EQ(advanced.monitorPriority, -1);
    EXPECT_EQ(advanced.listPriority, 6);
    EXPECT_EQ(advanced.momentary, 0) << "\"Momentary Set\" starts released at every opening";
}

// The keys of section "Setting" in file order, with their values.
std::vector<std::string> KeysOf(const std::string& file) {
    std::vector<std::string> lines;
    std::size_t at = file.find("\r\n");
    while (at != std::string::npos && at + 2 < file.size()) {
        const std::size_t end = file.find("\r\n", at + 2);
        lines.push_back(file.substr(at + 2, end - at - 2));
        at = end;
    }
    return lines;
}

const std::vector<std::string> kAppliedDefaults = {
    "InitFlag=1",        "LogOut=1",        "LogSetDays=3",      "LogChkOkPc=0",       "LogChkDisMsg=0",
    "ViewTime=30",       "StartDlg=0",      "TopDlg=1",          "DlgPopFlag=0",       "DlgPopTime=10",
    "DlgPopCloseFlag=0", "DlgPopChkOkPc=0", "DisJuncPcFlag=0",   "DisJuncOkPcFlag=0",  "DisJuncNgPcFlag=1",
    "DisJuncOkPcStr=",   "DisJuncNgPcStr=", "DisJuncFileFlag=0", "DisJuncFileStr=eml", "DisJuncTimerFlag=0",
    "DisJuncTimer=20",   "ChkStartUp=0",    "ThreadLevel1=0",    "ThreadLevel2=0",     "CycleTime1=20",
    "CycleTime2=1000",   "[Network]",       "EventLog=0",        "[Notice]",           "RuleCut=1",
    "Server=1",          "Log=1",
};

struct Effects {
    int shortcut = 0;
    int topmost = 0;
    std::vector<std::string> order;
    ui::ApplyEffects Hooks(const AppSettings& s) {
        ui::ApplyEffects hooks;
        hooks.updateStartupShortcut = [this, &s] {
            ++shortcut;
            order.push_back("shortcut ChkStartUp=" + std::to_string(s.ChkStartUp.load()));
        };
        hooks.applyTopmost = [this] {
            ++topmost;
            order.push_back("topmost");
        };
        hooks.applyPriorities = [this, &s] {
            order.push_back("priorities " + std::to_string(s.ThreadLevel1.load()) + " " +
                            std::to_string(s.ThreadLevel2.load()));
        };
        hooks.eventLogTicked = [this, &s] {
            order.push_back("event source EventLog=" + std::to_string(s.EventLog.load()));
        };
        return hooks;
    }
};

TEST(OptionApply, PagesNeverShownWriteEveryKeyAsItStands) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    AppSettings s;
    LoadSettings(s, ini);
    s.InitFlag = 1;
    s.IntermitCheck = 1; // from an earlier Apply with "Momentary Set": this Apply clears it
    s.MsgFrom.Set("kept out");
    Effects effects;
    ui::ApplyOptionPages(s, {}, effects.Hooks(s), ini);
    EXPECT_EQ(KeysOf(ReadBytes(ini)), kAppliedDefaults);
    EXPECT_EQ(s.IntermitCheck.load(), 0);
    EXPECT_EQ(effects.order, std::vector<std::string>{}) << "no page shown, no side effect";
}

TEST(OptionApply, EveryPageStoredAndWrittenInOrder) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    AppSettings s;
    LoadSettings(s, ini);
    s.InitFlag = 1;

    ui::OptionPages pages;
    pages.view = ui::ViewPageFrom(s);
    pages.view->startDlg = 1;
    pages.view->closeChoice = 1;
    pages.view->dlgPopTime = 45;
    pages.view->chkStartUp = 1;
    pages.disconnect = ui::DisconnectPageFrom(s);
    pages.disconnect->pcFlag = 1;
    pages.disconnect->acceptable = 1;
    pages.disconnect->denied = 0;
    pages.disconnect->acceptableList = "PC1 ; PC2"; // taken as it stands, without trimming
    pages.disconnect->timer = 0;
    pages.log = ui::LogPageFrom(s);
    pages.log->logSetDays = 0;
    pages.log->eventLog = 1;
    pages.advanced = ui::AdvancedInitial(ui::AdvancedPageFrom(s));
    pages.advanced->monitorPriority = 6;
    pages.advanced->listInterval = 5000;
    pages.notices = ui::NoticePageFrom(s);
    pages.notices->server = 0;

    Effects effects;
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    std::vector<std::string> expected = kAppliedDefaults;
    expected[6] = "StartDlg=1";
    expected[9] = "DlgPopTime=45";
    expected[10] = "DlgPopCloseFlag=1";
    expected[12] = "DisJuncPcFlag=1";
    expected[13] = "DisJuncOkPcFlag=1";
    expected[14] = "DisJuncNgPcFlag=0";
    expected[15] = "DisJuncOkPcStr=PC1 ; PC2";
    expected[20] = "DisJuncTimer=0";
    expected[2] = "LogSetDays=0";
    expected[21] = "ChkStartUp=1";
    expected[22] = "ThreadLevel1=-15";
    expected[25] = "CycleTime2=5000";
    expected[27] = "EventLog=1";
    expected[30] = "Server=0";
    EXPECT_EQ(KeysOf(ReadBytes(ini)), expected);
    EXPECT_EQ(s.NoticeServer.load(), 0);
    EXPECT_EQ(effects.order, (std::vector<std::string>{"shortcut ChkStartUp=1", "topmost", "priorities -15 0",
                                                       "event source EventLog=1"}))
        << "the shortcut follows the new ChkStartUp, the topmost state comes after the page, the threads "
           "take their stored priorities, the event source is registered once the ticked box is stored";
    EXPECT_EQ(s.DisJuncOkPcStr.Get(), "PC1 ; PC2");

    // The same page values again: the box equals ChkStartUp now, so the Startup folder is not touched,
    // and the event log's box was ticked already, so the registration is not tried again.
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    EXPECT_EQ(effects.shortcut, 1);
    EXPECT_EQ(effects.topmost, 2);
    EXPECT_EQ(effects.order.size(), 6u) << ::testing::PrintToString(effects.order);

    // Cleared registers nothing; ticked again registers again.
    effects.order.clear();
    pages.log->eventLog = 0;
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    pages.log->eventLog = 1;
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    EXPECT_EQ(effects.order, (std::vector<std::string>{"topmost", "priorities -15 0", "topmost", "priorities -15 0",
                                                       "event source EventLog=1"}));
}

TEST(OptionApply, MomentarySetKeepsTheFileThreadKeys) {
    TempDir dir;
    const std::string ini = dir.File("Glimmerfen.ini");
    test::WriteBytes(ini, "[Setting]\r\nThreadLevel1=2\r\nThreadLevel2=-1\r\nCycleTime1=50\r\nCycleTime2=700\r\n");
    AppSettings s;
    LoadSettings(s, ini);
    ui::OptionPages pages;
    pages.advanced = ui::AdvancedInitial(ui::AdvancedPageFrom(s));
    pages.advanced->momentary = 1;
    Effects effects;
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    // The running threads get the new values ...
    EXPECT_EQ(s.ThreadLevel1.load(), 0);
    EXPECT_EQ(s.CycleTime1.load(), 20);
    EXPECT_EQ(s.CycleTime2.load(), 1000);
    EXPECT_EQ(s.IntermitCheck.load(), 1);
    // ... the file keeps its own, and nothing of them is written after ChkStartUp.
    const std::vector<std::string> keys = KeysOf(ReadBytes(ini));
    ASSERT_GE(keys.size(), 11u);
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 4),
              (std::vector<std::string>{"ThreadLevel1=2", "ThreadLevel2=-1", "CycleTime1=50", "CycleTime2=700"}));
    EXPECT_EQ(std::vector<std::string>(keys.end() - 7, keys.end()),
              (std::vector<std::string>{"ChkStartUp=0", "[Network]", "EventLog=0", "[Notice]", "RuleCut=1", "Server=1",
                                        "Log=1"}));

    // A list without a selection keeps the setting; Apply with the button released writes them.
    s.ThreadLevel2 = 3;
    pages.advanced = ui::AdvancedPageFrom(s);
    ui::ApplyOptionPages(s, pages, effects.Hooks(s), ini);
    EXPECT_EQ(s.ThreadLevel2.load(), 3);
    EXPECT_EQ(s.IntermitCheck.load(), 0);
    AppSettings reloaded;
    LoadSettings(reloaded, ini);
    EXPECT_EQ(reloaded.ThreadLevel1.load(), 0);
    EXPECT_EQ(reloaded.ThreadLevel2.load(), 3);
    EXPECT_EQ(reloaded.CycleTime1.load(), 20);
}

// A poll reads the acceptable selector, then the denied one. Apply switching to the acceptable list
// clears the denied selector first, or a poll in between cuts computers off by both lists. A watcher
// reads them as a poll does while Apply runs (seeing the acceptable one set proves the denied one was
// cleared before, so a report is never false); a wrong order is caught within a few rounds.
TEST(OptionApply, SwitchingToTheAcceptableListNeverChoosesBothLists) {
    TempDir dir;
    AppSettings s;
    ui::OptionPages pages;
    pages.disconnect.emplace();
    pages.disconnect->pcFlag = 1;
    pages.disconnect->acceptable = 1;
    std::atomic<int> phase{0}, seen{0}; // odd phases are watched, -1 ends the watcher
    std::atomic<bool> both{false};
    std::thread watcher([&] {
        for (int p = phase.load(); p >= 0; p = phase.load()) {
            seen = p;
            while (p % 2 == 1 && phase.load() == p) {
                both = both || (s.DisJuncOkPcFlag.load() != 0 && s.DisJuncNgPcFlag.load() != 0);
            }
        }
    });
    auto enter = [&](int p) {
        for (phase = p; seen.load() != p;) {
            std::this_thread::yield();
        }
    };
    for (int round = 0; round < 300 && !both; ++round) {
        s.DisJuncOkPcFlag = 0;
        s.DisJuncNgPcFlag = 1;
        enter(2 * round + 1);
        ui::ApplyOptionPages(s, pages, {}, dir.File("Glimmerfen.ini"));
        enter(2 * round + 2);
    }
    phase = -1;
    watcher.join();
    EXPECT_FALSE(both) << "a poll during Apply saw both computer lists chosen";
}

} // namespace
} // namespace glimmerfen
