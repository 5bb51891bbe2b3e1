// The engine: polls the file server, keeps the access table, recognises new accesses.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

#include "monitor/AccessTable.h"
#include "monitor/ClientNames.h"
#include "monitor/EventReporter.h"
#include "monitor/RuleCuts.h"
#include "monitor/TableRecords.h"
#include "platform/localtime_cache.h"
#include "platform/records.h"

namespace glimmerfen {

struct AppSettings;
class AccessLog;
namespace platform {
class ServerPlatform;
}

// The extension text of a path for the extension rule: what follows its first ".", or the whole path
// when it has none, lower-cased in the ANSI code page.
std::string ExtensionText(std::string_view pathName);

class AccessMonitor {
public:
    // log may be null: then nothing is logged.
    // resolver looks up the names of clients that are addresses (empty: the system's resolver).
    AccessMonitor(AppSettings& settings, platform::ServerPlatform& server, AccessLog* log = nullptr,
                  ClientNames::Resolver resolver = {});
    virtual ~AccessMonitor();
    AccessMonitor(const AccessMonitor&) = delete;
    AccessMonitor& operator=(const AccessMonitor&) = delete;

    // An empty table with both counters at 0. Polls do nothing before it exists.
    void CreateTable();
    // Removes every entry and the table itself; from then on polls do nothing.
    void ReleaseTable();

    // Set before the monitor threads start; null (the default): no events. Events are composed in the
    // poll, as the log lines are, while EventLog is 1, and handed to the reporter when the poll ends.
    void SetEventReporter(EventReporter* events) noexcept { events_ = events; }

    // One poll: enumerate, merge into the table, log new accesses, age out the unseen, apply the
    // disconnection rules. When lines began to wait for the log, the user is told (ReportLostLines).
    void Poll();
    // The same poll without the report: true when lines began to wait for the log in this poll and the
    // caller has yet to call ReportLostLines, with no lock held.
    bool PollQuietly();
    // Tells the user that the log could not be written (the log's reporter decides how and where).
    virtual void ReportLostLines();

    TableSnapshot Snapshot() const;

    // Runs reader(const AccessTable* table, entryCount, nextKey) under the table's lock; table is null
    // when there is none. The reader must not wait on another thread that may take this lock.
    template <typename Reader>
    auto Read(Reader&& reader) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reader(static_cast<const AccessTable*>(table_.get()), entryCount_, nextKey_);
    }

    std::int32_t EntryCount() const;

    // What the last poll's enumerations met (TableRecords.h).
    using ServerState = glimmerfen::ServerState;
    ServerState LastServerState() const;

    // The names of the clients that the server reports by address; the computer lists match either.
    ClientNames& Names() noexcept { return clientNames_; }

    // The sessions the rules closed so far (those whose disconnect line the rules write), any thread.
    RuleCutRecord Cuts() const { return ruleCuts_.Read(); }

protected:
    // Called under the table lock for every new entry, right after it was added: queues the entry's
    // access line. The poll writes its queued lines after it has released the table.
    virtual void WriteAccessLine(std::int32_t key);
    // Called under the table lock at the end of every poll: the four automatic disconnection rules.
    // They decide under the lock; the sessions are closed after it is released (DisconnectEntry).
    virtual void ApplyDisconnectRules();
    // Called with no lock held, after the session's disconnection, for every disconnection the rules
    // log: queues the disconnect line, written with the clock read now.
    virtual void WriteDisconnectLine(const std::string& clientName, const std::string& userName,
                                     const std::string& message);

