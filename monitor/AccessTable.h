// The table of current accesses, newest first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace glimmerfen {

// One current access. A session entry has clientName set and pathName empty; an open-file entry has
// pathName set and clientName empty.
struct AccessEntry {
    std::int32_t key = -1;
    std::string clientName;
    std::string userName;
    std::int32_t openCount = 0;
    std::string startTimeText;
    std::int32_t startTime = 0;
    std::string connectedText;
    std::uint32_t connectedSeconds = 0;
    std::string idleText;
    std::uint32_t idleSeconds = 0; // the number idleText was made from
    std::string userIdent;
    std::string clientType;
    std::int32_t fileId = 0;
    std::string operation;
    std::int32_t lockCount = 0;
    std::string pathName;
    float staleSeconds = 0.0f; // seconds, counted in polls, since the entry was last enumerated
    std::int32_t disconnected = 0;

    bool operator==(const AccessEntry&) const = default;
};

// Newest first; entries never move. Besides the list the table keeps two indexes, on (clientName,
// userName) and on (userName, pathName), that answer "the first entry newest first with this pair"
// without a walk. Every operation keeps them in step with the entries.
class AccessTable {
public:
    AccessTable();
    AccessTable(const AccessTable&) = delete;
    AccessTable& operator=(const AccessTable&) = delete;

    // A new entry with this key and a copy of every value, in front of all others.
    // False when an entry with this key already exists (keys are never shared).
    bool InsertFront(std::int32_t key, const AccessEntry& values);
    // Copies clientName to pathName from values into the entry with this key.
    bool UpdateEntry(std::int32_t key, const AccessEntry& values);
    bool RemoveEntry(std::int32_t key);
    AccessEntry* FindEntry(std::int32_t key);
    const AccessEntry* FindEntry(std::int32_t key) const;

    // The first entry, newest first, whose clientName and userName are these.
    std::optional<std::int32_t> FindByClientUser(std::string_view clientName, std::string_view userName) const;
    // The first entry, newest first, whose userName and pathName are these.
    std::optional<std::int32_t> FindByUserPath(std::string_view userName, std::string_view pathName) const;

    std::size_t Size() const { return entries_.size(); }

    // Visits every entry newest first.
    template <typename Visit>
    void ForEach(Visit&& visit) const {
        for (const Node& node : entries_) {
            visit(node.entry);
        }
    }
    template <typename Visit>
    void ForEach(Visit&& visit) {
        for (Node& node : entries_) {
            visit(node.entry);
        }
    }

    // Visits every entry newest first with the number of the last poll that saw it; removes those
    // for which the visitor returns true. Returns the number removed.
    template <typename Decide>
    std::size_t RemoveIf(Decide&& decide) {
        std::size_t removed = 0;
        for (auto it = entries_.begin(); it != entries_.end();) {
            const auto current = it++;
            if (decide(current->entry, current->seenPoll)) {
                Erase(current);
                ++removed;
            } else {
                current->stale = true; // the visitor may have changed staleSeconds
            }
        }
        return removed;
    }

    // The aging pass of a poll, newest first: an entry seen in poll gets staleSeconds 0; decide(entry)
    // is asked for every other entry, which is removed when it returns true. Returns the number
    // removed. The entries seen in poll whose staleSeconds is already 0 are passed over without
    // being read, so a steady table is aged at the cost of a walk over its links.
    template <typename Decide>
    std::size_t AgeUnseen(std::uint64_t poll, Decide&& decide) {
        std::size_t removed = 0;
        for (auto it = entries_.begin(); it != entries_.end();) {
            const auto current = it++;
            Node& node = *current;
            if (node.seenPoll == poll) {
                if (node.stale) {
                    node.entry.staleSeconds = 0.0f;
                    node.stale = false;
                }
                continue;
            }
            if (decide(node.entry)) {
                Erase(current);
                ++removed;
            } else {
                node.stale = node.entry.staleSeconds != 0.0f;
            }
        }
        return removed;
    }

    std::vector<AccessEntry> Copy() const;

    // Poll marks: an entry is "seen" in a poll when MarkSeen was called with that poll's number.
    void MarkSeen(std::int32_t key, std::uint64_t poll);

