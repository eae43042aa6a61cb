#pragma once
// The transposition table: one array of 16-byte slots in buckets of four, addressed by the
// low bits of the position key. Entries keep the deepest result for a position; planted
// entries of the best line (depth 64, no bound) serve only as hash moves.
// Every search thread reads and writes the same slots without a lock. A slot is two relaxed
// atomic words, the entry packed into one and the key XOR-ed with it in the other, so a slot
// torn by two writers fails the key test and is never trusted; probes hand out a copy.
// The entry array's memory comes from the layer above when it installs a TTMemory (the shell
// asks for large pages, which this layer cannot see); without one it comes from the heap.

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "board/types.h"

namespace tarvo {

enum TTBound : std::uint8_t { NoBound = 0, LowerBound = 1, ExactBound = 2, UpperBound = 3 };

// One entry as a probe sees it.
struct TTEntry {
    std::uint64_t key;
    std::uint32_t moveAndBound; // low 24 bits: move (1 = none); high 8 bits: TTBound
    std::int16_t score;         // side to move's view, not adjusted for distance to the root
    std::int8_t depth;          // whole plies, -127..126; -128 only in the empty state
    std::uint8_t generation;
};

// One entry as the table holds it. data: moveAndBound in bits 0-31, score 32-47, depth 48-55,
// generation 56-63.
struct TTSlot {
    std::atomic<std::uint64_t> keyXorData;
    std::atomic<std::uint64_t> data;
};
static_assert(sizeof(TTSlot) == 16);

// Where entry arrays come from and go back to. allocate returns nullptr to refuse a size; a
// null pair stands for the heap. The pair that made a table's array also releases it, so it is
// set before the first TTResize and not changed while the table holds an array.
struct TTMemory {
    void* (*allocate)(std::size_t bytes)            = nullptr;
    void (*release)(void* block, std::size_t bytes) = nullptr;
};

// Each search thread has its own copy of this record (the same entries, generation and size);
// usedCount counts what that copy stamped. The counts are 64 bits wide: the largest table holds
// 2^32 entries.
struct TranspositionTable {
    TTSlot* entries           = nullptr; // owned by the main thread's copy; entryCount slots
    std::uint8_t generation   = 0;
    std::uint64_t entryCount  = 0;
    std::uint64_t bucketCount = 0;
    std::uint64_t usedCount   = 0; // entries stamped with the current generation by this copy
    TTMemory memory{};
};

inline constexpr int TTBucketEntries = 4;
// Entries in a megabyte of table (16-byte slots).
inline constexpr std::uint64_t TTEntriesPerMegabyte = 65536;

// Starts loading the bucket of `key` into the processor's cache, so that a probe made a little
// later (after MakeMove, at the child node) does not wait for memory.
inline void TTPrefetch(const TranspositionTable& table, std::uint64_t key) {
    __builtin_prefetch(table.entries + TTBucketEntries * (key & (table.bucketCount - 1)));
}

constexpr Move TTEntryMove(const TTEntry& entry) { return entry.moveAndBound & 0xffffff; }
constexpr TTBound TTEntryBound(const TTEntry& entry) {
    return static_cast<TTBound>(entry.moveAndBound >> 24);
}

// Replaces the entry array with a cleared one of `megabytes` (rounded down to a power of two)
// and returns true. When table.memory refuses that size, returns false and leaves the table,
// its entries included, as it was; a table without an array then gets one bucket, so that
// probes and stores always find a table. The new array is cleared by `threads` threads.
bool TTResize(TranspositionTable& table, int megabytes, int threads = 1);
void TTRelease(TranspositionTable& table);
// Empties every entry. With threads above 1 the array is cleared in that many slices at once,
// so that a table of gigabytes is not cleared by one core; between searches only.
void TTClear(TranspositionTable& table, int threads = 1);
void TTNewSearch(TranspositionTable& table);
// Copies the entry of `key` from its bucket into `entry` and returns true, or returns false;
// a match is stamped with the current generation.
bool TTProbe(TranspositionTable& table, std::uint64_t key, TTEntry& entry);
void TTStore(TranspositionTable& table, std::uint64_t key, Move move, int score, float depth,
             TTBound bound);
void TTPlantMove(TranspositionTable& table, std::uint64_t key, Move move);
// The entry in slot `index` (below entryCount), whatever its key.
TTEntry TTEntryAt(const TranspositionTable& table, std::uint64_t index);

} // namespace tarvo
