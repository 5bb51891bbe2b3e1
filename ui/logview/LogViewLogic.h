// What the log viewer decides without a window: the progress bar's range and positions.
#pragma once

#include <cstddef>

namespace glimmerfen::ui {

// A progress bar's range and position are 16-bit quantities. Up to 65,535 lines the range is the
// line count and the position the number of lines done; with more, both are scaled down, so that the
// bar still runs from empty to full.
class ProgressScale {
public:
    static constexpr int kMaxRange = 65535;

    explicit ProgressScale(std::size_t total) : total_(total) {}

    int Range() const { return total_ > kMaxRange ? kMaxRange : static_cast<int>(total_); }
    // The position for done lines of the total (done beyond the total counts as the total).
    int Position(std::size_t done) const;

private:
    std::size_t total_;
};

} // namespace glimmerfen::ui
