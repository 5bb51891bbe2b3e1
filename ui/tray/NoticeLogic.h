// The tray's notices, decided without a window: what changed since the last tray tick (a rule's cut,
// the server's answers, the log's waiting lines), and how the changes of one kind are gathered so that
// no more than one notice of a kind comes in any kNoticeGapMs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "monitor/RuleCuts.h"
#include "monitor/FileWatches.h"

namespace glimmerfen::ui {

enum class NoticeKind : int { RuleCut = 0, Server = 1, Log = 2, WatchedFile = 3 };
inline constexpr std::size_t kNoticeKindCount = 4;
inline constexpr std::int64_t kNoticeGapMs = 10000;

// What the tray tick sees of the watch.
struct NoticeInput {
    std::uint32_t serverCode = 0;
    std::size_t waitingLines = 0;
    RuleCutRecord cuts;
};

// The string table's texts a notice is made of; "%1", "%2", "%3" stand for the values.
struct NoticeTemplates {
    std::string cutOne;  // %1 user, %2 computer, %3 rule
    std::string cutMany; // %1 count
    std::string serverDenied;
    std::string serverError; // %1 code
    std::string serverBack;
    std::string logWaiting; // %1 lines
    std::string logWritten;
    std::string fileClosed;  // %1 path, %2 user, %3 duration
    std::string filesClosed; // %1 count
};

// A notice to show now. cut: for a single rule cut, whose row the list selects when it is clicked.
struct Notice {
    NoticeKind kind = NoticeKind::RuleCut;
    std::string text;
    std::optional<RuleCut> cut;
    bool operator==(const Notice&) const = default;
};

// Gathers what happened between notices. Not thread-safe: the tray tick's own.
class NoticeBoard {
public:
    explicit NoticeBoard(NoticeTemplates templates);

    // One tick's view of the watch. The first one only sets where the rule cuts are counted from (a
    // service's window starts with the service's earlier cuts); a server failing or lines waiting then
    // are told. A count lower than the last (a restarted service) counts from 0 again.
    // enabled[kind]: the kind's notices are shown; a kind that is off gathers nothing.
    void Observe(const NoticeInput& input, const std::array<bool, kNoticeKindCount>& enabled);
    // Watched files found closed (always told).
    void AddClosed(const std::vector<ClosedFile>& files);

    // The notices due at nowMs: each kind with something gathered whose last notice is kNoticeGapMs or
    // more ago. A state that came back to what was last told (a server that failed and answers again
    // between two notices) is not told.
    std::vector<Notice> Due(std::int64_t nowMs);

private:
    struct Gap {
        bool shownOnce = false;
        std::int64_t lastMs = 0;
        bool Open(std::int64_t nowMs) const { return !shownOnce || nowMs - lastMs >= kNoticeGapMs; }
        void Shown(std::int64_t nowMs) {
            shownOnce = true;
            lastMs = nowMs;
        }
    };

    NoticeTemplates templates_;
    std::array<Gap, kNoticeKindCount> gaps_{};
    bool primed_ = false;
    std::uint64_t cutsSeen_ = 0;
    std::uint64_t pendingCuts_ = 0;
    std::optional<RuleCut> lastCut_;
    std::uint32_t code_ = 0;     // the server's code at the last tick
    std::uint32_t toldCode_ = 0; // the code the last server notice told (0: answers)
    bool waiting_ = false;       // lines waited at the last tick
    std::size_t waitingLines_ = 0;
    bool toldWaiting_ = false;
    // The failure (the waiting) was taken as told while its kind was off: its end is not told either.
    bool serverUntold_ = false;
    bool logUntold_ = false;
    std::vector<ClosedFile> closed_;
};

} // namespace glimmerfen::ui
