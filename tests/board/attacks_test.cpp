#include "board/see.h"
#include "board/tables.h"
#include "support/boards.h"

#include <cstdint>
#include <gtest/gtest.h>

namespace tarvo {
namespace {

// Exchange values, of captures and of quiet moves onto a guarded square.
TEST(StaticExchange, WorkedExchanges) {
    const struct {
        const char* fen;
        const char* move;
        int value;
    } cases[] = {
        {"4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1", "e3d5", -210},
        // The king recaptures only what nothing else guards.
        {"8/8/8/3pk3/8/2N5/8/3RK3 w - - 0 1", "d1d5", 100},
        {"8/8/8/3pk3/8/8/8/3RK3 w - - 0 1", "d1d5", -400},
        {"r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8q", -100},
        {"4k3/1P6/8/8/8/8/8/4K3 w - - 0 1", "b7b8n", 210},
        // A piece behind the mover joins at once.
        {"3rk3/8/8/3p4/8/8/3Q4/3RK3 w - - 0 1", "d2d5", -350},
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

// The squares reached from `square` along (fileStep, rankStep), up to the first blocker.
Bitboard Ray(int square, int fileStep, int rankStep, Bitboard blockers) {
    Bitboard set = 0;
    for (int file = (square & 7) + fileStep, rank = (square >> 3) + rankStep;
         file >= 0 && file < 8 && rank >= 0 && rank < 8; file += fileStep, rank += rankStep) {
        set |= SquareBit[8 * rank + file];
        if (blockers & SquareBit[8 * rank + file])
            break;
    }
    return set;
}

// Every line lookup against a ray walk, from every square over occupancies of every density:
// sparse ones reach the edges, dense ones stop at the first neighbour.
TEST(SlidingAttacks, MatchARayWalkOnEveryOccupancy) {
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    const auto random   = [&state] {
        state ^= state << 13, state ^= state >> 7, state ^= state << 17;
        return state;
    };
    for (int square = 0; square < 64; ++square) {
        for (int sample = 0; sample < 3000; ++sample) {
            Bitboard occupied = random();
            for (int thin = sample % 4; thin > 0; --thin)
                occupied &= random();
            const Bitboard rank = Ray(square, 1, 0, occupied) | Ray(square, -1, 0, occupied);
            const Bitboard file = Ray(square, 0, 1, occupied) | Ray(square, 0, -1, occupied);
            const Bitboard diag = Ray(square, 1, 1, occupied) | Ray(square, -1, -1, occupied);
            const Bitboard anti = Ray(square, -1, 1, occupied) | Ray(square, 1, -1, occupied);
            ASSERT_EQ(RankAttacksFrom(occupied, square), rank) << square << " " << occupied;
            ASSERT_EQ(FileAttacksFrom(occupied, square), file) << square << " " << occupied;
            ASSERT_EQ(DiagAttacksFrom(occupied, square), diag) << square << " " << occupied;
            ASSERT_EQ(AntiDiagAttacksFrom(occupied, square), anti) << square << " " << occupied;
        }
    }
}

} // namespace
} // namespace tarvo
