// The clients the disconnection rules have cut off: a running count and the last few, for the tray's
// notices. The poll notes each cut; the tray (or the service's pipe) reads them on another thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "monitor/TableRecords.h"

namespace glimmerfen {

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
