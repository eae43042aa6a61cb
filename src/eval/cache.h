#pragma once
// Caches in front of the evaluation: scores by position key, and pawn structures by the two pawn
// sets. They are one plain record of fixed size that the caller owns (each search keeps its own),
// so nothing is allocated or shared while a search runs. A pawn entry stores both pawn sets
// whole, so it can never answer for another structure; a score entry trusts the 64-bit key as
// the transposition table does.

#include <array>
#include <cstdint>

#include "board/types.h"
#include "eval/pawns.h"

namespace tarvo {

inline constexpr int EvalCacheEntries = 1 << 13;
inline constexpr int PawnCacheEntries = 1 << 11;

struct EvalCacheEntry {
    std::uint64_t key;
    std::int32_t score; // side to move's view
    std::uint32_t filled;
};

struct PawnCacheEntry {
    std::array<Bitboard, 2> pawns; // by colour; an entry with filled == 0 holds nothing
    PawnStructure structure;
    std::uint32_t filled;
};

struct EvalCache {
    std::array<EvalCacheEntry, EvalCacheEntries> scores;
    std::array<PawnCacheEntry, PawnCacheEntries> pawns;
};

void ClearEvalCache(EvalCache& cache);

// Starts loading the score entry of `key`, for an evaluation made soon after (at the child node).
inline void EvalCachePrefetch(const EvalCache& cache, std::uint64_t key) {
    __builtin_prefetch(&cache.scores[key & (EvalCacheEntries - 1)]);
}

// Evaluate(board), remembered.
int Evaluate(const Board& board, EvalCache& cache);

} // namespace tarvo