    // The poll's look-ups: the entry FindByClientUser / FindByUserPath would name, already marked as
    // seen in poll; null when there is none. The caller may change the entry's other fields in place,
    // but its clientName, userName and pathName only through UpdateEntry.
    AccessEntry* TouchByClientUser(std::string_view clientName, std::string_view userName, std::uint64_t poll);
    AccessEntry* TouchByUserPath(std::string_view userName, std::string_view pathName, std::uint64_t poll);
    // The same with the user name's NameHash made beforehand, for a run of records of one user.
    AccessEntry* TouchByUserPath(std::string_view userName, std::uint64_t userHash, std::string_view pathName,
                                 std::uint64_t poll);

    // Where a look-up found its entry (or found none), for the next look-up of the same place in the
    // server's list: while no entry has been added, removed or renamed in any table since, the same
    // names find the same entry, and a hint whose entry still carries them saves the index. A steady
    // server's records come in the same order poll after poll.
    struct Hint {
        const void* node = nullptr;
        std::uint64_t generation = 0; // of the index when the hint was made
    };
    AccessEntry* TouchByClientUser(std::string_view clientName, std::string_view userName, std::uint64_t poll,
                                   Hint& hint);
    AccessEntry* TouchByUserPath(std::string_view userName, std::uint64_t userHash, std::string_view pathName,
                                 std::uint64_t poll, Hint& hint);

    // The hash of one name of a pair, as the indexes use it.
    static std::uint64_t NameHash(std::string_view name);

private:
    struct Node;
    using NodeList = std::list<Node>;

    // One index: a 64-bit hash of a pair of names leads to a chain of the nodes with that hash (the
    // same pair, or in rare cases another pair with the same hash). The chains run through the nodes
    // themselves, so a look-up touches the map and then only the nodes it compares.
    // Open addressing with linear probing: a look-up reads one slot array instead of chasing the
    // nodes of a node-based map.
    class PairIndex {
    public:
        Node** Find(std::uint64_t hash);
        Node*& FindOrAdd(std::uint64_t hash);
        void Erase(std::uint64_t hash);

    private:
        struct Slot {
            std::uint64_t hash = 0;
            Node* head = nullptr; // null: the slot is free
        };
        void Grow();
        std::vector<Slot> slots_;
        std::size_t used_ = 0;
    };
    enum IndexId { kClientUser = 0, kUserPath = 1 };

    // What the aging pass reads of every entry comes first, beside the list's own links.
    struct Node {
        std::uint64_t seenPoll = 0; // last poll that enumerated the entry
        bool stale = true;          // entry.staleSeconds may not be 0
        AccessEntry entry;
        std::uint64_t order = 0; // insertion order: larger is newer
        NodeList::iterator self;
        std::uint64_t hash[2] = {0, 0};
        Node* next[2] = {nullptr, nullptr}; // chain of the same hash, per index
    };

    static std::uint64_t HashPair(std::string_view first, std::string_view second);
    static std::uint64_t CombineHashes(std::uint64_t first, std::uint64_t second);
    static std::string_view First(const AccessEntry& e, IndexId id) {
        return id == kClientUser ? e.clientName : e.userName;
    }
    static std::string_view Second(const AccessEntry& e, IndexId id) {
        return id == kClientUser ? e.userName : e.pathName;
    }
    void IndexAdd(IndexId id, Node* node);
    void IndexRemove(IndexId id, Node* node);
    Node* IndexFind(IndexId id, std::string_view first, std::string_view second) const;
    Node* IndexFind(IndexId id, std::string_view first, std::string_view second, std::uint64_t hash) const;
    void Index(Node* node);
    void Unindex(Node* node);
    void Erase(NodeList::iterator it);
    // The hint's entry if it may stand for IndexFind(id, first, second), else null.
    Node* Hinted(const Hint& hint, IndexId id, std::string_view first, std::string_view second) const;
    AccessEntry* Touch(Node* node, std::uint64_t poll);

    NodeList entries_;
    std::unordered_map<std::int32_t, Node*> byKey_;
    PairIndex index_[2];
    std::uint64_t nextOrder_ = 1;
    // Changed with every change of either index, to a number no table of the process had before, so
    // that a hint outlives neither a change nor its table.
    std::uint64_t generation_;
    void NewGeneration();
};

} // namespace glimmerfen
