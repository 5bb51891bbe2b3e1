#include "monitor/AccessMonitor.h"

#include <cmath>
#include <limits>
#include <unordered_map>
#include <utility>

#include "settings/Settings.h"
#include "monitor/log/AccessLog.h"
#include "monitor/ServerAccess.h"
#include "monitor/NameList.h"
#include "platform/ansitext.h"
#include "platform/clock.h"
#include "platform/netserver.h"
#include "platform/strings.h"
#include "res/event_ids.h"
#include "res/resource.h"

namespace glimmerfen {

// The texts of a session are made only when an entry needs them: an entry that is already in the
// table keeps its start-time text while the start instant stays the same, and its durations while the
// seconds do, so a steady poll formats and converts to local time only what changed.
class AccessMonitor::SessionTexts {
public:
    // now: the clock as the poll read it once; local: the poll's conversions to local time.
    SessionTexts(const SessionRecord& s, std::int32_t now, platform::LocalTimeCache& local)
        : s_(s), now_(now), local_(local) {}

    // The session's start: now minus the connected time.
    std::int32_t StartTime() {
        if (!haveStart_) {
            start_ = StartInstant(s_.connectedSeconds, now_);
            haveStart_ = true;
        }
        return start_;
    }
    const std::string& StartTimeText() {
        if (!haveStartText_) {
            startText_ = FormatLocalTime(local_.Parts(StartTime()));
            haveStartText_ = true;
        }
        return startText_;
    }
    const std::string& ConnectedText() {
        if (!haveConnected_) {
            connectedText_ = FormatDuration(s_.connectedSeconds);
            haveConnected_ = true;
        }
        return connectedText_;
    }
    const std::string& IdleText() {
        if (!haveIdle_) {
            idleText_ = FormatDuration(s_.idleSeconds);
            haveIdle_ = true;
        }
        return idleText_;
    }

    // Brings the session's times of an entry up to date, formatting only what changed.
    void UpdateTimes(AccessEntry& e) {
        const std::int32_t start = StartTime();
        if (e.startTime != start || e.startTimeText.empty()) {
            e.startTimeText = StartTimeText();
            e.startTime = start;
        }
        if (e.connectedSeconds != s_.connectedSeconds || e.connectedText.empty()) {
            e.connectedText = ConnectedText();
            e.connectedSeconds = s_.connectedSeconds;
        }
        if (e.idleSeconds != s_.idleSeconds || e.idleText.empty()) {
            e.idleText = IdleText();
            e.idleSeconds = s_.idleSeconds;
        }
    }

private:
    const SessionRecord& s_;
    const std::int32_t now_;
    platform::LocalTimeCache& local_;
    std::int32_t start_ = 0;
    std::string startText_;
    std::string connectedText_;
    std::string idleText_;
    bool haveStart_ = false;
    bool haveStartText_ = false;
    bool haveConnected_ = false;
    bool haveIdle_ = false;
};

// The files of a session mostly belong to one user: the user's half of their index hash is made once.
struct AccessMonitor::UserHash {
    std::string_view user;
    std::uint64_t hash = 0;
    bool made = false;

    std::uint64_t Of(std::string_view name) {
        if (!made || name != user) {
            user = name;
            hash = AccessTable::NameHash(name);
            made = true;
        }
        return hash;
    }
};

AccessMonitor::AccessMonitor(AppSettings& settings, platform::ServerPlatform& server, AccessLog* log,
                             ClientNames::Resolver resolver)
    : settings_(settings), server_(server), log_(log), clientNames_(std::move(resolver)) {}

AccessMonitor::~AccessMonitor() = default;

void AccessMonitor::CreateTable() {
    std::lock_guard<std::mutex> lock(mutex_);
    table_ = std::make_unique<AccessTable>();
    entryCount_ = 0;
    nextKey_ = 0;
}

void AccessMonitor::ReleaseTable() {
    std::unique_ptr<AccessTable> released;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        released = std::move(table_);
        entryCount_ = 0;
    }
}

std::int32_t AccessMonitor::EntryCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entryCount_;
}