    AppSettings& settings_;
    platform::ServerPlatform& server_;
    AccessLog* log_;
    mutable std::mutex mutex_;
    std::unique_ptr<AccessTable> table_;
    std::int32_t entryCount_ = 0;
    // Wraps from the largest 32-bit key to 0 instead of overflowing; a key still in use is skipped.
    std::int32_t nextKey_ = 0;

private:
    // Texts of a session shared by its session entry and its open-file entries, made when first needed.
    class SessionTexts;
    // A disconnection the rules decided on under the table lock, carried out after it is released.
    struct Disconnection {
        std::string clientName;
        std::string userName;
        std::string message;        // the rule's message, logged when the session could be closed
        bool log = false;           // the rule's log condition held and the entry was not marked yet
        std::int32_t startTime = 0; // the connection's start, for its event
    };

    void MergeSession(const SessionRecord& session, SessionTexts& texts, AccessTable::Hint& hint, std::uint64_t poll);
    struct UserHash;
    void MergeOpenFile(const SessionRecord& session, const OpenFileRecord& file, SessionTexts& texts,
                       UserHash& userHash, AccessTable::Hint& hint, std::uint64_t poll);
    // values_ into the match, or as a new entry when there is none.
    void Store(AccessEntry* match, std::uint64_t poll);
    // Inserts values_ as a new entry.
    void Insert(std::uint64_t poll);
    void Age(std::uint64_t poll);
    // Queues the disconnection of the entry's session; marks the entry when the rule logs it.
    void DisconnectEntry(AccessEntry& entry, const std::string& ruleMessage, bool logCondition);
    // Closes the queued sessions in order, each followed by its line; then writes the lines.
    void CarryOutDisconnections();
    // Writes what waits for the log and the queued lines through one opening of the log (or leaves
    // them waiting), and empties the queue.
    void FlushLines(std::string& lines);

    ClientNames clientNames_;
    RuleCuts ruleCuts_;

    // The last poll's ServerState: the code in the low 32 bits, bit 32 for the open files.
    std::atomic<std::uint64_t> serverState_{0};

    // Held through a whole poll, so that polls never overlap (the queues below belong to one poll).
    std::mutex pollMutex_;
    std::uint64_t pollNumber_ = 0;
    RecordList<SessionRecord> sessions_;
    platform::LocalTimeCache localTimes_; // the sessions' start times; the poll's own
    // Every open file of the server, asked once per poll (when there are sessions), and the places of
    // each user's files in it, in the server's order, by the user name upper-cased: the server matches
    // a user's files without regard to letter case. Kept from poll to poll to reuse their storage.
    RecordList<OpenFileRecord> files_;
    // The entries the places of the last poll's lists led to.
    std::vector<AccessTable::Hint> sessionHints_;
    std::vector<AccessTable::Hint> fileHints_;
    std::unordered_map<std::string, std::vector<std::uint32_t>> filesByUser_;
    // Each spelling of a user name met so far (of the files and of the sessions), with its list in
    // filesByUser_ (whose nodes stay put): a name is upper-cased only when its spelling is new.
    std::unordered_map<std::string, std::vector<std::uint32_t>*> spellings_;
    std::vector<std::uint32_t> allFiles_; // 0 .. files_.size() - 1: a session without a user name
    // Queues the event of a change of the server's state (an enumeration's code) since the last poll.
    void NoteServerState(std::uint32_t code);
    // Groups files_ by user into filesByUser_; sessions: how many the poll has.
    void GroupFilesByUser(std::size_t sessions);
    // The list in filesByUser_ of a spelling of a user name.
    std::vector<std::uint32_t>& PlacesOf(const std::string& spelling);
    // The places in files_ of the files the server gives for this user name.
    const std::vector<std::uint32_t>& FilesOf(const std::string& userName);
    AccessEntry values_; // scratch for the values of one record, reused to keep its buffers
    // What the current poll queued, under pollMutex_.
    std::string accessLines_;
    std::string disconnectLines_;
    std::vector<Disconnection> disconnections_;

    EventReporter* events_ = nullptr;
    bool eventsOn_ = false;      // EventLog as the current poll read it
    EventBatch pollEvents_;      // the current poll's events, in the order of its log lines
    std::uint32_t lastCode_ = 0; // the server's code at the previous poll
};

} // namespace glimmerfen
