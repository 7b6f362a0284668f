#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "frame/FrameHistogram.h"

namespace zorvane {
namespace {

// The copy (straight or turned) and the count against plain loops, for widths around the
// sixteen pixels copied at a time, a frame large enough for two threads, and frames in turn
// whose ranges differ, so that what one leaves behind would show in the next.
TEST(FrameHistogram, CopiesAndCountsLikePlainLoops) {
    struct Case {
        int width, height, low, high;
    };
    std::mt19937 rng(11);
    FrameHistogram counts;
    for (bool turn : {true, false}) {
        for (const Case& c : {Case{37, 9, 0, 65535}, Case{16, 5, 1000, 1003}, Case{17, 6, 7, 9},
                              Case{3, 30, 500, 900}, Case{1030, 540, 900, 1100},
                              Case{15, 4, 65530, 65535}, Case{1, 1, 4, 4}}) {
            std::uniform_int_distribution<int> value(c.low, c.high);
            std::vector<uint16_t> source(size_t(c.width) * c.height);
            for (uint16_t& v : source) v = uint16_t(value(rng));
            std::vector<uint16_t> want = source;
            if (turn) std::reverse(want.begin(), want.end());
            std::vector<uint32_t> wantCounts(65536, 0);
            for (int r = 1; r < c.height - 1; ++r)
                for (int x = 1; x < c.width - 1; ++x) ++wantCounts[want[size_t(r) * c.width + x]];
            const bool countable = int64_t(c.width - 2) * (c.height - 2) > 16;
            if (!countable) std::fill(wantCounts.begin(), wantCounts.end(), 0);

            std::vector<uint16_t> copy(source.size(), 0xDEAD);
            EXPECT_EQ(counts.CopyAndCount(copy.data(), source.data(), c.width, c.height, turn),
                      countable);
            EXPECT_EQ(copy, want) << c.width << " turn " << turn;
            ASSERT_TRUE(std::equal(wantCounts.begin(), wantCounts.end(), counts.Counts()))
                << c.width << " turn " << turn;
            if (countable) {
                // The bounds hold every count and come from the frame's values.
                auto nonZero = [](uint32_t n) { return n != 0; };
                const int first = int(std::find_if(wantCounts.begin(), wantCounts.end(), nonZero) -
                                      wantCounts.begin());
                const int last =
                    65535 - int(std::find_if(wantCounts.rbegin(), wantCounts.rend(), nonZero) -
                                wantCounts.rbegin());
                EXPECT_LE(counts.Lowest(), first);
                EXPECT_GE(counts.Highest(), last);
                EXPECT_GE(counts.Lowest(), c.low);
                EXPECT_LE(counts.Highest(), c.high);
            }
            // Counting in place gives the same.
            EXPECT_EQ(counts.Count(want.data(), c.width, c.height), countable);
            ASSERT_TRUE(std::equal(wantCounts.begin(), wantCounts.end(), counts.Counts()));
        }
    }
}

}  // namespace
}  // namespace zorvane
