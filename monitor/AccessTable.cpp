#include "monitor/AccessTable.h"

#include <algorithm>
#include <atomic>

namespace glimmerfen {

namespace {
std::atomic<std::uint64_t> lastGeneration{0};
} // namespace

AccessTable::AccessTable() : generation_(++lastGeneration) {}

void AccessTable::NewGeneration() {
    generation_ = ++lastGeneration;
}

std::uint64_t AccessTable::NameHash(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

std::uint64_t AccessTable::CombineHashes(std::uint64_t a, std::uint64_t b) {
    return a ^ (b + 0x9e3779b97f4a7c15ull + (a << 6) + (a >> 2));
}

std::uint64_t AccessTable::HashPair(std::string_view first, std::string_view second) {
    return CombineHashes(NameHash(first), NameHash(second));
}

AccessTable::Node** AccessTable::PairIndex::Find(std::uint64_t hash) {
    if (slots_.empty()) {
        return nullptr;
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.head == nullptr) {
            return nullptr;
        }
        if (slot.hash == hash) {
            return &slot.head;
        }
    }
}

AccessTable::Node*& AccessTable::PairIndex::FindOrAdd(std::uint64_t hash) {
    if ((used_ + 1) * 4 > slots_.size() * 3) {
        Grow();
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
        Slot& slot = slots_[i];
        if (slot.head == nullptr) {
            slot.hash = hash;
            ++used_;
            return slot.head;
        }
        if (slot.hash == hash) {
            return slot.head;
        }
    }
}

void AccessTable::PairIndex::Erase(std::uint64_t hash) {
    if (slots_.empty()) {
        return;
    }
    const std::size_t mask = slots_.size() - 1;
    std::size_t hole = hash & mask;
    while (slots_[hole].head != nullptr && slots_[hole].hash != hash) {
        hole = (hole + 1) & mask;
    }
    if (slots_[hole].head == nullptr) {
        return;
    }
    // Backward shift: move later members of the probe run into the hole so no look-up stops early.
    for (std::size_t next = (hole + 1) & mask; slots_[next].head != nullptr; next = (next + 1) & mask) {
        const std::size_t home = slots_[next].hash & mask;
        const bool movable = hole <= next ? (home <= hole || home > next) : (home <= hole && home > next);
        if (movable) {
            slots_[hole] = slots_[next];
            hole = next;
        }
    }
    slots_[hole] = Slot{};
    --used_;
}

void AccessTable::PairIndex::Grow() {
    std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);
    old.swap(slots_);
    used_ = 0;
    const std::size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.head != nullptr) {
            std::size_t i = slot.hash & mask;
            while (slots_[i].head != nullptr) {
                i = (i + 1) & mask;
            }
            slots_[i] = slot;
            ++used_;
        }
    }
}

void AccessTable::IndexAdd(IndexId id, Node* node) {
    node->hash[id] = HashPair(First(node->entry, id), Second(node->entry, id));
    Node*& head = index_[id].FindOrAdd(node->hash[id]);
    node->next[id] = head;
    head = node;
}

void AccessTable::IndexRemove(IndexId id, Node* node) {
    Node** head = index_[id].Find(node->hash[id]);
    if (head == nullptr) {
        return;
    }
    if (*head == node && node->next[id] == nullptr) {
        // The last node of its chain: the slot goes while it still looks occupied, so that Erase
        // finds it and closes the gap in its probe run.
        index_[id].Erase(node->hash[id]);
        return;
    }
    for (Node** link = head; *link != nullptr; link = &(*link)->next[id]) {
        if (*link == node) {
            *link = node->next[id];
            break;
        }
    }
    node->next[id] = nullptr;
}

AccessTable::Node* AccessTable::IndexFind(IndexId id, std::string_view first, std::string_view second) const {
    return IndexFind(id, first, second, HashPair(first, second));
}

AccessTable::Node* AccessTable::IndexFind(IndexId id, std::string_view first, std::string_view second,
                                          std::uint64_t hash) const {
    Node* const* head = const_cast<PairIndex&>(index_[id]).Find(hash);
    if (head == nullptr) {
        return nullptr;
    }
    // Newest first: of the nodes with this pair, the one inserted last.
    Node* best = nullptr;
    for (Node* n = *head; n != nullptr; n = n->next[id]) {
        if ((best == nullptr || n->order > best->order) && First(n->entry, id) == first &&
            Second(n->entry, id) == second) {
            best = n;
        }
    }
    return best;
}

void AccessTable::Index(Node* node) {
    NewGeneration();
    IndexAdd(kClientUser, node);
    IndexAdd(kUserPath, node);
}

void AccessTable::Unindex(Node* node) {
    NewGeneration();
    IndexRemove(kClientUser, node);
    IndexRemove(kUserPath, node);
}

bool AccessTable::InsertFront(std::int32_t key, const AccessEntry& values) {
    if (byKey_.count(key) != 0) {
        return false;
    }
    entries_.push_front(Node{0, true, values, nextOrder_++, {}, {0, 0}, {nullptr, nullptr}});
    Node* node = &entries_.front();
    node->self = entries_.begin();
    node->entry.key = key;
    byKey_.emplace(key, node);
    Index(node);
    return true;
}

