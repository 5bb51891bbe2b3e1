#include "ui/logview/LogViewLogic.h"

#include <cstdint>

namespace glimmerfen::ui {

int ProgressScale::Position(std::size_t done) const {
    if (done > total_) {
        done = total_;
    }
    if (total_ <= kMaxRange) {
        return static_cast<int>(done);
    }
    // 128-bit-free: done and total fit in 64 bits, and done * 65535 does too for any file that fits
    // in memory (below 2^48 lines).
    return static_cast<int>(static_cast<std::uint64_t>(done) * kMaxRange / static_cast<std::uint64_t>(total_));
}

} // namespace glimmerfen::ui
