#pragma once
// The transposition table: one array of 16-byte entries in buckets of four, addressed by the
// low bits of the position key. Entries keep the deepest result for a position; planted
// entries of the best line (depth 64, no bound) serve only as hash moves.

#include <cstdint>

#include "board/types.h"

namespace tarvo {

enum TTBound : std::uint8_t { NoBound = 0, LowerBound = 1, ExactBound = 2, UpperBound = 3 };

struct TTEntry {
    std::uint64_t key;
    std::uint32_t moveAndBound; // low 24 bits: move (1 = none); high 8 bits: TTBound
    std::int16_t score;         // side to move's view, not adjusted for distance to the root
    std::int8_t depth;          // whole plies, -127..126; -128 only in the empty state
    std::uint8_t generation;
};
static_assert(sizeof(TTEntry) == 16);

struct TranspositionTable {
    TTEntry* entries = nullptr; // owned; entryCount entries
    std::uint8_t generation = 0;
    std::uint32_t entryCount = 0;
    std::uint32_t bucketCount = 0;
    std::uint32_t usedCount = 0; // entries stamped with the current generation by store or plant
};

constexpr Move TTEntryMove(const TTEntry& entry) { return entry.moveAndBound & 0xffffff; }
constexpr TTBound TTEntryBound(const TTEntry& entry) {
    return static_cast<TTBound>(entry.moveAndBound >> 24);
}

// Replaces the entry array with one of `megabytes` (a power of two) and clears it. If that
// much memory cannot be had, halves the size until an allocation succeeds. Returns the size
// in megabytes actually allocated.
int TTResize(TranspositionTable& table, int megabytes);
void TTRelease(TranspositionTable& table);
void TTClear(TranspositionTable& table);
void TTNewSearch(TranspositionTable& table);
// The entry of `key` in its bucket, or nullptr; a match is stamped with the current generation.
TTEntry* TTProbe(TranspositionTable& table, std::uint64_t key);
void TTStore(TranspositionTable& table, std::uint64_t key, Move move, int score, float depth,
             TTBound bound);
void TTPlantMove(TranspositionTable& table, std::uint64_t key, Move move);

} // namespace tarvo
