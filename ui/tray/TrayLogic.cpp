#include "ui/tray/TrayLogic.h"

#include <cstdio>
#include <unordered_map>
#include <utility>

#include "platform/ansitext.h"
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
