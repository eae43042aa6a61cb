#pragma once
// Square arithmetic and attack sets shared by the evaluation terms. Every term works from White's
// point of view and multiplies a colour's score by that colour's sign; these helpers keep the
// colour-relative reading (ranks, forward direction, mirrored table index) in one place, so the
// terms stay symmetric between the colours by construction.

#include <bit>
#include <cstdlib>

#include "board/types.h"

namespace tarvo {

// +1 for White, -1 for Black.
constexpr int ColourSign(int colour) { return 1 - 2 * colour; }

constexpr int FileOf(int square) { return square & 7; }
constexpr int RankOf(int square) { return square >> 3; }

// 0 = the colour's own back rank, 7 = the rank where its pawns promote.
constexpr int RelativeRank(int colour, int square) {
    return colour == White ? RankOf(square) : 7 - RankOf(square);
}

// Square tables are written from White's side, rank 8 first: White reads the vertical mirror.
constexpr int TableIndex(int colour, int square) { return colour == White ? square ^ 56 : square; }

// King-move distance.
inline int SquareDistance(int a, int b) {
    const int files = std::abs(FileOf(a) - FileOf(b));
    const int ranks = std::abs(RankOf(a) - RankOf(b));
    return files > ranks ? files : ranks;
}

inline int CountBits(Bitboard set) { return std::popcount(set); }

} // namespace tarvo
