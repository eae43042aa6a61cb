#include <gtest/gtest.h>

#include "eval/eval_helpers.h"
#include "eval/evaluate.h"
#include "eval/pawns.h"

namespace tarvo {
namespace {

using test::BoardFromFen;

int PawnsOf(const char* fen, int colour) {
    const Board board = BoardFromFen(fen);
    return EvalPawns(board, colour, EvalStage(board, colour));
}

TEST(EvalPawns, ColourWithoutPawnsScoresNothing) {
    EXPECT_EQ(PawnsOf("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", Black), 0);
}

TEST(EvalPawns, LonePassedPawnWithKingDistances) {
    // e2: distance term 2 * (5*5 - 4*2) = 34, plus 15 for its rank, no free-path bonus yet.
    EXPECT_EQ(PawnsOf("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", White), 49);
    EXPECT_EQ(PawnsOf("4k3/4p3/8/8/8/8/8/4K3 w - - 0 1", Black), -49);
}

TEST(EvalPawns, EnemyPieceInFrontCostsOnlyTheFreePath) {
    // e5, front square e6 (t = 5): 5 * (5*2 - 4*5) = -50, rank bonus 60, free path 50.
    EXPECT_EQ(PawnsOf("4k3/8/8/4P3/8/8/8/n3K3 w - - 0 1", White), 60);
    EXPECT_EQ(PawnsOf("4k3/8/4n3/4P3/8/8/8/4K3 w - - 0 1", White), 10);
    // A friendly piece on the front square does not block.
    EXPECT_EQ(PawnsOf("4k3/8/4N3/4P3/8/8/8/4K3 w - - 0 1", White), 60);
}

TEST(EvalPawns, PawnOnSeventhUsesPromotionSquareWithoutFreePath) {
    // e7, front e8 (t = 7): 7 * (5*3 - 4*7) = -91, rank bonus 150.
    EXPECT_EQ(PawnsOf("7k/4P3/8/8/8/8/8/K7 w - - 0 1", White), 59);
}

TEST(EvalPawns, ConnectedPassedPawnsUseTheirOwnTable) {
    // d5 and e5 side by side, kings far: each gets the connected bonus 75 for its rank.
    // d5: front d6 (t = 5), own king a1 at 5, enemy king h8 at 4: 5 * (20 - 20) = 0, free 50.
    // e5: front e6, own king at 5, enemy king at 3: 5 * (15 - 20) = -25, free 50.
    EXPECT_EQ(PawnsOf("7k/8/8/3PP3/8/8/8/K7 w - - 0 1", White), (75 + 50) + (75 + 50 - 25));
}

TEST(EvalPawns, RearDoubledPawnIsNeverPassedNorWeak) {
    // e4 passed (16 + 25 + 30); e3 is only isolated (-15).
    EXPECT_EQ(PawnsOf("k7/8/8/8/4P3/4P3/8/K7 w - - 0 1", White), 71 - 15);
}

TEST(EvalPawns, WeakPawnIsNotAlsoIsolated) {
    // d4 is held back by e6 and e6 by d4: each is weak (-30) and not isolated on top.
    EXPECT_EQ(PawnsOf("k7/8/4p3/8/3P4/8/8/K7 w - - 0 1", White), -30);
    EXPECT_EQ(PawnsOf("k7/8/4p3/8/3P4/8/8/K7 w - - 0 1", Black), 30);
}

TEST(EvalPawns, ConnectedNeedsNeighbourBesideOrOneBehind) {
    // Blocked by pawns in front, so nothing is passed. Side by side: +4 each in the endgame.
    EXPECT_EQ(PawnsOf("k7/8/3pp3/8/3PP3/8/8/K7 w - - 0 1", White), 8);
    // d4 with e3 one rank behind: d4 connected (+4); e3 has no neighbour beside or behind and,
    // with d4 beside it, is not isolated; its file ahead holds e6, so it is not weak either.
    EXPECT_EQ(PawnsOf("k7/8/3pp3/8/3P4/4P3/8/K7 w - - 0 1", White), 4);
    // Two ranks apart: neither is connected nor isolated; d5 can take on e6 and e3's file ahead
    // holds e6, so neither is weak.
    EXPECT_EQ(PawnsOf("k7/8/3pp3/3P4/8/4P3/8/K7 w - - 0 1", White), 0);
}

TEST(EvalPawns, ValueAdjustmentFollowsTheStage) {
    // Every pawn of the start position is connected (+2) and worth 18 less.
    EXPECT_EQ(PawnsOf("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", White),
              8 * (2 - 18));
    // Against two rooks (stage 1) the same wall is worth 13 less per pawn.
    EXPECT_EQ(PawnsOf("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/4K3 w - - 0 1", White), 8 * (2 - 13));
}

} // namespace
} // namespace tarvo
