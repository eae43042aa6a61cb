#include "board/perft.h"
#include "search/perft_staged.h"
#include "support/boards.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace tarvo {
namespace {

#ifdef TARVO_SANITIZED
// Under the sanitizers only the depths of at most about this many leaves run.
constexpr std::uint64_t LegalBudget = 200000, StagedBudget = 20000;
#else
constexpr std::uint64_t LegalBudget = ~std::uint64_t{0}, StagedBudget = 1000000;
#endif

TEST(Perft, SuiteMatchesReferenceCounts) {
    int positions = 0;
    for (const auto& line : test::ReadPerftSuite()) {
        SCOPED_TRACE(line.fen);
        Board board = test::BoardFrom(line.fen.c_str());
        bool ran    = false;
        for (const auto& [depth, nodes] : line.counts) {
            if (nodes > LegalBudget)
                break;
            EXPECT_EQ(Perft(board, depth), nodes) << "depth " << depth;
            ran = true;
        }
        positions += ran ? 1 : 0;
    }
    EXPECT_EQ(positions, 62);
}

// The staged generators, with the search's pin lines and checkers, count the same paths.
TEST(Perft, StagedMatchesReferenceCounts) {
    int checked = 0;
    for (const auto& line : test::ReadPerftSuite()) {
        Board board = test::BoardFrom(line.fen.c_str());
        for (const auto& [depth, count] : line.counts) {
            if (count > StagedBudget && depth > 1)
                break;
            EXPECT_EQ(PerftStaged(board, depth), count) << line.fen << " depth " << depth;
            ++checked;
        }
    }
    EXPECT_GE(checked, 62 * 2);
}

TEST(Perft, DepthZeroCountsThePositionItself) {
    Board board = test::BoardFrom(StartFen);
    EXPECT_EQ(Perft(board, 0), 1u);
    EXPECT_EQ(Perft(board, -3), 1u);
    EXPECT_EQ(PerftStaged(board, 0), 1u);
}

} // namespace
} // namespace tarvo
