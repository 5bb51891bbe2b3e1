#include "monitor/pipe/TableDelta.h"

#include <atomic>
#include <bit>
#include <functional>
#include <string_view>
#include <utility>

namespace glimmerfen::pipe {
namespace {

// The finaliser of splitmix64: every input bit reaches every output bit.
std::uint64_t Mix(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
}

class Hasher {
public:
    void Add(std::uint64_t value) { h_ = Mix(h_ + 0x9e3779b97f4a7c15ull + value); }
    void Add(std::string_view text) {
        Add(std::hash<std::string_view>{}(text));
        Add(static_cast<std::uint64_t>(text.size()));
    }
    std::uint64_t Value() const { return h_; }

private:
    std::uint64_t h_ = 0;
};

// Generations are never reused in a process, so a tray's generation matches only the source that
// gave it.
std::uint64_t NewGeneration() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace

std::uint64_t EntryHash(const AccessEntry& e) {
    Hasher h;
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.key)));
    h.Add(e.clientName);
    h.Add(e.userName);
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.openCount)));
    h.Add(e.startTimeText);
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.startTime)));
    h.Add(e.connectedText);
    h.Add(static_cast<std::uint64_t>(e.connectedSeconds));
    h.Add(e.idleText);
    h.Add(static_cast<std::uint64_t>(e.idleSeconds));
    h.Add(e.userIdent);
    h.Add(e.clientType);
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.fileId)));
    h.Add(e.operation);
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.lockCount)));
    h.Add(e.pathName);
    h.Add(static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(e.staleSeconds)));
    h.Add(static_cast<std::uint64_t>(static_cast<std::uint32_t>(e.disconnected)));
    return h.Value();
}

TableDelta DeltaSource::Changes(std::uint64_t since, const AccessTable* table) {
    return Collect(since, [table](auto&& visit) {
        if (table != nullptr) {
            table->ForEach(visit);
        }
    });
}

TableDelta DeltaSource::Changes(std::uint64_t since, const std::vector<AccessEntry>& entries) {
    return Collect(since, [&entries](auto&& visit) {
        for (const AccessEntry& e : entries) {
            visit(e);
        }
    });
}

template <typename ForEach>
TableDelta DeltaSource::Collect(std::uint64_t since, ForEach&& forEach) {
    TableDelta delta;
    delta.since = since;
    delta.reset = !primed_ || since != generation_;
    if (delta.reset) {
        sent_.clear();
        order_.clear();
    }
    const std::uint64_t mark = ++mark_;
    met_.clear();
    forEach([&](const AccessEntry& e) {
        const std::uint64_t hash = EntryHash(e);
        auto it = sent_.find(e.key);
        Sent* sent = nullptr;
        if (it != sent_.end()) {
            sent = &it->second;
            sent->mark = mark;
        }
        met_.push_back({&e, hash, sent});
    });

    // The tray prepends what is added and keeps the places of what it has: that holds while the new
    // entries lead and the known ones keep the order they were sent in, as the table keeps them.
    // Anything else (a key that came back elsewhere) is sent whole.
    std::size_t lead = 0;
    while (lead < met_.size() && met_[lead].sent == nullptr) {
        ++lead;
    }
    bool inOrder = true;
    std::size_t j = 0;
    for (std::size_t i = lead; i < met_.size() && inOrder; ++i) {
        if (met_[i].sent == nullptr) {
            inOrder = false;
            break;
        }
        while (j < order_.size() && sent_[order_[j]].mark != mark) {
            ++j;
        }
        inOrder = j < order_.size() && order_[j] == met_[i].entry->key;
        ++j;
    }
    if (!inOrder) {
        delta.reset = true;
        sent_.clear();
        for (Met& m : met_) {
            m.sent = nullptr;
        }
        lead = met_.size();
    }

    if (!delta.reset) {
        for (const std::int32_t key : order_) {
            auto it = sent_.find(key);
            if (it->second.mark != mark) {
                delta.removed.push_back(key);
                sent_.erase(it);
            }
        }
    }
    order_.clear();
    order_.reserve(met_.size());
    for (std::size_t i = 0; i < met_.size(); ++i) {
        const Met& m = met_[i];
        order_.push_back(m.entry->key);
        if (i < lead) {
            delta.added.push_back(*m.entry);
            sent_[m.entry->key] = {m.hash, mark};
            continue;
        }
        if (m.sent->hash != m.hash) {
            m.sent->hash = m.hash;
            delta.changed.push_back(*m.entry);
        }
    }
    met_.clear();
    primed_ = true;
    generation_ = NewGeneration();
    delta.generation = generation_;
    return delta;
}

bool TableMirror::Apply(TableDelta delta) {
    if (delta.reset) {
        Clear();
    } else if (delta.since != generation_) {
        Clear();
        return false;
    }
    for (const std::int32_t key : delta.removed) {
        auto it = byKey_.find(key);
        if (it == byKey_.end()) {
            Clear();
            return false;
        }
        entries_.erase(it->second);
        byKey_.erase(it);
    }
    for (AccessEntry& e : delta.changed) {
        auto it = byKey_.find(e.key);
        if (it == byKey_.end()) {
            Clear();
            return false;
        }
        *it->second = std::move(e);
    }
    // Newest first: the last of the added goes in front first.
    for (auto e = delta.added.rbegin(); e != delta.added.rend(); ++e) {
        if (byKey_.count(e->key) != 0) {
            Clear();
            return false;
        }
        entries_.push_front(std::move(*e));
        byKey_.emplace(entries_.front().key, entries_.begin());
    }
    generation_ = delta.generation;
    state_ = delta.state;
    return true;
}

void TableMirror::Clear() {
    entries_.clear();
    byKey_.clear();
    generation_ = 0;
    state_ = {};
}

TableSnapshot TableMirror::Snapshot() const {
    TableSnapshot snapshot;
    snapshot.hasTable = state_.hasTable;
    snapshot.entryCount = state_.entryCount;
    snapshot.entries.assign(entries_.begin(), entries_.end());
    return snapshot;
}

} // namespace glimmerfen::pipe
