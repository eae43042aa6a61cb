#pragma once
// Caches in front of the evaluation: scores by position key, and pawn structures by the two pawn
// sets. They are one plain record of fixed size that the caller owns (each search keeps its own),
// so nothing is allocated or shared while a search runs. A pawn entry stores both pawn sets
// whole, so it can never answer for another structure. A score entry is one word: the key's high
// 48 bits with the score in the low 16, so that twice as many fit in the same memory; with the
// slot's own 14 bits it checks 62 bits of the key, which it trusts as the transposition table
// trusts its keys.

#include <array>
#include <cstdint>

#include "board/types.h"
#include "eval/pawns.h"

namespace tarvo {

inline constexpr int EvalCacheEntries = 1 << 14;
inline constexpr int PawnCacheEntries = 1 << 11;

// (key & ~0xffff) | score as 16 bits, side to move's view.
using EvalCacheEntry = std::uint64_t;

// One 64-byte line. An empty entry holds a White pawn on every square, which no board has.
struct PawnCacheEntry {
    std::array<Bitboard, 2> pawns; // by colour
    PawnStructure structure;
};
static_assert(sizeof(PawnCacheEntry) == 64);

struct EvalCache {
    std::array<EvalCacheEntry, EvalCacheEntries> scores;
    alignas(64) std::array<PawnCacheEntry, PawnCacheEntries> pawns;
};

void ClearEvalCache(EvalCache& cache);

// Starts loading the score entry of `key`, for an evaluation made soon after (at the child node).
inline void EvalCachePrefetch(const EvalCache& cache, std::uint64_t key) {
    __builtin_prefetch(&cache.scores[key & (EvalCacheEntries - 1)]);
}

// Evaluate(board), remembered.
int Evaluate(const Board& board, EvalCache& cache);

} // namespace tarvo
