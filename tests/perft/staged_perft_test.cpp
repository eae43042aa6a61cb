// Path counts through the staged generators, with the search's pin lines and checkers, against
// the known counts of every suite line.

#include <gtest/gtest.h>

#include "board/fen.h"
#include "search/perft_staged.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

#ifdef TARVO_SANITIZED
constexpr std::uint64_t MaxLeaves = 20000;
#else
constexpr std::uint64_t MaxLeaves = 1000000;
#endif

TEST(PerftStaged, MatchesKnownCountsOnEverySuiteLine) {
    const auto suite = test::ReadPerftSuite();
    ASSERT_EQ(suite.size(), 62u);
    static Board board;
    int checked = 0;
    for (const auto& line : suite) {
        ASSERT_TRUE(SetFromFen(board, line.fen.c_str())) << line.fen;
        for (const auto& [depth, count] : line.counts) {
            if (count > MaxLeaves && depth > 1)
                break;
            EXPECT_EQ(PerftStaged(board, depth), count) << line.fen << " depth " << depth;
            ++checked;
        }
    }
    // Every line runs at least its first depth.
    EXPECT_GE(checked, 62 * 2);
}

TEST(PerftStaged, DepthZeroCountsThePositionItself) {
    static Board board;
    ASSERT_TRUE(SetFromFen(board, StartFen));
    EXPECT_EQ(PerftStaged(board, 0), 1u);
}

} // namespace
} // namespace tarvo