TableSnapshot AccessMonitor::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    TableSnapshot snapshot;
    snapshot.hasTable = table_ != nullptr;
    snapshot.entryCount = entryCount_;
    snapshot.nextKey = nextKey_;
    if (table_) {
        snapshot.entries = table_->Copy();
    }
    return snapshot;
}

void AccessMonitor::Poll() {
    if (PollQuietly()) {
        ReportLostLines();
    }
}

bool AccessMonitor::PollQuietly() {
    std::lock_guard<std::mutex> pollLock(pollMutex_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!table_) {
            return false;
        }
    }
    // The server is asked before the table is locked: the enumerations touch only their own lists,
    // and readers need not wait for the network.
    // The record lists are kept from poll to poll: a steady population is enumerated into the storage
    // of the previous poll's records.
    RecordList<SessionRecord>& sessions = sessions_;
    const std::uint32_t sessionResult = EnumerateSessions(server_, sessions);
    std::uint32_t fileResult = 0;
    // One enumeration of every open file serves all sessions (each was a call to the server, a remote
    // one on a real server); a session gets its user's files as a filtered enumeration would give them.
    files_.clear();
    if (!sessions.empty()) {
        fileResult = EnumerateOpenFiles(server_, std::string(), files_);
    }
    GroupFilesByUser(sessions.size());
    serverState_ = sessionResult != 0 ? sessionResult : (fileResult != 0 ? (std::uint64_t{1} << 32) | fileResult : 0);
    eventsOn_ = events_ != nullptr && settings_.EventLog.load() != 0;
    NoteServerState(sessionResult != 0 ? sessionResult : fileResult);

    // Under the table's lock the poll only decides: the access lines of new entries and the sessions
    // to close are queued, and carried out in the same order once the table is free again, so that
    // neither a slow disk nor a slow server keeps the readers waiting.
    accessLines_.clear();
    disconnections_.clear();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!table_) {
            return false;
        }
        const std::uint64_t poll = ++pollNumber_;
        const std::int32_t now = platform::NowSeconds();
        // Each place in the server's lists keeps the entry it led to, for the next poll.
        sessionHints_.resize(sessions.size());
        fileHints_.resize(files_.size());
        for (std::size_t i = 0; i < sessions.size(); ++i) {
            SessionTexts texts(sessions[i], now, localTimes_);
            const std::vector<std::uint32_t>& files = FilesOf(sessions[i].userName);
            if (files.empty()) {
                MergeSession(sessions[i], texts, sessionHints_[i], poll);
            } else {
                UserHash userHash;
                for (const std::uint32_t f : files) {
                    MergeOpenFile(sessions[i], files_[f], texts, userHash, fileHints_[f], poll);
                }
            }
        }
        Age(poll);
        ApplyDisconnectRules();
    }
    // The access lines come first: a session that a rule closes was logged as an access before. Lines
    // that wait for a log held elsewhere are retried at every poll, also when it has none of its own.
    FlushLines(accessLines_);
    CarryOutDisconnections();
    if (!pollEvents_.Empty()) {
        events_->Post(pollEvents_);
    }
    return log_ != nullptr && log_->TakeFailureToReport();
}

AccessMonitor::ServerState AccessMonitor::LastServerState() const {
    const std::uint64_t state = serverState_.load();
    return {static_cast<std::uint32_t>(state), (state >> 32) != 0};
}

void AccessMonitor::GroupFilesByUser(std::size_t sessions) {
    // Users who had files or sessions keep their (emptied) lists for the next poll, unless they pile up.
    if (spellings_.size() > 2 * (files_.size() + sessions) + 64) {
        filesByUser_.clear();
        spellings_.clear();
    } else {
        for (auto& [user, places] : filesByUser_) {
            places.clear();
        }
    }
    allFiles_.clear();
    // A name is upper-cased once per spelling, not once per file; a user's files often come in a run.
    const std::string* lastName = nullptr;
    std::vector<std::uint32_t>* lastPlaces = nullptr;
    for (std::uint32_t i = 0; i < files_.size(); ++i) {
        const std::string& name = files_[i].userName;
        if (lastName == nullptr || *lastName != name) {
            lastName = &name;
            lastPlaces = &PlacesOf(name);
        }
        lastPlaces->push_back(i);
        allFiles_.push_back(i);
    }
}

