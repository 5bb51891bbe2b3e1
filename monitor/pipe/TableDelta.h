// The table carried as changes: the service keeps, per tray, what it last sent (a hash of each entry's
// fields by key, and the keys' order) and answers "changes since generation G" with the entries that
// are new or whose hash changed and the keys that left; the tray keeps a mirror that applies them and
// gives back the entries as the list shows them.
#pragma once

#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

#include "monitor/AccessTable.h"
#include "monitor/TableRecords.h"
#include "monitor/pipe/PipeProtocol.h"

namespace glimmerfen::pipe {

// A 64-bit hash of every field of an entry.
std::uint64_t EntryHash(const AccessEntry& entry);

// The service's side, one per connected tray. Keys are unique in what it is given.
class DeltaSource {
public:
    // The changes that bring a tray at generation `since` to the table (null: there is none), with
    // everything but delta.state filled in. A tray whose generation is not the one this source gave
    // last (a new tray, one that lost a delta, the first delta of this source) gets a reset.
    TableDelta Changes(std::uint64_t since, const AccessTable* table);
    // The same of a snapshot's entries, newest first.
    TableDelta Changes(std::uint64_t since, const std::vector<AccessEntry>& entries);

private:
    template <typename ForEach>
    TableDelta Collect(std::uint64_t since, ForEach&& forEach);

    struct Sent {
        std::uint64_t hash = 0;
        std::uint64_t mark = 0; // the pass that last met the key
    };
    struct Met {
        const AccessEntry* entry;
        std::uint64_t hash;
        Sent* sent; // null: not in sent_ before this pass (the map's nodes stay put)
    };
    bool primed_ = false;
    std::uint64_t generation_ = 0;
    std::uint64_t mark_ = 0;
    std::unordered_map<std::int32_t, Sent> sent_;
    std::vector<std::int32_t> order_; // the keys as last sent, newest first
    std::vector<Met> met_;            // scratch of one pass, kept for its storage
};

// The tray's side.
class TableMirror {
public:
    // Applies a delta that follows on this mirror's generation (or resets it). A delta that does not
    // follow, or that names keys the mirror cannot place (an added key it has, a changed or removed key
    // it lacks), empties the mirror and sets its generation to 0, so that the next request gets a reset;
    // false then.
    bool Apply(TableDelta delta);

    std::uint64_t Generation() const { return generation_; }
    const TableState& State() const { return state_; }
    std::size_t Size() const { return entries_.size(); }
    // f(entry) for each entry, newest first.
    template <typename F>
    void ForEach(F&& f) const {
        for (const AccessEntry& entry : entries_) {
            f(entry);
        }
    }
    // The same as the list's refresh reads a table: the entries newest first, as the service's table
    // holds them.
    TableSnapshot Snapshot() const;

private:
    void Clear();

    std::uint64_t generation_ = 0;
    TableState state_;
    std::list<AccessEntry> entries_;
    std::unordered_map<std::int32_t, std::list<AccessEntry>::iterator> byKey_;
};

} // namespace glimmerfen::pipe
