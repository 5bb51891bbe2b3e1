// The clients the disconnection rules have cut off: a running count and the last few, for the tray's
// notices. The poll notes each cut; the tray (or the service's pipe) reads them on another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace glimmerfen {

// One session a rule closed: who, from which computer (empty for an open-file entry, whose sessions
// were closed by user), and the rule's message as the log line gives it.
struct RuleCut {
    std::string client;
    std::string user;
    std::string rule;
    bool operator==(const RuleCut&) const = default;
};

// The count of every cut so far and the newest kKeptCuts of them, oldest first.
struct RuleCutRecord {
    std::uint64_t total = 0;
    std::vector<RuleCut> recent;
    bool operator==(const RuleCutRecord&) const = default;
};

class RuleCuts {
public:
    static constexpr std::size_t kKeptCuts = 8;

    void Note(RuleCut cut);
    RuleCutRecord Read() const;

private:
    mutable std::mutex mutex_;
    std::uint64_t total_ = 0;
    std::deque<RuleCut> recent_;
};

} // namespace glimmerfen
