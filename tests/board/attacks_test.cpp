#include "board/see.h"
#include "board/tables.h"
#include "support/boards.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <initializer_list>
#include <random>

namespace tarvo {
namespace {

using test::Sq;

Bitboard Squares(std::initializer_list<const char*> names) {
    Bitboard set = 0;
    for (const char* name : names)
        set |= SquareBit[Sq(name)];
    return set;
}

// Attacks by walking rays over a plain occupancy set.
Bitboard WalkRays(int square, Bitboard occupied, bool straight) {
    const int steps[2][4][2] = {{{1, 1}, {-1, 1}, {1, -1}, {-1, -1}},
                                {{1, 0}, {-1, 0}, {0, 1}, {0, -1}}};
    Bitboard set             = 0;
    for (const auto& step : steps[straight])
        for (int file = (square & 7) + step[0], rank = (square >> 3) + step[1];
             file >= 0 && file < 8 && rank >= 0 && rank < 8; file += step[0], rank += step[1]) {
            set |= Bitboard{1} << (8 * rank + file);
            if (occupied >> (8 * rank + file) & 1)
                break;
        }
    return set;
}

TEST(SlidingAttacks, MatchRayWalksOnRandomBoards) {
    std::mt19937_64 random(20240601);
    for (int round = 0; round < 400; ++round) {
        // Sparse and dense boards both: AND of one to three random words, and a full board.
        Bitboard occupied = round == 0 ? ~Bitboard{0} : random();
        for (int extra = round % 3; extra > 0; --extra)
            occupied &= random();
        Board board{};
        board.occupied = occupied;
        for (Bitboard set = occupied; set != 0; set &= set - 1) {
            board.occupiedFiles |= FileRotBit[BitScan(set)];
            board.occupiedAntiDiag |= AntiDiagRotBit[BitScan(set)];
            board.occupiedDiag |= DiagRotBit[BitScan(set)];
        }
        for (int square = 0; square < 64; ++square) {
            ASSERT_EQ(RookAttacksFrom(board, square), WalkRays(square, occupied, true))
                << "square " << square << " occupied " << occupied;
            ASSERT_EQ(BishopAttacksFrom(board, square), WalkRays(square, occupied, false))
                << "square " << square << " occupied " << occupied;
        }
    }
}

TEST(Tables, WorkedEntries) {
    const struct {
        const char* name;
        Bitboard value, expected;
    } cases[] = {
        {"RankAttacks a1, piece on d1", RankAttacks[0][1 << 2], Squares({"b1", "c1", "d1"})},
        {"Between a1 h8", Between[0][63], Squares({"b2", "c3", "d4", "e5", "f6", "g7"})},
        {"Between a1 b3", Between[0][17], 0},
        {"LineThrough b2 d4", LineThrough[9][27],
         Squares({"a1", "b2", "c3", "d4", "e5", "f6", "g7", "h8"})},
        {"BehindSquare e4 a8", BehindSquare[28][56], Squares({"f3"})},
        {"BehindSquare e1 e8", BehindSquare[4][60], 0},
        {"FrontSpan white e4", FrontSpan[White][28],
         Squares({"d5", "e5", "f5", "d6", "e6", "f6", "d7", "e7", "f7", "d8", "e8", "f8"})},
        {"AdjacentFilesAhead black a2", AdjacentFilesAhead[Black][8], Squares({"b1"})},
        {"AntiDiagShift h8", static_cast<Bitboard>(AntiDiagShift[63]), 64},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, c.expected) << c.name;
}

TEST(StaticExchange, WorkedExchanges) {
    const struct {
        const char* fen;
        const char* move;
        int value;
    } cases[] = {
        {"4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 310},
        {"4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1", "e3d5", -210},
        // The king recaptures only what nothing else guards.
        {"8/8/8/3pk3/8/2N5/8/3RK3 w - - 0 1", "d1d5", 100},
        {"8/8/8/3pk3/8/8/8/3RK3 w - - 0 1", "d1d5", -400},
        {"r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q", -100},
        {"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8n", 210},
        // A piece behind the mover joins at once.
        {"3rk3/8/8/3p4/8/8/3Q4/3RK3 w - - 0 1", "d2d5", -350},
        {"3rk3/8/8/3p4/8/8/3Q4/4K3 w - - 0 1", "d2d5", -850},
        // Rxd5 exd5 cxd5, then Black stops: the bishop on b3 joins through c4.
        {"3qk3/8/4p3/3n4/2P5/1B6/8/3RK3 w - - 0 1", "d1d5", -90},
        {"3qk3/8/4p3/3n4/2P5/8/8/3RK3 w - - 0 1", "d1d5", -190},
        {"4k3/8/8/3p4/8/N7/8/4K3 w - - 0 1", "a3c4", -310},
        {"4k3/8/8/3p4/8/NP6/8/4K3 w - - 0 1", "a3c4", -210},
        {"3rk3/8/8/3pP3/8/8/8/3RK3 w - d6 0 1", "e5d6", 100},
        // Castling lands the king beside its rook, never on it, whatever attacks the rook.
        {"4k2r/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", 0},
    };
    for (const auto& c : cases) {
        const Board board = test::BoardFrom(c.fen);
        const Move move   = test::FindMove(board, c.move);
        ASSERT_NE(move, NoMove) << c.fen << " " << c.move;
        EXPECT_EQ(StaticExchange(board, move), c.value) << c.fen << " " << c.move;
    }
}

} // namespace
} // namespace tarvo