bool AccessTable::UpdateEntry(std::int32_t key, const AccessEntry& values) {
    const auto found = byKey_.find(key);
    if (found == byKey_.end()) {
        return false;
    }
    Node* node = found->second;
    AccessEntry& e = node->entry;
    const bool identityChanges =
        e.clientName != values.clientName || e.userName != values.userName || e.pathName != values.pathName;
    if (identityChanges) {
        Unindex(node);
    }
    e.clientName = values.clientName;
    e.userName = values.userName;
    e.openCount = values.openCount;
    e.startTimeText = values.startTimeText;
    e.startTime = values.startTime;
    e.connectedText = values.connectedText;
    e.connectedSeconds = values.connectedSeconds;
    e.idleText = values.idleText;
    e.idleSeconds = values.idleSeconds;
    e.userIdent = values.userIdent;
    e.clientType = values.clientType;
    e.fileId = values.fileId;
    e.operation = values.operation;
    e.lockCount = values.lockCount;
    e.pathName = values.pathName;
    if (identityChanges) {
        Index(node);
    }
    return true;
}

bool AccessTable::RemoveEntry(std::int32_t key) {
    const auto found = byKey_.find(key);
    if (found == byKey_.end()) {
        return false;
    }
    Erase(found->second->self);
    return true;
}

AccessEntry* AccessTable::FindEntry(std::int32_t key) {
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? nullptr : &found->second->entry;
}

const AccessEntry* AccessTable::FindEntry(std::int32_t key) const {
    const auto found = byKey_.find(key);
    return found == byKey_.end() ? nullptr : &found->second->entry;
}

std::optional<std::int32_t> AccessTable::FindByClientUser(std::string_view clientName,
                                                          std::string_view userName) const {
    const Node* node = IndexFind(kClientUser, clientName, userName);
    return node == nullptr ? std::nullopt : std::optional<std::int32_t>(node->entry.key);
}

std::optional<std::int32_t> AccessTable::FindByUserPath(std::string_view userName, std::string_view pathName) const {
    const Node* node = IndexFind(kUserPath, userName, pathName);
    return node == nullptr ? std::nullopt : std::optional<std::int32_t>(node->entry.key);
}

void AccessTable::Erase(NodeList::iterator it) {
    Unindex(&*it);
    byKey_.erase(it->entry.key);
    entries_.erase(it);
}

std::vector<AccessEntry> AccessTable::Copy() const {
    std::vector<AccessEntry> copy;
    copy.reserve(entries_.size());
    for (const Node& node : entries_) {
        copy.push_back(node.entry);
    }
    return copy;
}

AccessEntry* AccessTable::TouchByClientUser(std::string_view clientName, std::string_view userName,
                                            std::uint64_t poll) {
    Node* node = IndexFind(kClientUser, clientName, userName);
    if (node == nullptr) {
        return nullptr;
    }
    node->seenPoll = poll;
    return &node->entry;
}

AccessEntry* AccessTable::TouchByUserPath(std::string_view userName, std::string_view pathName, std::uint64_t poll) {
    return TouchByUserPath(userName, NameHash(userName), pathName, poll);
}

AccessEntry* AccessTable::TouchByUserPath(std::string_view userName, std::uint64_t userHash, std::string_view pathName,
                                          std::uint64_t poll) {
    Node* node = IndexFind(kUserPath, userName, pathName, CombineHashes(userHash, NameHash(pathName)));
    if (node == nullptr) {
        return nullptr;
    }
    node->seenPoll = poll;
    return &node->entry;
}

AccessTable::Node* AccessTable::Hinted(const Hint& hint, IndexId id, std::string_view first,
                                       std::string_view second) const {
    if (hint.node == nullptr || hint.generation != generation_) {
        return nullptr;
    }
    Node* node = static_cast<Node*>(const_cast<void*>(hint.node));
    return First(node->entry, id) == first && Second(node->entry, id) == second ? node : nullptr;
}

AccessEntry* AccessTable::Touch(Node* node, std::uint64_t poll) {
    if (node == nullptr) {
        return nullptr;
    }
    node->seenPoll = poll;
    return &node->entry;
}

AccessEntry* AccessTable::TouchByClientUser(std::string_view clientName, std::string_view userName, std::uint64_t poll,
                                            Hint& hint) {
    Node* node = Hinted(hint, kClientUser, clientName, userName);
    if (node == nullptr) {
        node = IndexFind(kClientUser, clientName, userName);
        hint = {node, generation_};
    }
    return Touch(node, poll);
}

AccessEntry* AccessTable::TouchByUserPath(std::string_view userName, std::uint64_t userHash, std::string_view pathName,
                                          std::uint64_t poll, Hint& hint) {
    Node* node = Hinted(hint, kUserPath, userName, pathName);
    if (node == nullptr) {
        node = IndexFind(kUserPath, userName, pathName, CombineHashes(userHash, NameHash(pathName)));
        hint = {node, generation_};
    }
    return Touch(node, poll);
}

void AccessTable::MarkSeen(std::int32_t key, std::uint64_t poll) {
    const auto found = byKey_.find(key);
    if (found != byKey_.end()) {
        found->second->seenPoll = poll;
    }
}

} // namespace glimmerfen
