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

// The standard suite and the Fischer random one, with the number of positions each holds, and
// the corner positions their games never reach: en-passant squares without a pawn behind them
// or with the taker pinned or shielding its king, double checks of every kind, and Fischer
// random castlings whose king or rook stands still, swaps places, or crosses the whole rank.
const struct {
    const char* name;
    bool chess960;
    int positions;
} Suites[] = {{"perft.epd", false, 62},
              {"perft960.epd", true, 80},
              {"corners.epd", false, 8},
              {"corners960.epd", true, 10}};

// Both generators count every depth within their budgets; the staged ones, with the search's
// pin lines and checkers, at least the first two of every position.
TEST(Perft, SuitesMatchReferenceCounts) {
    for (const auto& suite : Suites) {
        int positions = 0, staged = 0;
        for (const auto& line : test::ReadPerftSuite(suite.name)) {
            SCOPED_TRACE(line.fen);
            Board board = test::BoardFrom(line.fen.c_str(), suite.chess960);
            positions += line.counts.front().second <= LegalBudget;
            for (const auto& [depth, count] : line.counts) {
                if (count <= LegalBudget) {
                    EXPECT_EQ(Perft(board, depth), count) << "depth " << depth;
                }
                if (count <= StagedBudget || depth == 1) {
                    EXPECT_EQ(PerftStaged(board, depth), count) << "staged, depth " << depth;
                    ++staged;
                }
            }
        }
        EXPECT_EQ(positions, suite.positions) << suite.name;
        EXPECT_GE(staged, suite.positions * 2) << suite.name;
    }
}

} // namespace
} // namespace tarvo
