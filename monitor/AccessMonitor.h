// The engine: polls the file server, keeps the access table, recognises new accesses.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/AccessTable.h"
#include "platform/records.h"

namespace glimmerfen {

struct AppSettings;
class AccessLog;
namespace platform {
class ServerPlatform;
}

// What a reader on another thread sees: the table as it was between two changes.
struct TableSnapshot {
    bool hasTable = false;
    std::int32_t entryCount = 0;
    std::int32_t nextKey = 0;
    std::vector<AccessEntry> entries; // newest first
};

// The extension text of a path for the extension rule: what follows its first ".", or the whole path
// when it has none, lower-cased in the ANSI code page.
std::string ExtensionText(std::string_view pathName);

class AccessMonitor {
public:
    // log may be null: then nothing is logged.
    AccessMonitor(AppSettings& settings, platform::ServerPlatform& server, AccessLog* log = nullptr);
    virtual ~AccessMonitor();
    AccessMonitor(const AccessMonitor&) = delete;
    AccessMonitor& operator=(const AccessMonitor&) = delete;

    // An empty table with both counters at 0. Polls do nothing before it exists.
    void CreateTable();
    // Removes every entry and the table itself; from then on polls do nothing.
    void ReleaseTable();

    // One poll: enumerate, merge into the table, log new accesses, age out the unseen, apply the
    // disconnection rules. Lines that could not be written are reported (ReportLostLines) at the end.
    void Poll();
    // The same poll without the report: true when a line of this poll could not be written and the
    // caller has yet to call ReportLostLines, with no lock held.
    bool PollQuietly();
    // Tells the user that log lines were lost and waits for the answer.
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

protected:
    // Called under the table lock for every new entry, right after it was added.
    virtual void WriteAccessLine(std::int32_t key);
    // Called under the table lock at the end of every poll: the four automatic disconnection rules.
    virtual void ApplyDisconnectRules();
    // Appends a disconnect line (under the table lock, from the rules).
    virtual void WriteDisconnectLine(const std::string& clientName, const std::string& userName,
                                     const std::string& message);

    AppSettings& settings_;
    platform::ServerPlatform& server_;
    AccessLog* log_;
    mutable std::mutex mutex_;
    std::unique_ptr<AccessTable> table_;
    std::int32_t entryCount_ = 0;
    std::int32_t nextKey_ = 0;

private:
    // Texts of a session shared by its session entry and its open-file entries, made once per poll.
    struct SessionTexts;
    void MergeSession(const SessionRecord& session, SessionTexts& texts, std::uint64_t poll);
    void MergeOpenFile(const SessionRecord& session, const OpenFileRecord& file, SessionTexts& texts,
                       std::uint64_t poll);
    // Updates the match (already marked seen) or inserts a new entry, from values_.
    void Merge(AccessEntry* match, std::uint64_t poll);
    void Age(std::uint64_t poll);
    // Disconnects the entry's session; logs it once per entry when the rule's log condition holds.
    void DisconnectEntry(AccessEntry& entry, const std::string& ruleMessage, bool logCondition);

    std::uint64_t pollNumber_ = 0;
    bool linesLost_ = false; // a log line of the current poll could not be written
    AccessEntry values_;     // scratch for the values of one record, reused to keep its buffers
};

} // namespace glimmerfen