std::vector<std::uint32_t>& AccessMonitor::PlacesOf(const std::string& spelling) {
    auto found = spellings_.find(spelling);
    if (found == spellings_.end()) {
        found = spellings_.emplace(spelling, &filesByUser_[AnsiUpper(spelling)]).first;
    }
    return *found->second;
}

const std::vector<std::uint32_t>& AccessMonitor::FilesOf(const std::string& userName) {
    // A filter without a user name is no filter: such a session is given every open file.
    return userName.empty() ? allFiles_ : PlacesOf(userName);
}

void AccessMonitor::MergeSession(const SessionRecord& s, SessionTexts& texts, AccessTable::Hint& hint,
                                 std::uint64_t poll) {
    if (s.userName.empty()) {
        return;
    }
    AccessEntry* match = table_->TouchByClientUser(s.clientName, s.userName, poll, hint);
    // A match already carries the client and user; unless it is an open-file entry that this session
    // takes over (possible only for a session without a client name), its values change in place.
    const bool inPlace = match != nullptr && match->pathName.empty();
    AccessEntry& v = inPlace ? *match : values_;
    if (!inPlace) {
        v.clientName = s.clientName;
        v.userName = s.userName;
        v.pathName.clear();
        v.startTimeText.clear(); // made anew below
    }
    v.openCount = s.openCount;
    texts.UpdateTimes(v);
    v.userIdent = UserIdentWord(s.userFlags);
    v.clientType = s.clientType;
    v.fileId = 0;
    v.operation.clear();
    v.lockCount = 0;
    if (!inPlace) {
        Store(match, poll);
    }
}

void AccessMonitor::MergeOpenFile(const SessionRecord& s, const OpenFileRecord& f, SessionTexts& texts,
                                  UserHash& userHash, AccessTable::Hint& hint, std::uint64_t poll) {
    if (s.clientName.empty() || f.userName.empty() || f.pathName.empty()) {
        return;
    }
    AccessEntry* match = table_->TouchByUserPath(f.userName, userHash.Of(f.userName), f.pathName, poll, hint);
    // A match with this user and path has an empty client name unless it was made otherwise.
    const bool inPlace = match != nullptr && match->clientName.empty();
    AccessEntry& v = inPlace ? *match : values_;
    if (!inPlace) {
        v.clientName.clear();
        v.userName = f.userName;
        v.pathName = f.pathName;
        v.startTimeText.clear(); // made anew below
    }
    v.openCount = 0;
    texts.UpdateTimes(v);
    v.userIdent.clear();
    v.clientType.clear();
    v.fileId = static_cast<std::int32_t>(f.fileId);
    v.operation = PermissionWord(f.permissions);
    v.lockCount = static_cast<std::int32_t>(f.lockCount);
    if (!inPlace) {
        Store(match, poll);
    }
}

void AccessMonitor::Store(AccessEntry* match, std::uint64_t poll) {
    if (match != nullptr) {
        table_->UpdateEntry(match->key, values_);
    } else {
        Insert(poll);
    }
}

void AccessMonitor::Insert(std::uint64_t poll) {
    // After 2^31 new accesses the keys start again at 0; an entry that has stayed in the table all
    // that time keeps its key, and the new one takes the next free number.
    std::int32_t key = nextKey_;
    while (table_->FindEntry(key) != nullptr) {
        key = key == std::numeric_limits<std::int32_t>::max() ? 0 : key + 1;
    }
    values_.staleSeconds = 0.0f;
    values_.disconnected = 0;
    table_->InsertFront(key, values_);
    table_->MarkSeen(key, poll);
    ++entryCount_;
    nextKey_ = key == std::numeric_limits<std::int32_t>::max() ? 0 : key + 1;
    WriteAccessLine(key);
}

