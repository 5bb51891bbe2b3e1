#include "ui/tray/NoticeLogic.h"

#include <utility>

#include "monitor/ServerAccess.h"
#include "platform/strings.h"

namespace glimmerfen::ui {

NoticeBoard::NoticeBoard(NoticeTemplates templates) : templates_(std::move(templates)) {}

void NoticeBoard::Observe(const NoticeInput& input, const std::array<bool, kNoticeKindCount>& enabled) {
    const auto on = [&](NoticeKind kind) { return enabled[static_cast<std::size_t>(kind)]; };
    if (!primed_) {
        primed_ = true;
        cutsSeen_ = input.cuts.total;
    }
    // Rule cuts: the count since the last tick; the newest of them is the one a single notice names.
    const std::uint64_t total = input.cuts.total;
    const std::uint64_t fresh = total >= cutsSeen_ ? total - cutsSeen_ : total;
    cutsSeen_ = total;
    if (fresh > 0 && on(NoticeKind::RuleCut)) {
        pendingCuts_ += fresh;
        if (!input.cuts.recent.empty()) {
            lastCut_ = input.cuts.recent.back();
        }
    }
    // The server and the log: the state now; what is told is decided when the notice is due.
    // A kind that is off takes the state as told without a word, and so does not tell its end later.
    code_ = input.serverCode;
    if (!on(NoticeKind::Server)) {
        toldCode_ = code_;
        serverUntold_ = code_ != 0;
    }
    waiting_ = input.waitingLines > 0;
    if (waiting_) {
        waitingLines_ = input.waitingLines;
    }
    if (!on(NoticeKind::Log)) {
        toldWaiting_ = waiting_;
        logUntold_ = waiting_;
    }
}

void NoticeBoard::AddClosed(const std::vector<ClosedFile>& files) {
    closed_.insert(closed_.end(), files.begin(), files.end());
}

std::vector<Notice> NoticeBoard::Due(std::int64_t nowMs) {
    std::vector<Notice> due;
    const auto open = [&](NoticeKind kind) { return gaps_[static_cast<std::size_t>(kind)].Open(nowMs); };
    const auto shown = [&](NoticeKind kind, std::string text, std::optional<RuleCut> cut = std::nullopt) {
        gaps_[static_cast<std::size_t>(kind)].Shown(nowMs);
        due.push_back({kind, std::move(text), std::move(cut)});
    };
    if (pendingCuts_ > 0 && open(NoticeKind::RuleCut)) {
        if (pendingCuts_ == 1 && lastCut_) {
            shown(NoticeKind::RuleCut,
                  platform::FillTemplate(templates_.cutOne, {lastCut_->user, lastCut_->client, lastCut_->rule}),
                  lastCut_);
        } else {
            shown(NoticeKind::RuleCut, platform::FillTemplate(templates_.cutMany, {std::to_string(pendingCuts_)}));
        }
        pendingCuts_ = 0;
        lastCut_.reset();
    }
    if (code_ == 0 && serverUntold_) {
        toldCode_ = 0;
        serverUntold_ = false;
    }
    if (!waiting_ && logUntold_) {
        toldWaiting_ = false;
        logUntold_ = false;
    }
    if (code_ != toldCode_ && open(NoticeKind::Server)) {
        serverUntold_ = false;
        if (code_ == 0) {
            shown(NoticeKind::Server, templates_.serverBack);
        } else if (code_ == 5) {
            shown(NoticeKind::Server, templates_.serverDenied);
        } else {
            shown(NoticeKind::Server, platform::FillTemplate(templates_.serverError, {std::to_string(code_)}));
        }
        toldCode_ = code_;
    }
    if (waiting_ != toldWaiting_ && open(NoticeKind::Log)) {
        logUntold_ = false;
        shown(NoticeKind::Log, waiting_ ? platform::FillTemplate(templates_.logWaiting, {std::to_string(waitingLines_)})
                                        : templates_.logWritten);
        toldWaiting_ = waiting_;
    }
    if (!closed_.empty() && open(NoticeKind::WatchedFile)) {
        if (closed_.size() == 1) {
            const ClosedFile& f = closed_.front();
            shown(NoticeKind::WatchedFile,
                  platform::FillTemplate(templates_.fileClosed, {f.path, f.user, FormatDuration(f.heldSeconds)}));
        } else {
            shown(NoticeKind::WatchedFile,
                  platform::FillTemplate(templates_.filesClosed, {std::to_string(closed_.size())}));
        }
        closed_.clear();
    }
    return due;
}

} // namespace glimmerfen::ui
