// The log viewer's decisions that need no window: the progress bar within its 16-bit range.
#include "ui/logview/LogViewLogic.h"

#include <cstddef>

#include <gtest/gtest.h>

namespace glimmerfen::ui {
namespace {

// The bar runs from empty to full and never leaves its range, below and above 65,535 lines.
TEST(ProgressScaleTest, RangeAndPositionsStayWithin16Bits) {
    struct Case {
        std::size_t total;
        std::size_t done;
        int range;
        int position;
    };
    const Case cases[] = {
        {0, 0, 0, 0},
        {12, 5, 12, 5},
        {65535, 65535, 65535, 65535},
        {65536, 0, 65535, 0},
        {65536, 65536, 65535, 65535},
        {65536, 32768, 65535, 32767},
        {1000000, 500000, 65535, 32767},
        {1000000, 1000000, 65535, 65535},
        {1000000, 2000000, 65535, 65535}, // more done than the total: full, not beyond
        {12, 13, 12, 12},
    };
    for (const Case& c : cases) {
        const ProgressScale scale(c.total);
        EXPECT_EQ(scale.Range(), c.range) << c.total;
        EXPECT_EQ(scale.Position(c.done), c.position) << c.total << " " << c.done;
    }
}

} // namespace
} // namespace glimmerfen::ui
