#include "monitor/log/AccessLog.h"

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/Settings.h"
#include "monitor/NameList.h"
#include "monitor/ServerAccess.h"
#include "monitor/log/LogLines.h"
#include "platform/clock.h"
#include "platform/exclusive_file.h"
#include "platform/notify.h"
#include "platform/strings.h"
#include "res/resource.h"

namespace glimmerfen {

namespace {

// Appends a value with every TAB, CR and LF replaced by a space, so that a value can neither add a
// field nor end the line early. The bytes are looked at one by one without regard to double-byte
// characters: in the ANSI code pages of Windows (932, 936, 949, 950 and the single-byte ones) a trail
// byte is never below 0x40, so these three bytes only ever stand for themselves.
void AppendValue(std::string& line, std::string_view value) {
    const std::size_t start = line.size();
    line.append(value);
    for (std::size_t i = start; i < line.size(); ++i) {
        char& c = line[i];
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
}

void AppendNumber(std::string& line, std::int32_t value) {
    line += std::to_string(value); // the same digits as "%d"
}

// The file is written in binary: the CR LF that a text-mode write would make of "\n" is put here, so
// that every platform writes the same bytes.
constexpr std::string_view kLineEnd = "\r\n";

// The length of each line of composed text (each ends in CR LF, or LF).
struct LineLengths {
    std::deque<std::uint32_t>& lengths;
    void Whole(const char*, std::size_t, std::size_t withEnd) {
        lengths.push_back(static_cast<std::uint32_t>(withEnd));
    }
    void Part(const char*, std::size_t size) { open += size; }
    void End() {
        lengths.push_back(static_cast<std::uint32_t>(open));
        open = 0;
    }
    std::size_t open = 0;
};

} // namespace

AccessLog::AccessLog(std::string logPath, std::string caption, Limits limits)
    : logPath_(std::move(logPath)), caption_(std::move(caption)), limits_(limits) {
    const std::size_t slash = logPath_.find_last_of("\\/");
    const std::string folder = slash == std::string::npos ? std::string() : logPath_.substr(0, slash + 1);
    sidePath_ = folder + kLogWaitingFileName;
    takenPath_ = folder + kLogTakenFileName;
    sidePending_ = platform::FileExists(sidePath_);
    taken_ = platform::FileExists(takenPath_) ? Taken::Unchecked : Taken::None;
}

std::string AccessLog::ComposeAccessLine(const AccessEntry& entry) {
    std::string line;
    AppendAccessLine(line, entry);
    return line;
}

void AccessLog::AppendAccessLine(std::string& line, const AccessEntry& entry) {
    line.reserve(line.size() + 64 + entry.clientName.size() + entry.userName.size() + entry.startTimeText.size() +
                 entry.userIdent.size() + entry.clientType.size() + entry.operation.size() + entry.pathName.size());
    AppendNumber(line, entry.startTime);
    for (const std::string* value :
         {&entry.clientName, &entry.userName, &entry.startTimeText, &entry.userIdent, &entry.clientType}) {
        line += '\t';
        AppendValue(line, *value);
    }
    line += '\t';
    AppendNumber(line, entry.fileId);
    for (const std::string* value : {&entry.operation, &entry.pathName}) {
        line += '\t';
        AppendValue(line, *value);
    }
    line += "\t\t";
    line += kLineEnd;
}

std::string AccessLog::ComposeDisconnectLine(std::int32_t now, const std::string& clientName,
                                             const std::string& userName, const std::string& message,
                                             const std::string& pathName) {
    std::string line;
    AppendDisconnectLine(line, now, clientName, userName, message, pathName);
    return line;
}

void AccessLog::AppendDisconnectLine(std::string& line, std::int32_t now, const std::string& clientName,
                                     const std::string& userName, const std::string& message,
                                     const std::string& pathName) {
    line.reserve(line.size() + 64 + clientName.size() + userName.size() + message.size() + pathName.size());
    AppendNumber(line, now);
    line += '\t';
    AppendValue(line, clientName);
    line += '\t';
    AppendValue(line, userName);
    line += '\t';
    AppendValue(line, FormatLocalTime(now));
    line += "\t\t\t\t\t";
    AppendValue(line, pathName);
    line += '\t';
    AppendValue(line, message);
    line += '\t';
    line += kLineEnd;
}

bool AccessLog::RecordsAccess(const AppSettings& settings, const AccessEntry& entry, std::string_view resolvedName) {
    return !(settings.LogChkOkPc.load() == 1 && (IsAcceptablePc(settings, entry.clientName) ||
                                                 (!resolvedName.empty() && IsAcceptablePc(settings, resolvedName))));
}

bool AccessLog::RecordsDisconnections(const AppSettings& settings) {
    return settings.LogChkDisMsg.load() != 1;
}

bool AccessLog::LogsAccess(const AppSettings& settings, const AccessEntry& entry, std::string_view resolvedName) {
    return settings.LogOut.load() != 0 && RecordsAccess(settings, entry, resolvedName);
}

bool AccessLog::LogsDisconnections(const AppSettings& settings) {
    return settings.LogOut.load() != 0 && RecordsDisconnections(settings);
}

bool AccessLog::AppendLine(std::string_view lines) {
    std::lock_guard<LogGuard> lock(LogFileGuard());
    if (lines.empty() && lengths_.empty() && dropped_ == 0 && !sidePending_ && taken_ == Taken::None) {
        return true;
    }
    if (WriteLocked(lines)) {
        inEpisode_ = false;
        return true;
    }
    Wait(lines);
    if (ended_) {
        // Nobody writes them later in this run.
        static_cast<void>(KeepInSideFile());
        return false;
    }
    if (!inEpisode_) {
        inEpisode_ = true;
        reportDue_ = true;
    }
    return false;
}

bool AccessLog::WriteLocked(std::string_view lines) {
    platform::ExclusiveFile file;
    if (!file.Open(logPath_, platform::FileOpenMode::ReadWriteAlways)) {
        return false;
    }
    if (!TakeEarlierLines(file)) {
        return false;
    }
    if (!lengths_.empty() || dropped_ > 0) {
        const std::string waiting = WaitingText();
        if (!file.Append(waiting.data(), waiting.size())) {
            return false;
        }
        ClearWaiting();
    }
    if (!lines.empty() && !file.Append(lines.data(), lines.size())) {
        return false;
    }
    // The lines are in the file: writing them again would only double them.
    file.Close();
    return true;
}

namespace {

// The whole content of a file; nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
    platform::ExclusiveFile file;
    if (!file.Open(path, platform::FileOpenMode::ReadExisting)) {
        return std::nullopt;
    }
    std::string text;
    std::vector<char> chunk(std::size_t{1} << 16);
    for (std::int64_t got; (got = file.Read(chunk.data(), chunk.size())) != 0;) {
        if (got < 0) {
            return std::nullopt;
        }
        text.append(chunk.data(), static_cast<std::size_t>(got));
    }
    return text;
}

// Whether the open file holds text somewhere, read from its start in pieces; false also when it
// cannot be read.
bool FileHolds(platform::ExclusiveFile& file, const std::string& text) {
    if (text.empty()) {
        return true;
    }
    if (!file.Seek(0)) {
        return false;
    }
    const std::boyer_moore_horspool_searcher searcher(text.begin(), text.end());
    std::string window;
    std::vector<char> chunk(kLogChunkSize);
    for (std::int64_t got; (got = file.Read(chunk.data(), chunk.size())) > 0;) {
        window.append(chunk.data(), static_cast<std::size_t>(got));
        if (std::search(window.begin(), window.end(), searcher) != window.end()) {
            return true;
        }
        // What could still begin a match in the next piece.
        if (window.size() >= text.size()) {
            window.erase(0, window.size() - (text.size() - 1));
        }
    }
    return false;
}

} // namespace

bool AccessLog::TakeEarlierLines(platform::ExclusiveFile& log) {
    // The lines of an earlier run come first. A file of them that cannot be taken stays, and so does
    // everything after it: the order is kept.
    if (taken_ != Taken::None && !TakeClaimedFile(log)) {
        return false;
    }
    if (!sidePending_) {
        return true;
    }
    if (!platform::FileExists(sidePath_)) {
        sidePending_ = false;
        return true;
    }
    if (taken_ != Taken::None) {
        // The taken file of before is still there (held by another program): the side file's lines
        // come after its lines, which are in the log, and wait for its removal.
        return false;
    }
    // Renamed before anything is appended: from here on a failure anywhere (even the end of the
    // process) leaves a file whose lines are looked for in the log before they are appended again.
    if (!platform::RenameFile(sidePath_, takenPath_)) {
        return false;
    }
    sidePending_ = false;
    taken_ = Taken::NotInLog;
    return TakeClaimedFile(log);
}

bool AccessLog::TakeClaimedFile(platform::ExclusiveFile& log) {
    if (taken_ != Taken::InLog) {
        const std::optional<std::string> text = ReadWhole(takenPath_);
        if (!text) {
            if (!platform::FileExists(takenPath_)) {
                taken_ = Taken::None; // removed by someone else
                return true;
            }
            return false;
        }
        if (taken_ == Taken::Unchecked && FileHolds(log, *text)) {
            taken_ = Taken::InLog;
        } else if (!log.Append(text->data(), text->size())) {
            return false;
        }
        taken_ = Taken::InLog;
    }
    // A removal that fails (another program reads the file) is tried again at the next write; until
    // then this run knows that the lines are in the log.
    if (platform::RemoveFile(takenPath_)) {
        taken_ = Taken::None;
    }
    return true;
}

void AccessLog::Wait(std::string_view lines) {
    LineSplitter splitter;
    LineLengths lengths{lengths_};
    splitter.Consume(lines.data(), lines.size(), lengths);
    splitter.Finish(lengths);
    waiting_.append(lines);
    // The oldest lines go first; the room they leave is reclaimed once it is half the text.
    while (!lengths_.empty() && (lengths_.size() > limits_.lines || waiting_.size() - waitingHead_ > limits_.bytes)) {
        waitingHead_ += lengths_.front();
        lengths_.pop_front();
        ++dropped_;
    }
    if (waitingHead_ > waiting_.size() / 2) {
        waiting_.erase(0, waitingHead_);
        waitingHead_ = 0;
    }
    waitingCount_ = lengths_.size();
}

std::string AccessLog::WaitingText() const {
    std::string text;
    if (dropped_ > 0) {
        // The gap is where the dropped lines stood: before the oldest line still waiting.
        const std::string message = platform::FillTemplate(
            platform::LoadText(IDS_LOG_LINES_DROPPED), {std::to_string(std::min<std::size_t>(dropped_, 0x7FFFFFFF))});
        AppendDisconnectLine(text, platform::NowSeconds(), std::string(), std::string(), message);
    }
    text.append(waiting_, waitingHead_, std::string::npos);
    return text;
}

void AccessLog::ClearWaiting() {
    waiting_.clear();
    waiting_.shrink_to_fit();
    waitingHead_ = 0;
    lengths_.clear();
    dropped_ = 0;
    waitingCount_ = 0;
}

bool AccessLog::TakeFailureToReport() {
    return reportDue_.exchange(false);
}

std::size_t AccessLog::WaitingLines() const {
    return waitingCount_.load();
}

void AccessLog::KeepWaitingLines() {
    std::size_t lost = 0;
    {
        std::lock_guard<LogGuard> lock(LogFileGuard());
        ended_ = true;
        if (lengths_.empty() && dropped_ == 0) {
            return;
        }
        if (WriteLocked({})) {
            inEpisode_ = false;
            return;
        }
        if (KeepInSideFile()) {
            return;
        }
        lost = lengths_.size() + dropped_;
        ClearWaiting();
    }
    const std::string message = platform::FillTemplate(platform::LoadText(IDS_LOG_LINES_LOST),
                                                       {std::to_string(std::min<std::size_t>(lost, 0x7FFFFFFF))});
    platform::ShowMessage(message + "\n" + sidePath_, caption_, platform::MessageIcon::Warning);
}

bool AccessLog::KeepInSideFile() {
    if (lengths_.empty() && dropped_ == 0) {
        return true;
    }
    platform::ExclusiveFile side;
    if (!side.Open(sidePath_, platform::FileOpenMode::ReadWriteAlways)) {
        return false;
    }
    // Appended: the side file may hold the lines of an earlier run that ended while the log was held.
    const std::string waiting = WaitingText();
    if (!side.Append(waiting.data(), waiting.size()) || !side.Close()) {
        return false;
    }
    ClearWaiting();
    sidePending_ = true;
    return true;
}

std::string AccessLog::FailureText() const {
    return platform::LoadText(IDS_LOG_SAVE_FAILED) + "\n" + logPath_;
}

void AccessLog::ReportFailure() const {
    if (reporter_) {
        reporter_();
        return;
    }
    platform::ShowMessage(FailureText(), caption_, platform::MessageIcon::Warning);
}

LogWrite AccessLog::TryWriteAccessLine(const AppSettings& settings, const AccessEntry& entry) {
    if (!LogsAccess(settings, entry)) {
        return LogWrite::Skipped;
    }
    return AppendLine(ComposeAccessLine(entry)) ? LogWrite::Written : LogWrite::Waiting;
}

LogWrite AccessLog::TryWriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                           const std::string& userName, const std::string& message,
                                           const std::string& pathName) {
    if (!LogsDisconnections(settings)) {
        return LogWrite::Skipped;
    }
    const std::int32_t now = platform::NowSeconds();
    return AppendLine(ComposeDisconnectLine(now, clientName, userName, message, pathName)) ? LogWrite::Written
                                                                                           : LogWrite::Waiting;
}

LogWrite AccessLog::WriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                        const std::string& userName, const std::string& message,
                                        const std::string& pathName) {
    const LogWrite result = TryWriteDisconnectLine(settings, clientName, userName, message, pathName);
    if (TakeFailureToReport()) {
        ReportFailure();
    }
    return result;
}

} // namespace glimmerfen