void AccessMonitor::Age(std::uint64_t poll) {
    const int cycle = settings_.CycleTime1.load();
    const int viewTime = settings_.ViewTime.load();
    const std::size_t removed = table_->AgeUnseen(poll, [&](AccessEntry& e) {
        // Counted in polls: every unseen poll adds one period, however long it really took. The sum
        // is kept as a 32-bit float.
        e.staleSeconds = static_cast<float>(static_cast<double>(e.staleSeconds) + cycle * 0.001);
        return std::trunc(static_cast<double>(e.staleSeconds)) > static_cast<double>(viewTime);
    });
    entryCount_ -= static_cast<std::int32_t>(removed);
}

void AccessMonitor::WriteAccessLine(std::int32_t key) {
    const AccessEntry* entry = table_->FindEntry(key);
    if (entry == nullptr || (log_ == nullptr && !eventsOn_)) {
        return;
    }
    const std::string resolved = clientNames_.NameOf(entry->clientName);
    if (!AccessLog::RecordsAccess(settings_, *entry, resolved)) {
        return;
    }
    if (log_ != nullptr && settings_.LogOut.load() != 0) {
        AccessLog::AppendAccessLine(accessLines_, *entry);
    }
    if (eventsOn_) {
        pollEvents_.AddAccess(*entry, resolved);
    }
}

void AccessMonitor::NoteServerState(std::uint32_t code) {
    const std::uint32_t last = lastCode_;
    lastCode_ = code;
    if (!eventsOn_ || code == last) {
        return;
    }
    if (code == 0) {
        pollEvents_.Add(platform::EventType::Information, kEventServerAnswers, {});
        return;
    }
    const std::string codeText = std::to_string(code);
    EventFields fields;
    fields.message = codeText;
    pollEvents_.Add(platform::EventType::Error,
                    code == platform::kErrorAccessDenied ? kEventServerAccessDenied : kEventServerError, fields);
}

void AccessMonitor::WriteDisconnectLine(const std::string& clientName, const std::string& userName,
                                        const std::string& message) {
    if (log_ != nullptr && AccessLog::LogsDisconnections(settings_)) {
        AccessLog::AppendDisconnectLine(disconnectLines_, platform::NowSeconds(), clientName, userName, message);
    }
}

void AccessMonitor::FlushLines(std::string& lines) {
    if (log_ == nullptr) {
        return;
    }
    log_->AppendLine(lines);
    lines.clear();
}

void AccessMonitor::ReportLostLines() {
    if (log_ != nullptr) {
        log_->ReportFailure();
    }
}

void AccessMonitor::DisconnectEntry(AccessEntry& entry, const std::string& ruleMessage, bool logCondition) {
    // The session is closed every time a rule selects the entry, marked or not; the entry is marked
    // whether the closing succeeds or not, so it can be marked now.
    const bool log = logCondition && entry.disconnected == 0;
    disconnections_.push_back(
        {entry.clientName, entry.userName, log ? ruleMessage : std::string(), log, entry.startTime});
    if (log) {
        entry.disconnected = 1;
    }
}

void AccessMonitor::CarryOutDisconnections() {
    if (disconnections_.empty()) {
        return;
    }
    disconnectLines_.clear();
    // An open-file entry has no client name: every session of the user who holds the file is closed.
    // The user's other files selected in this poll share that outcome; asking again would find none
    // of the user's sessions left and log a failure for a holder who has just been cut.
    std::unordered_map<std::string, std::string> userOutcomes;
    for (const Disconnection& d : disconnections_) {
        std::string result;
        if (d.clientName.empty()) {
            const std::string user = AnsiUpper(d.userName);
            auto outcome = userOutcomes.find(user);
            if (outcome == userOutcomes.end()) {
                outcome = userOutcomes.emplace(user, DisconnectAccess(server_, d.clientName, d.userName)).first;
            }
            result = outcome->second;
        } else {
            result = DisconnectAccess(server_, d.clientName, d.userName);
        }
        if (d.log) {
            if (result.empty()) {
                ruleCuts_.Note({d.clientName, d.userName, d.message});
            }
            WriteDisconnectLine(d.clientName, d.userName, result.empty() ? d.message : result);
            if (eventsOn_ && AccessLog::RecordsDisconnections(settings_)) {
                const std::string resolved = clientNames_.NameOf(d.clientName);
                EventFields fields;
                fields.client = d.clientName;
                fields.clientName = resolved;
                fields.user = d.userName;
                fields.message = result.empty() ? d.message : result;
                fields.connectionStart = d.startTime;
                pollEvents_.Add(result.empty() ? platform::EventType::Warning : platform::EventType::Error,
                                result.empty() ? kEventDisconnectedByRule : kEventDisconnectFailed, fields);
            }
        }
    }
    disconnections_.clear();
    FlushLines(disconnectLines_);
}

