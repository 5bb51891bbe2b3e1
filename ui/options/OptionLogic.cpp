#include "ui/options/OptionLogic.h"

#include <climits>
#include <string>

#include "settings/Settings.h"

namespace glimmerfen::ui {

int ReadNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) {
            value = static_cast<long long>(INT_MAX) + 1;
        }
    }
    if (negative) {
        return static_cast<int>(-value);
    }
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

namespace {

// A number inside [low, high] stands as typed; outside it the text becomes the nearer bound.
std::optional<std::string> ReplaceOutside(std::string_view text, int low, int high) {
    const int value = ReadNumber(text);
    if (value > high) {
        return std::to_string(high);
    }
    if (value < low) {
        return std::to_string(low);
    }
    return std::nullopt;
}

// The number, clamped, in plain decimal: leading zeros and stray characters go too.
std::optional<std::string> Normalise(std::string_view text, int low, int high) {
    int value = ReadNumber(text);
    value = value < low ? low : (value > high ? high : value);
    std::string plain = std::to_string(value);
    if (plain == text) {
        return std::nullopt;
    }
    return plain;
}

} // namespace

std::optional<std::string> CorrectNumber(NumberBox box, std::string_view text) {
    switch (box) {
    case NumberBox::PopupSeconds:
        return ReplaceOutside(text, 1, 100);
    case NumberBox::DisconnectAfter:
        return Normalise(text, 0, 1000);
    case NumberBox::LogDays:
        return Normalise(text, 0, INT_MAX);
    case NumberBox::Interval:
        return ReplaceOutside(text, 1, 10000);
    }
    return std::nullopt;
}

PcRuleEnabling PcRuleEnablingFor(bool ruleTicked, bool acceptableTicked) {
    if (!ruleTicked) {
        return {};
    }
    return {true, acceptableTicked, !acceptableTicked};
}

int PriorityIndex(int value) {
    for (int i = 0; i < static_cast<int>(std::size(kPriorities)); ++i) {
        if (kPriorities[i].value == value) {
            return i;
        }
    }
    return -1;
}

namespace {

int Ticked(int setting) {
    return setting != 0 ? 1 : 0;
}

} // namespace

ViewPageValues ViewPageFrom(const AppSettings& s) {
    ViewPageValues v;
    v.startDlg = Ticked(s.StartDlg.load());
    v.topDlg = Ticked(s.TopDlg.load());
    v.dlgPopFlag = Ticked(s.DlgPopFlag.load());
    const int close = s.DlgPopCloseFlag.load();
    v.closeChoice = close >= 0 && close <= 2 ? close : -1;
    v.dlgPopTime = s.DlgPopTime.load();
    v.dlgPopChkOkPc = Ticked(s.DlgPopChkOkPc.load());
    v.chkStartUp = Ticked(s.ChkStartUp.load());
    return v;
}

DisconnectPageValues DisconnectPageFrom(const AppSettings& s) {
    DisconnectPageValues v;
    v.pcFlag = Ticked(s.DisJuncPcFlag.load());
    // The options follow the acceptable flag alone: the denied one is its opposite after any Apply.
    v.acceptable = Ticked(s.DisJuncOkPcFlag.load());
    v.denied = 1 - v.acceptable;
    v.acceptableList = s.DisJuncOkPcStr.Get();
    v.deniedList = s.DisJuncNgPcStr.Get();
    v.fileFlag = Ticked(s.DisJuncFileFlag.load());
    v.extensions = s.DisJuncFileStr.Get();
    v.timerFlag = Ticked(s.DisJuncTimerFlag.load());
    v.timer = s.DisJuncTimer.load();
    return v;
}

LogPageValues LogPageFrom(const AppSettings& s) {
    return {Ticked(s.LogOut.load()), s.LogSetDays.load(), Ticked(s.LogChkDisMsg.load()), Ticked(s.LogChkOkPc.load()),
            Ticked(s.EventLog.load())};
}

NoticePageValues NoticePageFrom(const AppSettings& settings) {
    return {settings.NoticeRuleCut.load() != 0 ? 1 : 0, settings.NoticeServer.load() != 0 ? 1 : 0,
            settings.NoticeLog.load() != 0 ? 1 : 0};
}

