#include <gtest/gtest.h>

#include "eval/eval_helpers.h"
#include "eval/evaluate.h"
#include "eval/pieces.h"

namespace tarvo {
namespace {

using test::BoardFromFen;

int (*const Bishops)(const Board&, int, int) = EvalBishops;
int (*const Rooks)(const Board&, int, int)   = EvalRooks;
int (*const Queens)(const Board&, int, int)  = EvalQueens;

// The term for `colour` with the stage the driver would give it.
int TermOf(int (*term)(const Board&, int, int), const char* fen, int colour) {
    const Board board = BoardFromFen(fen);
    return term(board, colour, EvalStage(board, colour));
}

int OutpostsOf(const char* fen, int colour) {
    const Board board = BoardFromFen(fen);
    return EvalKnightOutposts(board, colour, board.pieces[Knight] & board.colour[colour]);
}

TEST(EvalKnightOutposts, PawnDefendedKnightOutOfEnemyPawnReach) {
    EXPECT_EQ(OutpostsOf("4k3/8/8/3N4/2P5/8/8/4K3 w - - 0 1", White), 15);
    EXPECT_EQ(OutpostsOf("4k3/8/8/3N4/4P3/8/8/4K3 w - - 0 1", White), 15);
    EXPECT_EQ(OutpostsOf("4k3/8/8/4p3/3n4/8/8/4K3 w - - 0 1", Black), -15);
}

TEST(EvalKnightOutposts, NoBonusWhenAnEnemyPawnCanChaseIt) {
    EXPECT_EQ(OutpostsOf("4k3/4p3/8/3N4/2P5/8/8/4K3 w - - 0 1", White), 0);
    // An enemy pawn already behind the knight can never attack it.
    EXPECT_EQ(OutpostsOf("4k3/8/8/3N4/2P1p3/8/8/4K3 w - - 0 1", White), 15);
}

TEST(EvalKnightOutposts, UndefendedKnightIsNeverAnOutpost) {
    EXPECT_EQ(OutpostsOf("4k3/8/8/3N4/8/8/8/4K3 w - - 0 1", White), 0);
    // A pawn in front of the knight does not defend it.
    EXPECT_EQ(OutpostsOf("4k3/8/2P5/3N4/8/8/8/4K3 w - - 0 1", White), 0);
}

TEST(EvalBishops, MobilityAndSquareByStage) {
    // d4 sees 13 squares: 325 + 34 + 10 in the endgame; stages 0 and 1 share the 32 row.
    EXPECT_EQ(TermOf(Bishops, "4k3/8/8/8/3B4/8/8/4K3 w - - 0 1", White), 369);
    EXPECT_EQ(TermOf(Bishops, "rq2k3/8/8/8/3B4/8/8/4K3 w - - 0 1", White), 367);
    EXPECT_EQ(TermOf(Bishops, "r3k2r/8/8/8/3B4/8/8/4K3 w - - 0 1", White), 367);
    EXPECT_EQ(TermOf(Bishops, "4k3/8/8/8/3b4/8/8/4K3 w - - 0 1", Black), -369);
}

TEST(EvalBishops, OwnBlockersCountAsAttacked) {
    // c1 hemmed in by b2 and d2 attacks those two squares: 325 - 5.
    EXPECT_EQ(TermOf(Bishops, "4k3/8/8/8/8/8/1P1P4/2B1K3 w - - 0 1", White), 320);
}

TEST(EvalBishops, CornerDiagonalsOfOneSquare) {
    // From h8 and a8 one diagonal is the corner alone; the other runs 7 squares: 325 + 19 - 10.
    EXPECT_EQ(TermOf(Bishops, "7B/8/8/8/8/8/8/K6k w - - 0 1", White), 334);
    EXPECT_EQ(TermOf(Bishops, "B6k/8/8/8/8/8/8/K7 w - - 0 1", White), 334);
    EXPECT_EQ(TermOf(Bishops, "K6k/8/8/8/8/8/8/b7 w - - 0 1", Black), -334);
}

TEST(EvalRooks, MobilityOnAnEmptyBoard) {
    // 14 squares: 500 + 32 + 16 for the open file.
    EXPECT_EQ(TermOf(Rooks, "7k/8/8/8/8/2K5/8/R7 w - - 0 1", White), 548);
}

TEST(EvalRooks, HemmedInRookCountsItsBlockers) {
    // a1 behind a2 and b1 sees 2 squares; the a-file holds its own pawn, so no file bonus.
    EXPECT_EQ(TermOf(Rooks, "7k/8/8/8/8/8/P7/RN2K3 w - - 0 1", White), 500 - 8);
    EXPECT_EQ(TermOf(Rooks, "r3k2r/8/8/8/8/8/P7/RN2K3 w - - 0 1", White), 500 - 1);
    EXPECT_EQ(TermOf(Rooks, "rq2k3/8/8/8/8/8/P7/RN2K3 w - - 0 1", White), 500 - 4);
}

TEST(EvalRooks, OpenAndHalfOpenFiles) {
    EXPECT_EQ(TermOf(Rooks, "6k1/8/8/8/8/8/8/3R2K1 w - - 0 1", White), 500 + 31 + 16);
    EXPECT_EQ(TermOf(Rooks, "6k1/8/3p4/8/8/8/8/3R2K1 w - - 0 1", White), 500 + 26 + 6);
    EXPECT_EQ(TermOf(Rooks, "6k1/8/8/8/8/3P4/8/3R2K1 w - - 0 1", White), 500 + 16);
    EXPECT_EQ(TermOf(Rooks, "6k1/8/3p4/8/8/3P4/8/3R2K1 w - - 0 1", White), 500 + 16);
}

TEST(EvalRooks, SeventhRankBonusByStage) {
    // d7 sees 14 squares; 35 on the 7th in the endgame, 20 before it.
    EXPECT_EQ(TermOf(Rooks, "7k/3R4/8/8/8/8/8/4K3 w - - 0 1", White), 500 + 32 + 16 + 35);
    EXPECT_EQ(TermOf(Rooks, "7k/8/8/8/8/8/3r4/4K3 w - - 0 1", Black), -(500 + 32 + 16 + 35));
    EXPECT_EQ(TermOf(Rooks, "rq5k/3R4/8/8/8/8/8/4K3 w - - 0 1", White), 500 + 13 + 16 + 20);
}

TEST(EvalRooks, TrappedPenaltyPaidByEveryRook) {
    // King g1: a1 (13 squares) and h1 (8) each pay 50 because a rook stands on h1.
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/8/R5KR w - - 0 1", White),
              (500 + 31 + 16 - 50) + (500 + 16 + 16 - 50));
    // King e1 is not castled by square: no penalty.
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/8/R3K2R w - - 0 1", White),
              (500 + 26 + 16) + (500 + 23 + 16));
    // King c1 with a rook on a1: the h1 rook pays too.
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/8/R1K4R w - - 0 1", White),
              (500 + 20 + 16 - 50) + (500 + 29 + 16 - 50));
    EXPECT_EQ(TermOf(Rooks, "r5kr/8/8/8/8/8/8/4K3 w - - 0 1", Black),
              -((500 + 31 + 16 - 50) + (500 + 16 + 16 - 50)));
    // A rook shut in on the second rank beside a king on f1 (f8) pays as well.
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/7R/5K2 w - - 0 1", White), 500 + 32 + 16 - 50);
    EXPECT_EQ(TermOf(Rooks, "5k2/7r/8/8/8/8/8/4K3 w - - 0 1", Black), -(500 + 32 + 16 - 50));
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/r7/1K6 w - - 0 1", Black), -(500 + 32 + 16 + 35));
    EXPECT_EQ(TermOf(Rooks, "4k3/8/8/8/8/8/R7/1K6 w - - 0 1", White), 500 + 32 + 16 - 50);
}

TEST(EvalQueens, MobilityIndexIsHalfTheAttackCount) {
    // d4 sees 27 squares: index 13.
    EXPECT_EQ(TermOf(Queens, "8/8/8/8/3Q4/7k/K7/8 w - - 0 1", White), 950 + 25);
    // a1 boxed in sees a2, b2 and b1: index 1.
    EXPECT_EQ(TermOf(Queens, "4k3/8/8/8/8/8/PP6/QN2K3 w - - 0 1", White), 950 - 15);
}

TEST(EvalQueens, SeventhRankBonusByStage) {
    // d7 sees 23 squares: index 11.
    EXPECT_EQ(TermOf(Queens, "rq5k/3Q4/8/8/8/8/8/4K3 w - - 0 1", White), 950 + 3 + 10);
    EXPECT_EQ(TermOf(Queens, "1q5k/3Q4/8/8/8/8/8/4K3 w - - 0 1", White), 950 + 4 + 14);
}

} // namespace
} // namespace tarvo
