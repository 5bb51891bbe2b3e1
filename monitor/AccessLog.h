// The access log "log.txt": one line per new access and per disconnection, ten TABs per line.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "monitor/AccessTable.h"

namespace glimmerfen {

struct AppSettings;

inline constexpr const char* kLogFileName = "log.txt";
inline constexpr const char* kLogTempFileName = "log_tmp.txt";

// Taken by everyone in this process who opens the log file: every appended line, the start-up
// trimming and the log viewer's rewrite. An append that comes while the file is being replaced waits
// and then lands in the new file instead of failing or vanishing with the old one. Other processes are
// kept out by the exclusive opening alone.
std::mutex& LogFileGuard();

// What became of one line.
enum class LogWrite {
    Written, // the line is in the file
    Skipped, // the settings say this line is not logged
    Lost,    // the file could not be opened or written; the line is lost and not yet reported
};

class AccessLog {
public:
    // logPath: the full path of "log.txt"; caption: the caption of the failure message box (the
    // application's name).
    AccessLog(std::string logPath, std::string caption);

    const std::string& Path() const { return logPath_; }

    // The line of a new entry: start time, client, user, start time text, user identification,
    // client type, file id, operation, path, two empty fields; CR LF at the end.
    static std::string ComposeAccessLine(const AccessEntry& entry);
    // The line of a disconnection written at now: the instant and its local time text, client, user
    // and message, fields 4 to 8 empty; CR LF at the end. A closed file names its path in field 8.
    static std::string ComposeDisconnectLine(std::int32_t now, const std::string& clientName,
                                             const std::string& userName, const std::string& message,
                                             const std::string& pathName = {});

    // The same lines appended to text, which may hold other lines before them.
    static void AppendAccessLine(std::string& text, const AccessEntry& entry);
    static void AppendDisconnectLine(std::string& text, std::int32_t now, const std::string& clientName,
                                     const std::string& userName, const std::string& message,
                                     const std::string& pathName = {});

    // Whether the settings let the entry's access line into the log: LogOut is not 0, and unless
    // LogChkOkPc is 1 and its client is an acceptable PC.
    // resolvedName: the client's name when it is an address with a known name (the list matches either).
    static bool LogsAccess(const AppSettings& settings, const AccessEntry& entry, std::string_view resolvedName = {});
    // Whether disconnect lines are logged: LogOut is not 0 and LogChkDisMsg is not 1.
    static bool LogsDisconnections(const AppSettings& settings);

    // One exclusive opening for the line (or several whole lines): open (creating the file), write at
    // the end, close. False when the file could not be opened or written: then none of it is in the
    // file. Nothing is reported.
    bool AppendLine(const std::string& line);

    // "Preservation of a log went wrong." (string 57679, in the user-interface language), a line
    // break and the full path of the file.
    std::string FailureText() const;
    // Shows FailureText in a box with the caption and a warning icon, and waits for the user. Call it
    // with no lock held.
    void ReportFailure() const;

    // The access line of a new entry, unless LogOut is 0, or LogChkOkPc is 1 and the entry's client is
    // an acceptable PC. A failure is returned, not shown: the poll calls this under its table lock and
    // reports a Lost line after releasing it.
    LogWrite TryWriteAccessLine(const AppSettings& settings, const AccessEntry& entry);

    // A disconnect line, unless LogOut is 0 or LogChkDisMsg is 1; the clock is read once. A failure is
    // returned, not shown.
    LogWrite TryWriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                    const std::string& userName, const std::string& message,
                                    const std::string& pathName = {});
    // The same, and a Lost line is reported (ReportFailure) before returning. Call it with no lock held.
    LogWrite WriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                 const std::string& userName, const std::string& message,
                                 const std::string& pathName = {});

private:
    std::string logPath_;
    std::string caption_;
};

} // namespace glimmerfen