AdvancedPageValues AdvancedPageFrom(const AppSettings& s) {
    AdvancedPageValues v;
    v.listPriority = PriorityIndex(s.ThreadLevel2.load());
    v.listInterval = s.CycleTime2.load();
    v.monitorPriority = PriorityIndex(s.ThreadLevel1.load());
    v.monitorInterval = s.CycleTime1.load();
    v.momentary = 0;
    return v;
}

AdvancedPageValues AdvancedInitial(const AdvancedPageValues& shown) {
    AdvancedPageValues v = shown;
    v.listPriority = kNormalPriorityIndex;
    v.monitorPriority = kNormalPriorityIndex;
    v.monitorInterval = 20;
    v.listInterval = 1000;
    return v;
}

namespace {

void StorePriority(std::atomic<int>& field, int index) {
    // Without a selection the setting keeps its value (one of none of the seven, say).
    if (index >= 0 && index < static_cast<int>(std::size(kPriorities))) {
        field.store(kPriorities[index].value);
    }
}

void Run(const std::function<void()>& effect) {
    if (effect) {
        effect();
    }
}

} // namespace

void ApplyOptionPages(AppSettings& s, const OptionPages& pages, const ApplyEffects& effects,
                      const std::string& iniPath) {
    if (const auto& v = pages.view) {
        s.StartDlg.store(v->startDlg);
        s.TopDlg.store(v->topDlg);
        s.DlgPopFlag.store(v->dlgPopFlag);
        s.DlgPopChkOkPc.store(v->dlgPopChkOkPc);
        s.DlgPopTime.store(v->dlgPopTime);
        if (v->closeChoice >= 0) {
            s.DlgPopCloseFlag.store(v->closeChoice);
        }
        if (v->chkStartUp != s.ChkStartUp.load()) {
            s.ChkStartUp.store(v->chkStartUp);
            Run(effects.updateStartupShortcut);
        }
        Run(effects.applyTopmost);
    }
    if (const auto& v = pages.disconnect) {
        s.DisJuncPcFlag.store(v->pcFlag);
        // The selector that goes off is cleared before the other is set: a poll in between sees
        // neither list chosen for once, never both.
        if (v->acceptable != 0) {
            s.DisJuncNgPcFlag.store(v->denied);
            s.DisJuncOkPcFlag.store(v->acceptable);
        } else {
            s.DisJuncOkPcFlag.store(v->acceptable);
            s.DisJuncNgPcFlag.store(v->denied);
        }
        s.DisJuncOkPcStr.Set(v->acceptableList);
        s.DisJuncNgPcStr.Set(v->deniedList);
        s.DisJuncFileFlag.store(v->fileFlag);
        s.DisJuncFileStr.Set(v->extensions);
        s.DisJuncTimerFlag.store(v->timerFlag);
        s.DisJuncTimer.store(v->timer);
    }
    bool eventLogTicked = false;
    if (const auto& v = pages.log) {
        eventLogTicked = v->eventLog != 0 && s.EventLog.load() == 0;
        s.LogOut.store(v->logOut);
        s.LogSetDays.store(v->logSetDays);
        s.LogChkDisMsg.store(v->logChkDisMsg);
        s.LogChkOkPc.store(v->logChkOkPc);
        s.EventLog.store(v->eventLog);
    }
    // The running monitors take the periods at their next timer and the priorities when told.
    s.IntermitCheck.store(0);
    if (const auto& v = pages.advanced) {
        StorePriority(s.ThreadLevel1, v->monitorPriority);
        s.CycleTime1.store(v->monitorInterval);
        StorePriority(s.ThreadLevel2, v->listPriority);
        s.CycleTime2.store(v->listInterval);
        s.IntermitCheck.store(v->momentary != 0 ? 1 : 0);
        Run(effects.applyPriorities);
    }
    if (const auto& v = pages.notices) {
        s.NoticeRuleCut.store(v->ruleCut != 0 ? 1 : 0);
        s.NoticeServer.store(v->server != 0 ? 1 : 0);
        s.NoticeLog.store(v->log != 0 ? 1 : 0);
    }
    SaveAppliedSettings(s, iniPath);
    if (eventLogTicked && effects.eventLogTicked) {
        effects.eventLogTicked();
    }
}

} // namespace glimmerfen::ui
