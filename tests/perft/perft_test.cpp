#include "board/board_helpers.h"
#include "board/perft.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace tarvo {
namespace {

#ifdef TARVO_SANITIZED
// Under the sanitizers only the depths of at most about this many nodes run.
constexpr std::uint64_t NodeBudget = 200000;
#else
constexpr std::uint64_t NodeBudget = ~std::uint64_t{0};
#endif

TEST(Perft, SuiteMatchesReferenceCounts) {
    const auto suite = testing::ReadPerftSuite();
    int positions    = 0;
    for (const auto& line : suite) {
        SCOPED_TRACE(line.fen);
        Board board = testing::BoardFromFen(line.fen);
        bool ran    = false;
        for (const auto& [depth, nodes] : line.counts) {
            if (nodes > NodeBudget)
                break;
            EXPECT_EQ(Perft(board, depth), nodes) << "depth " << depth;
            ran = true;
        }
        positions += ran ? 1 : 0;
    }
    EXPECT_EQ(positions, 62);
}

TEST(Perft, DepthZeroCountsThePositionItself) {
    Board board = testing::BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(Perft(board, 0), 1u);
    EXPECT_EQ(Perft(board, -3), 1u);
    // Checkmated side: a legal position with no moves counts nothing one ply down.
    board = testing::BoardFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(Perft(board, 1), 0u);
    EXPECT_EQ(Perft(board, 0), 1u);
}

} // namespace
} // namespace tarvo
