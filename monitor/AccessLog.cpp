#include "monitor/AccessLog.h"

#include <string_view>
#include <utility>

#include "settings/Settings.h"
#include "monitor/NameList.h"
#include "monitor/ServerAccess.h"
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

} // namespace

std::mutex& LogFileGuard() {
    static std::mutex guard;
    return guard;
}

AccessLog::AccessLog(std::string logPath, std::string caption)
    : logPath_(std::move(logPath)), caption_(std::move(caption)) {}

std::string AccessLog::ComposeAccessLine(const AccessEntry& entry) {
    std::string line;
    AppendAccessLine(line, entry);
    return line;
}

void AccessLog::AppendAccessLine(std::string& line, const AccessEntry& entry) {
    line.reserve(line.size() + 64 + entry.clientName.size() + entry.userName.size() + entry.startTimeText.size() +
                 entry.userIdent.size() + entry.clientType.size() + entry.operation.size() + entry.pathName.size());
    AppendNumber(line, entry.startTime);
    line += '\t';
    AppendValue(line, entry.clientName);
    line += '\t';
    AppendValue(line, entry.userName);
    line += '\t';
    AppendValue(line, entry.startTimeText);
    line += '\t';
    AppendValue(line, entry.userIdent);
    line += '\t';
    AppendValue(line, entry.clientType);
    line += '\t';
    AppendNumber(line, entry.fileId);
    line += '\t';
    AppendValue(line, entry.operation);
    line += '\t';
    AppendValue(line, entry.pathName);
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

bool AccessLog::LogsAccess(const AppSettings& settings, const AccessEntry& entry, std::string_view resolvedName) {
    return settings.LogOut.load() != 0 &&
           !(settings.LogChkOkPc.load() == 1 && (IsAcceptablePc(settings, entry.clientName) ||
                                                 (!resolvedName.empty() && IsAcceptablePc(settings, resolvedName))));
}

bool AccessLog::LogsDisconnections(const AppSettings& settings) {
    return settings.LogOut.load() != 0 && settings.LogChkDisMsg.load() != 1;
}

bool AccessLog::AppendLine(const std::string& line) {
    std::lock_guard<std::mutex> lock(LogFileGuard());
    platform::ExclusiveFile file;
    if (!file.Open(logPath_, platform::FileOpenMode::ReadWriteAlways)) {
        return false;
    }
    const bool written = file.Append(line.data(), line.size());
    const bool closed = file.Close();
    return written && closed;
}

std::string AccessLog::FailureText() const {
    return platform::LoadText(IDS_LOG_SAVE_FAILED) + "\n" + logPath_;
}

void AccessLog::ReportFailure() const {
    platform::ShowMessage(FailureText(), caption_, platform::MessageIcon::Warning);
}

LogWrite AccessLog::TryWriteAccessLine(const AppSettings& settings, const AccessEntry& entry) {
    if (!LogsAccess(settings, entry)) {
        return LogWrite::Skipped;
    }
    return AppendLine(ComposeAccessLine(entry)) ? LogWrite::Written : LogWrite::Lost;
}

LogWrite AccessLog::TryWriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                           const std::string& userName, const std::string& message,
                                           const std::string& pathName) {
    if (!LogsDisconnections(settings)) {
        return LogWrite::Skipped;
    }
    const std::int32_t now = platform::NowSeconds();
    return AppendLine(ComposeDisconnectLine(now, clientName, userName, message, pathName)) ? LogWrite::Written
                                                                                           : LogWrite::Lost;
}

LogWrite AccessLog::WriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                        const std::string& userName, const std::string& message,
                                        const std::string& pathName) {
    const LogWrite result = TryWriteDisconnectLine(settings, clientName, userName, message, pathName);
    if (result == LogWrite::Lost) {
        ReportFailure();
    }
    return result;
}

} // namespace glimmerfen