std::string ExtensionText(std::string_view pathName) {
    const std::size_t dot = pathName.find('.');
    return AnsiLower(dot == std::string_view::npos ? pathName : pathName.substr(dot + 1));
}

void AccessMonitor::ApplyDisconnectRules() {
    if (!table_) {
        return;
    }
    const AppSettings& s = settings_;

    // Acceptable PC: every client not on the list.
    if (s.DisJuncPcFlag == 1 && s.DisJuncOkPcFlag == 1) {
        const auto list = s.DisJuncOkPcStr.Snapshot();
        if (!list->empty()) {
            const CaseFreeNameSet acceptable(*list);
            const std::string message = platform::LoadText(IDS_DISCONNECT_NOT_ACCEPTABLE);
            table_->ForEach([&](AccessEntry& e) {
                if (e.clientName.empty() || acceptable.Contains(e.clientName)) {
                    return;
                }
                // A client known by its address is acceptable by its name too.
                const std::string name = clientNames_.NameOf(e.clientName);
                if (name.empty() || !acceptable.Contains(name)) {
                    DisconnectEntry(e, message, true);
                }
            });
        }
    }

    // Denied PC: item by item, so an entry named twice is disconnected twice (and logged once).
    if (s.DisJuncPcFlag == 1 && s.DisJuncNgPcFlag == 1) {
        const auto list = s.DisJuncNgPcStr.Snapshot();
        if (!list->empty()) {
            const std::string message = platform::LoadText(IDS_DISCONNECT_DENIED);
            // The resolved names of clients known by their address, once per poll.
            std::unordered_map<std::string, std::string> names;
            table_->ForEach([&](AccessEntry& e) {
                if (std::string name = clientNames_.NameOf(e.clientName); !name.empty()) {
                    names.emplace(e.clientName, std::move(name));
                }
            });
            for (std::string_view item : SplitList(*list)) {
                table_->ForEach([&](AccessEntry& e) {
                    const auto name = names.find(e.clientName);
                    if (AnsiEqualNoCase(e.clientName, item) ||
                        (name != names.end() && AnsiEqualNoCase(name->second, item))) {
                        DisconnectEntry(e, message, true);
                    }
                });
            }
        }
    }

    // Extension: the text after the first "." of the path, whichever directory it stands in.
    if (s.DisJuncFileFlag == 1) {
        const auto list = s.DisJuncFileStr.Snapshot();
        if (!list->empty()) {
            const std::string suffix = platform::LoadText(IDS_DISCONNECT_EXTENSION);
            std::vector<std::pair<AccessEntry*, std::string>> extensions;
            table_->ForEach([&](AccessEntry& e) {
                if (!e.pathName.empty()) {
                    extensions.emplace_back(&e, ExtensionText(e.pathName));
                }
            });
            for (std::string_view item : SplitList(*list)) {
                const std::string lowerItem = AnsiLower(item);
                for (auto& [entry, extension] : extensions) {
                    if (extension == lowerItem) {
                        DisconnectEntry(*entry, extension + suffix, true);
                    }
                }
            }
        }
    }

    // Time limit: compared as unsigned. Session entries are disconnected without a line, so again at
    // every poll while they stay in the table.
    if (s.DisJuncTimerFlag == 1 && s.DisJuncTimer != 0) {
        const int limit = s.DisJuncTimer;
        const std::string message = std::to_string(limit) + platform::LoadText(IDS_DISCONNECT_TIME_LIMIT);
        table_->ForEach([&](AccessEntry& e) {
            if (e.connectedSeconds > static_cast<std::uint32_t>(limit)) {
                DisconnectEntry(e, message, !e.pathName.empty());
            }
        });
    }
}

} // namespace glimmerfen
