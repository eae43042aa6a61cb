// Static exchange: worked exchanges on one square, with x-rays, kings and promotions.

#include <gtest/gtest.h>

#include "board/see.h"
#include "support/suite_walk.h"

namespace tarvo {
namespace {

constexpr int Sq(const char* name) {
    return (name[0] - 'a') + 8 * (name[1] - '1');
}

int Exchange(const char* fen, Move move) {
    return StaticExchange(test::BoardFrom(fen), move);
}

TEST(StaticExchange, PawnTakesUndefendedKnight) {
    EXPECT_EQ(Exchange("4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1",
                       MakeMoveWord(Sq("e4"), Sq("d5"), Pawn, Knight)),
              310);
}

TEST(StaticExchange, KnightTakingAPawnDefendedByAPawnLosesTheKnight) {
    EXPECT_EQ(Exchange("4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1",
                       MakeMoveWord(Sq("e3"), Sq("d5"), Knight, Pawn)),
              -210);
}

TEST(StaticExchange, KingRecapturesOnlyAnUndefendedPiece) {
    const Move rookTakes = MakeMoveWord(Sq("d1"), Sq("d5"), Rook, Pawn);
    // The knight on c3 also guards d5, so the king may not take back.
    EXPECT_EQ(Exchange("8/8/8/3pk3/8/2N5/8/3RK3 w - - 0 1", rookTakes), 100);
    EXPECT_EQ(Exchange("8/8/8/3pk3/8/8/8/3RK3 w - - 0 1", rookTakes), -400);
}

TEST(StaticExchange, PromotionOnAGuardedSquareLosesThePawn) {
    EXPECT_EQ(Exchange("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1",
                       MakeMoveWord(Sq("b7"), Sq("b8"), Pawn, NoPiece, PromotionWord(0))),
              -100);
    EXPECT_EQ(Exchange("4k3/1P6/8/8/8/8/8/4K3 w - - 0 1",
                       MakeMoveWord(Sq("b7"), Sq("b8"), Pawn, NoPiece, PromotionWord(1))),
              210);
}

TEST(StaticExchange, PieceBehindTheMoverJoinsAtOnce) {
    const Move queenTakes = MakeMoveWord(Sq("d2"), Sq("d5"), Queen, Pawn);
    // Qxd5 Rxd5 Rxd5: the rook on d1 stands behind the queen on the file.
    EXPECT_EQ(Exchange("3rk3/8/8/3p4/8/8/3Q4/3RK3 w - - 0 1", queenTakes), -350);
    EXPECT_EQ(Exchange("3rk3/8/8/3p4/8/8/3Q4/4K3 w - - 0 1", queenTakes), -850);
}

TEST(StaticExchange, LeastValuableAttackerTakesFirstAndXRaysFollow) {
    // Rxd5 exd5 cxd5, and Black stops: Qxd5 would meet the bishop on b3, which joins through
    // c4 once the pawn has taken. White gives a rook for a knight and a pawn.
    EXPECT_EQ(Exchange("3qk3/8/4p3/3n4/2P5/1B6/8/3RK3 w - - 0 1",
                       MakeMoveWord(Sq("d1"), Sq("d5"), Rook, Knight)),
              -90);
    // Without the bishop Black's queen takes last: the rook and the pawn for a knight and a
    // pawn.
    EXPECT_EQ(Exchange("3qk3/8/4p3/3n4/2P5/8/8/3RK3 w - - 0 1",
                       MakeMoveWord(Sq("d1"), Sq("d5"), Rook, Knight)),
              -190);
}

TEST(StaticExchange, QuietMoveOntoAPawnGuardedSquareRisksThePiece) {
    EXPECT_EQ(
        Exchange("4k3/8/8/3p4/8/N7/8/4K3 w - - 0 1", MakeMoveWord(Sq("a3"), Sq("c4"), Knight)),
        -310);
    // Guarded by an own pawn, the knight is still traded for a pawn.
    EXPECT_EQ(
        Exchange("4k3/8/8/3p4/8/NP6/8/4K3 w - - 0 1", MakeMoveWord(Sq("a3"), Sq("c4"), Knight)),
        -210);
}

TEST(StaticExchange, PawnTakenEnPassantOpensTheFileBehindIt) {
    // exd6 Rxd6 Rxd6: the rook on d1 reaches d6 once the pawn on d5 is gone.
    EXPECT_EQ(Exchange("3rk3/8/8/3pP3/8/8/8/3RK3 w - d6 0 1",
                       MakeMoveWord(Sq("e5"), Sq("d6"), Pawn, Pawn, EnPassantFlag)),
              100);
}

} // namespace
} // namespace tarvo
