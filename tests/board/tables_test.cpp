#include "board/fen.h"
#include "board/tables.h"
#include "board/types.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <random>

namespace tarvo {
namespace {

constexpr Bitboard Squares(std::initializer_list<int> squares) {
    Bitboard set = 0;
    for (int square : squares)
        set |= Bitboard{1} << square;
    return set;
}

// Attacks by walking rays over a plain occupancy set, as a reference for the table lookups.
Bitboard WalkRays(int square, Bitboard occupied, bool straight) {
    const int steps[2][4][2] = {{{1, 1}, {-1, 1}, {1, -1}, {-1, -1}},
                                {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
    Bitboard set             = 0;
    for (const auto& step : steps[straight]) {
        int file = (square & 7) + step[0];
        int rank = (square >> 3) + step[1];
        while (file >= 0 && file < 8 && rank >= 0 && rank < 8) {
            const Bitboard bit = Bitboard{1} << (8 * rank + file);
            set |= bit;
            if (occupied & bit)
                break;
            file += step[0];
            rank += step[1];
        }
    }
    return set;
}

Board BoardWithOccupancy(Bitboard occupied) {
    Board board{};
    board.occupied = occupied;
    for (Bitboard set = occupied; set != 0; set &= set - 1) {
        const int square = BitScan(set);
        board.occupiedFiles |= FileRotBit[square];
        board.occupiedAntiDiag |= AntiDiagRotBit[square];
        board.occupiedDiag |= DiagRotBit[square];
    }
    return board;
}

TEST(SlidingAttacks, WorkedEntries) {
    EXPECT_EQ(RankAttacks[0][0], Squares({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(FileAttacks[0][0], Squares({8, 16, 24, 32, 40, 48, 56}));
    EXPECT_EQ(RankAttacks[0][1 << 2], Squares({1, 2, 3})); // a piece on d1
    EXPECT_EQ(AntiDiagShift[63], 64);
    EXPECT_EQ(DiagShift[0], 1);
}

TEST(SlidingAttacks, H8AntiDiagonalIsEmptyOnAnyBoard) {
    for (int index = 0; index < 64; ++index)
        EXPECT_EQ(AntiDiagAttacks[63][index], 0u);
    const Board full = BoardWithOccupancy(~Bitboard{0});
    EXPECT_EQ(AntiDiagAttacksFrom(full, 63), 0u);
    EXPECT_EQ(BishopAttacksFrom(full, 63), Squares({54}));
}

TEST(SlidingAttacks, MatchRayWalksOnRandomBoards) {
    std::mt19937_64 random(20240601);
    for (int round = 0; round < 400; ++round) {
        // Sparse and dense boards both: AND of one to three random words.
        Bitboard occupied = random();
        for (int extra = round % 3; extra > 0; --extra)
            occupied &= random();
        const Board board = BoardWithOccupancy(occupied);
        for (int square = 0; square < 64; ++square) {
            ASSERT_EQ(RookAttacksFrom(board, square), WalkRays(square, occupied, true))
                << "square " << square << " occupied " << occupied;
            ASSERT_EQ(BishopAttacksFrom(board, square), WalkRays(square, occupied, false))
                << "square " << square << " occupied " << occupied;
        }
    }
}

TEST(SquarePairs, WorkedEntries) {
    EXPECT_EQ(Between[0][63], Squares({9, 18, 27, 36, 45, 54}));
    EXPECT_EQ(Between[0][17], 0u); // a1, b3: not aligned
    EXPECT_EQ(LineThrough[0][17], 0u);
    EXPECT_EQ(LineThrough[9][27], Squares({0, 9, 18, 27, 36, 45, 54, 63}));
    EXPECT_EQ(BehindSquare[4][60], 0u);             // e1 away from e8: off the board
    EXPECT_EQ(BehindSquare[28][56], Squares({21})); // e4 away from a8: f3
    EXPECT_EQ(Between[4][5], 0u);                   // neighbours
    EXPECT_EQ(LineThrough[12][12], 0u);
}

TEST(PawnMasks, SpansAndRanks) {
    EXPECT_EQ(PawnAttacks[White][8], Squares({17}));  // a2 attacks b3 only
    EXPECT_EQ(PawnAttacks[Black][63], Squares({54})); // h8 attacks g7 only
    EXPECT_EQ(RankMask[7], 0u);
    EXPECT_EQ(FrontSpan[White][28], Squares({35, 36, 37, 43, 44, 45, 51, 52, 53, 59, 60, 61}));
    EXPECT_EQ(AdjacentFilesAhead[Black][8], Squares({1}));
    EXPECT_EQ(PopCount8[0xb5], 5);
}

TEST(BitScan, FindsEveryLowestBit) {
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(BitScan(Bitboard{1} << i), i);
        EXPECT_EQ(BitScan(~Bitboard{0} << i), i);
    }
}

TEST(IsSquareAttacked, EveryPieceKindAndBlocking) {
    Board board{};
    ASSERT_TRUE(SetFromFen(board, "k7/8/8/3p4/8/8/1n6/K6Q b - - 0 1"));
    EXPECT_TRUE(IsSquareAttacked(board, Black, 28));  // e4: pawn d5
    EXPECT_FALSE(IsSquareAttacked(board, Black, 36)); // e5: pawns attack forwards only
    EXPECT_TRUE(IsSquareAttacked(board, Black, 19));  // d3: knight b2
    EXPECT_TRUE(IsSquareAttacked(board, Black, 49));  // b7: king a8
    EXPECT_TRUE(IsSquareAttacked(board, White, 1));   // b1: queen along the rank
    EXPECT_TRUE(IsSquareAttacked(board, White, 35));  // d5: queen along the diagonal
    EXPECT_FALSE(IsSquareAttacked(board, White, 42)); // c6: behind the pawn on d5
    EXPECT_TRUE(IsSquareAttacked(board, White, 8));   // a2: king a1
    // A bishop next to the square, on the pawn side and on the other side.
    ASSERT_TRUE(SetFromFen(board, "4k3/8/8/8/8/2b5/8/4K3 w - - 0 1"));
    EXPECT_TRUE(IsSquareAttacked(board, Black, 11)); // d2
    EXPECT_TRUE(IsSquareAttacked(board, Black, 27)); // d4
    // The attacked king blocks the line: e1 behind the king on e2 reads as safe.
    ASSERT_TRUE(SetFromFen(board, "7k/8/8/8/4r3/8/4K3/8 w - - 0 1"));
    EXPECT_FALSE(IsSquareAttacked(board, Black, 4));
}

} // namespace
} // namespace tarvo
