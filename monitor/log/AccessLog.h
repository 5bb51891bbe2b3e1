// The access log "log.txt": one line per new access and per disconnection, ten TABs per line.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

#include "monitor/AccessTable.h"
#include "monitor/log/LogFile.h"

namespace glimmerfen {

struct AppSettings;

// What became of one line.
enum class LogWrite {
    Written, // the line is in the file
    Skipped, // the settings say this line is not logged
    Waiting, // the file could not be opened or written: the line waits for the next write
};

// Lines are appended through an exclusive opening of the file each time. When the file cannot be
// opened (another program holds it: an editor, a spreadsheet, a backup agent), the lines wait in
// memory, in order, and are written ahead of the next lines by the next write that gets the file; a
// poll retries even when it has no line of its own. What waits is bounded: past the bound the oldest
// lines are dropped, and their number is written into the log as a line of its own once it opens
// again. Lines still waiting when the program ends go to a side file beside the log
// ("log_waiting.txt"), which the next start writes into the log ahead of every newer line.
//
// The side file is taken once, whatever happens: it is first renamed ("log_waiting_taken.txt"), then
// its lines are appended, then it is removed. A taken file found at a start (the program ended between
// the append and the removal, or the removal failed) is appended only when the log does not already
// hold its lines.
//
// The user is told once per episode: from the first line that has to wait until the file takes the
// waiting lines.
class AccessLog {
public:
    // What may wait in memory; the program runs with these defaults.
    struct Limits {
        std::size_t lines = 100000;
        std::size_t bytes = std::size_t{32} << 20;
    };

    // logPath: the full path of "log.txt"; caption: the caption of the failure message box (the
    // application's name); limits: what may wait.
    AccessLog(std::string logPath, std::string caption, Limits limits);

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
    // The same choices of what is recorded, whatever LogOut says: the event log follows them too.
    static bool RecordsAccess(const AppSettings& settings, const AccessEntry& entry, std::string_view resolvedName);
    static bool RecordsDisconnections(const AppSettings& settings);

    // One exclusive opening for the waiting lines and then these (whole lines, each ending in CR LF;
    // none: only what waits): open (creating the file), write at the end, close. True when all of them
    // are in the file; false when they wait. Nothing is reported.
    bool AppendLine(std::string_view lines);
    // True once per episode, at the first call after a line had to wait: the caller tells the user
    // (ReportFailure), with no lock held.
    bool TakeFailureToReport();
    // Lines in memory waiting for the file.
    std::size_t WaitingLines() const;
    // At the program's end: tries once more to write what waits; when the file is still held, the
    // waiting lines go to the side file, which the next start writes first. When that cannot be
    // written either, the user is told how many lines are lost (in a box on this thread: call it with no
    // lock held). Lines that come later (a task that ended after the engine stopped waiting for it) go
    // the same way at once.
    void KeepWaitingLines();

    // "Preservation of a log went wrong." (string 57679, in the user-interface language), a line
    // break and the full path of the file.
    std::string FailureText() const;
    // Tells the user FailureText: through the reporter when one is set (a window's thread shows the
    // box; the caller does not wait for it), otherwise in a box with the caption and a warning icon on
    // this thread, waiting for the user. Call it with no lock held.
    void ReportFailure() const;
    // Set before any line is written.
    void SetReporter(std::function<void()> reporter) { reporter_ = std::move(reporter); }
    const std::string& Caption() const { return caption_; }

    // The access line of a new entry, unless LogOut is 0, or LogChkOkPc is 1 and the entry's client is
    // an acceptable PC. A failure is returned, not shown.
    LogWrite TryWriteAccessLine(const AppSettings& settings, const AccessEntry& entry);

    // A disconnect line, unless LogOut is 0 or LogChkDisMsg is 1; the clock is read once. A failure is
    // returned, not shown.
    LogWrite TryWriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                    const std::string& userName, const std::string& message,
                                    const std::string& pathName = {});
    // The same, and the user is told (ReportFailure) when this line began an episode. Call it with no
    // lock held.
    LogWrite WriteDisconnectLine(const AppSettings& settings, const std::string& clientName,
                                 const std::string& userName, const std::string& message,
                                 const std::string& pathName = {});

private:
    // Under the log-file guard: one opening for the side file's lines, the waiting ones and these.
    bool WriteLocked(std::string_view lines);
    // Under the log-file guard, with the log open: the lines of earlier runs, first those of a taken
    // file, then those of the side file. False when they must wait (and everything after them).
    bool TakeEarlierLines(platform::ExclusiveFile& log);
    bool TakeClaimedFile(platform::ExclusiveFile& log);
    // Under the log-file guard: the waiting lines appended to the side file; false when it cannot be
    // written (they still wait).
    bool KeepInSideFile();
    void Wait(std::string_view lines);
    std::string WaitingText() const;
    void ClearWaiting();

    std::string logPath_;
    std::string sidePath_;
    std::string takenPath_;
    std::string caption_;
    Limits limits_;
    std::function<void()> reporter_;

    // Under the log-file guard.
    std::string waiting_;               // the lines, from waitingHead_ on
    std::size_t waitingHead_ = 0;       // bytes of waiting_ already dropped
    std::deque<std::uint32_t> lengths_; // each waiting line's length, oldest first
    std::size_t dropped_ = 0;           // lines dropped from the front since the file last took lines
    bool sidePending_ = false;          // the side file may hold lines of an earlier run
    // What is known of the taken file.
    enum class Taken {
        None,      // there is none
        Unchecked, // left by an earlier run: its lines may be in the log
        NotInLog,  // renamed by this run, its lines not yet appended
        InLog,     // its lines are in the log; it waits to be removed
    };
    Taken taken_ = Taken::None;
    bool ended_ = false; // KeepWaitingLines has run: lines that must wait go to the side file at once
    bool inEpisode_ = false;
    // Read without the guard by the poll and the tray tick, which must not wait for a rewrite's piece.
    std::atomic<bool> reportDue_{false};
    std::atomic<std::size_t> waitingCount_{0};
};

} // namespace glimmerfen
