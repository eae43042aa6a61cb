#include <gtest/gtest.h>

#include "eval/eval_helpers.h"
#include "eval/evaluate.h"
#include "eval/king_safety.h"

namespace tarvo {
namespace {

using test::BoardFromFen;

int SafetyOf(const char* fen, int colour) {
    const Board board = BoardFromFen(fen);
    return EvalKingSafety(board, colour, EvalStage(board, colour));
}

TEST(EvalKingSafety, StartPositionShelterLessNoEscapeSquare) {
    const char* start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
    EXPECT_EQ(SafetyOf(start, White), 100);
    EXPECT_EQ(SafetyOf(start, Black), -100);
}

TEST(EvalKingSafety, NothingInTheEndgame) {
    const Board board = BoardFromFen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
    EXPECT_EQ(EvalKingSafety(board, White, Endgame), 0);
    EXPECT_EQ(SafetyOf("6k1/5ppp/8/8/8/8/5PPP/R5K1 w - - 0 1", White), 0);
}

TEST(EvalKingSafety, KingsideShelterUsesFilesEToG) {
    // King g1 with f2, g2, h2: h2 is off the shelter files, raw = 7 + 4 = 11, W = 8.
    EXPECT_EQ(SafetyOf("r2q2k1/5ppp/8/8/8/8/5PPP/R2Q2K1 w - - 0 1", White), 88);
    EXPECT_EQ(SafetyOf("r2q2k1/5ppp/8/8/8/8/5PPP/R2Q2K1 w - - 0 1", Black), -88);
}

TEST(EvalKingSafety, AttackPenaltyRowFollowsShelterStrength) {
    // Knight e4 and queen h4 both reach the zone: T = 2, A = 1, H = 2.
    // Shelter 88 (at least 10 W): 2 * (3*2 + 2*1) = 16.
    EXPECT_EQ(SafetyOf("r5k1/5ppp/8/8/4n2q/8/5PPP/R2Q2K1 w - - 0 1", White), 88 - 16);
    // Without g2 the shelter is 56: 2 * (5*2 + 3*1) = 26, and no own pawn on e or g costs 24.
    EXPECT_EQ(SafetyOf("r5k1/5ppp/8/8/4n2q/8/5P1P/R2Q2K1 w - - 0 1", White), 56 - 26 - 24);
}

TEST(EvalKingSafety, LoneAttackerIgnoredOnlyAgainstStrongShelter) {
    // e2, f2, g2: raw 15, shelter 120 > 14 W; three pawns on the second rank cost 20.
    EXPECT_EQ(SafetyOf("r5k1/5ppp/8/q7/4n3/8/4PPPP/R2Q2K1 w - - 0 1", White), 120 - 20);
    EXPECT_EQ(SafetyOf("r5k1/5ppp/8/8/4n2q/8/4PPPP/R2Q2K1 w - - 0 1", White), 120 - 16 - 20);
}

TEST(EvalKingSafety, CornerKingZoneIncludesTheNeighbourFile) {
    // King h1: f2 is in the zone only as a neighbour of g1; a knight on d3 reaches it.
    // Shelter raw 4 (g2), 32 < 10 W, so one attacker costs 1 * 3.
    EXPECT_EQ(SafetyOf("r1q3k1/5ppp/8/n7/8/8/6PP/R2Q3K w - - 0 1", White), 32);
    EXPECT_EQ(SafetyOf("r1q3k1/5ppp/8/8/8/3n4/6PP/R2Q3K w - - 0 1", White), 29);
}

TEST(EvalKingSafety, OpenFilesTowardsAKingOnTheOtherWing) {
    // Black king b8 is off White's shelter files e to g and Black has no pawn there:
    // 2 * 8 * 3 = 48 more to pay than with the Black king on g8.
    EXPECT_EQ(SafetyOf("r2q2k1/ppp5/8/8/8/8/5PPP/R2Q2K1 w - - 0 1", White), 88);
    EXPECT_EQ(SafetyOf("rk1q4/ppp5/8/8/8/8/5PPP/R2Q2K1 w - - 0 1", White), 88 - 48);
}

} // namespace
} // namespace tarvo
