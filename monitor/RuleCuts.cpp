#include "monitor/RuleCuts.h"

#include <utility>

namespace glimmerfen {

void RuleCuts::Note(RuleCut cut) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++total_;
    recent_.push_back(std::move(cut));
    if (recent_.size() > kKeptCuts) {
        recent_.pop_front();
    }
}

RuleCutRecord RuleCuts::Read() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return {total_, std::vector<RuleCut>(recent_.begin(), recent_.end())};
}

} // namespace glimmerfen
