#include "ui/tray/TrayLogic.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>

#include "platform/ansitext.h"
#include "platform/strings.h"
#include "settings/Settings.h"
#include "res/resource.h"

namespace glimmerfen::ui {

std::string HitTip(int entryCount) {
    char tip[kTipCapacity];
    std::snprintf(tip, sizeof tip, "Glimmerfen Checker - %dhit", entryCount);
    return tip;
}

std::string FitTip(const std::string& text) {
    return TruncateAnsi(text, kTipCapacity - 1);
}

namespace {

// The text and " - \\\\" with the name in at most room bytes: the text is cut first, then the name.
std::string FitWatched(const std::string& text, const std::string& computer, std::size_t room) {
    if (computer.empty()) {
        return TruncateAnsi(text, room);
    }
    const std::string suffix = " - \\\\" + computer;
    const std::size_t textRoom = room > suffix.size() ? room - suffix.size() : 0;
    return TruncateAnsi(TruncateAnsi(text, textRoom) + suffix, room);
}

} // namespace

std::string WatchedTip(const std::string& text, const std::string& computer) {
    return FitWatched(text, computer, kTipCapacity - 1);
}

std::string WatchedTipWithNote(const std::string& text, const std::string& computer, const std::string& note) {
    if (note.empty()) {
        return WatchedTip(text, computer);
    }
    const std::string second = FitTip("\n" + note);
    return FitWatched(text, computer, kTipCapacity - 1 - second.size()) + second;
}

AnimationFrame FrameForNumber(int drawn) {
    // The last digit of the number written in decimal: a minus sign does not change it.
    int digit = drawn % 10;
    if (digit < 0) {
        digit = -digit;
    }
    if (digit <= 3) {
        return {IDI_MAIN, 3};
    }
    if (digit <= 7) {
        return {IDI_ANIM1, 3};
    }
    if (digit == 8) {
        return {IDI_ANIM2, 0};
    }
    return {IDI_ANIM3, 0};
}

TrayTickResult TrayAnimation::Tick(int entryCount, const std::function<int()>& draw) {
    TrayTickResult result;
    if (entryCount > 0) {
        --animCountdown_;
        if (animCountdown_ < 0) {
            const AnimationFrame frame = FrameForNumber(draw());
            animCountdown_ = frame.countdown;
            result.modify = true;
            result.iconId = frame.iconId;
            result.tip = HitTip(entryCount);
        }
        return result;
    }
    result.modify = true;
    result.iconId = IDI_IDLE;
    result.tip = kIdleTip;
    return result;
}

TrayAction TrayNotifyRouter::OnEvent(unsigned event) {
    using namespace tray_event;
    TrayAction menu = TrayAction::None;
    switch (event) {
    case kMouseMove:
        // The pointer back over the icon once its menu has gone: the right click is over, also when its
        // release went to the menu and the shell never saw it (and so sends no menu request).
        if (!menuOpen_) {
            rightClick_ = false;
        }
        return TrayAction::None;
    case kLeftUp:
    case kRightUp:
        return TrayAction::None;
    case kNoticeClick:
        return TrayAction::NoticeClicked;
    case kLeftDown:
    case kLeftDoubleClick:
        leftClick_ = true;
        rightClick_ = false;
        return event == kLeftDoubleClick ? TrayAction::ShowList : TrayAction::None;
    case kSelect:
    case kKeySelect: {
        const bool afterClick = event == kSelect && leftClick_;
        leftClick_ = false;
        rightClick_ = false;
        return afterClick ? TrayAction::None : TrayAction::ShowList;
    }
    case kRightDown:
    case kRightDoubleClick:
        // Only the press opens the menu; the second click of a double click does not.
        leftClick_ = false;
        rightClick_ = true;
        menu = event == kRightDown ? TrayAction::MenuAtCursor : TrayAction::None;
        break;
    case kContextMenu:
        leftClick_ = false;
        menu = rightClick_ ? TrayAction::None : TrayAction::MenuAtAnchor;
        rightClick_ = false;
        break;
    default:
        return TrayAction::None;
    }
    if (menu == TrayAction::None || menuOpen_) {
        return TrayAction::None;
    }
    menuOpen_ = true;
    return menu;
}

std::string ServerStateTip(std::uint32_t code) {
    if (code == 5) {
        return FitTip(platform::LoadText(IDS_TIP_ACCESS_DENIED));
    }
    return FitTip(platform::LoadText(IDS_TIP_SERVER_ERROR) + std::to_string(code));
}

unsigned ServiceTipId(std::optional<pipe::ServiceLink> link) {
    if (!link) {
        return 0;
    }
    switch (*link) {
    case pipe::ServiceLink::NotRunning:
        return IDS_TIP_SERVICE_NOT_RUNNING;
    case pipe::ServiceLink::NotAnswering:
        return IDS_TIP_SERVICE_NOT_ANSWERING;
    default:
        return 0;
    }
}

TrayTickResult ServerTipState::Apply(TrayTickResult tick, std::uint32_t code, std::size_t waitingLines,
                                     unsigned serviceTipId) {
    if (tick.modify) {
        lastIcon_ = tick.iconId;
        lastTip_ = tick.tip;
    }
    // The service's state goes before the server's: without the service nothing of the server is known.
    const std::uint64_t state = serviceTipId != 0 ? (std::uint64_t{1} << 32) | serviceTipId : code;
    const auto stateTip = [](std::uint64_t shown) {
        return (shown >> 32) != 0 ? FitTip(platform::LoadText(static_cast<unsigned>(shown)))
                                  : ServerStateTip(static_cast<std::uint32_t>(shown));
    };
    const int icon = lastIcon_ != 0 ? lastIcon_ : IDI_IDLE;
    TrayTickResult result = tick;
    if (state != 0) {
        if (tick.modify || shown_ != state) {
            shown_ = state;
            result = {true, icon, stateTip(state)};
        }
    } else if (shown_ != 0) {
        shown_ = 0;
        if (!tick.modify) {
            result = {true, icon, lastTip_.empty() ? kIdleTip : lastTip_};
        }
    }
    if (waitingLines != shownWaiting_ && !result.modify) {
        result = {true, icon, shown_ != 0 ? stateTip(shown_) : (lastTip_.empty() ? kIdleTip : lastTip_)};
    }
    shownWaiting_ = waitingLines;
    if (result.modify) {
        const std::string note =
            waitingLines > 0 ? platform::FillTemplate(platform::LoadText(IDS_TIP_LOG_WAITING),
                                                      {std::to_string(std::min<std::size_t>(waitingLines, 0x7FFFFFFF))})
                             : std::string();
        // The count of waiting lines and the watched computer's name are kept whole; the first text
        // gives way.
        result.tip = WatchedTipWithNote(result.tip, computer_, note);
    }
    return result;
}

bool TakeFirstRunQuestion(AppSettings& settings) {
    int expected = 0;
    return settings.InitFlag.compare_exchange_strong(expected, 1);
}

bool AcceptStartupAnswer(AppSettings& settings, bool ok) {
    if (!ok) {
        return false;
    }
    settings.ChkStartUp.store(1);
    return true;
}

} // namespace glimmerfen::ui
