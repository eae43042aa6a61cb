#include "search/tt.h"

#include <new>

namespace tarvo {

namespace {

constexpr int EntriesPerBucket   = 4;
constexpr int EntriesPerMegabyte = 65536;
// entryCount is 32 bits wide: 32768 MB is the largest size whose count still fits.
constexpr int LargestMegabytes      = 32768;
constexpr std::int8_t PlantedDepth  = 64;
constexpr std::int16_t PlantedScore = -32701;

// Used only when not even one bucket could be allocated, so that probes and stores always
// find a table to work on.
TTEntry FallbackBucket[EntriesPerBucket];

TTEntry* BucketOf(TranspositionTable& table, std::uint64_t key) {
    return table.entries + EntriesPerBucket * (key & (table.bucketCount - 1));
}

TTEntry* FindInBucket(TTEntry* bucket, std::uint64_t key) {
    for (int i = 0; i < EntriesPerBucket; ++i)
        if (bucket[i].key == key)
            return &bucket[i];
    return nullptr;
}

// The shallowest entry; the first of equal depths. Generations play no part.
TTEntry* ChooseVictim(TTEntry* bucket) {
    TTEntry* victim = &bucket[0];
    for (int i = 1; i < EntriesPerBucket; ++i)
        if (bucket[i].depth < victim->depth)
            victim = &bucket[i];
    return victim;
}

std::int8_t StoredDepth(float depth) {
    // Written so that NaN and huge values land on a bound instead of an undefined conversion.
    if (!(depth > -127.0f))
        return -127;
    if (depth >= 126.0f)
        return 126;
    return static_cast<std::int8_t>(static_cast<int>(depth));
}

int LargestPowerOfTwoAtMost(int value) {
    int power = 1;
    while (power <= value / 2)
        power *= 2;
    return power;
}

} // namespace

int TTResize(TranspositionTable& table, int megabytes) {
    TTRelease(table);
    if (megabytes < 1)
        megabytes = 1;
    if (megabytes > LargestMegabytes)
        megabytes = LargestMegabytes;
    std::uint32_t count =
        static_cast<std::uint32_t>(LargestPowerOfTwoAtMost(megabytes)) * EntriesPerMegabyte;
    // A shortage of memory costs table size, never the table itself.
    while (count > EntriesPerBucket) {
        table.entries = new (std::nothrow) TTEntry[count];
        if (table.entries)
            break;
        count /= 2;
    }
    if (!table.entries)
        table.entries = new (std::nothrow) TTEntry[count];
    if (!table.entries) {
        table.entries = FallbackBucket;
        count         = EntriesPerBucket;
    }
    table.entryCount  = count;
    table.bucketCount = count / EntriesPerBucket;
    TTClear(table);
    return static_cast<int>(count / EntriesPerMegabyte);
}

void TTRelease(TranspositionTable& table) {
    if (table.entries != FallbackBucket)
        delete[] table.entries;
    table.entries     = nullptr;
    table.entryCount  = 0;
    table.bucketCount = 0;
    table.usedCount   = 0;
    table.generation  = 0;
}

void TTClear(TranspositionTable& table) {
    table.generation = 0;
    table.usedCount  = 0;
    for (std::uint32_t i = 0; i < table.entryCount; ++i)
        table.entries[i] = TTEntry{0, 0, -32768, -128, 0};
}

void TTNewSearch(TranspositionTable& table) {
    // Generation 0 belongs to cleared entries only. A search numbered 0 would count the same
    // entry again on every store (an entry of generation 0 always counts as new), so the fill
    // could pass 100 %; the count therefore wraps from 255 to 1.
    table.generation = table.generation == 255 ? 1 : table.generation + 1;
    table.usedCount  = 0;
}

TTEntry* TTProbe(TranspositionTable& table, std::uint64_t key) {
    TTEntry* entry = FindInBucket(BucketOf(table, key), key);
    if (entry)
        entry->generation = table.generation;
    return entry;
}

void TTStore(TranspositionTable& table, std::uint64_t key, Move move, int score, float depth,
             TTBound bound) {
    const std::int8_t stored = StoredDepth(depth);
    const std::uint32_t word = (static_cast<std::uint32_t>(bound) << 24) | (move & 0xffffff);
    const auto storedScore   = static_cast<std::int16_t>(score);
    TTEntry* bucket          = BucketOf(table, key);
    if (TTEntry* entry = FindInBucket(bucket, key)) {
        if (entry->generation != table.generation || entry->generation == 0)
            ++table.usedCount;
        entry->generation = table.generation;
        if (entry->depth >= stored)
            return;
        entry->depth        = stored;
        entry->score        = storedScore;
        entry->moveAndBound = word;
        return;
    }
    TTEntry* victim = ChooseVictim(bucket);
    if (victim->generation != table.generation)
        ++table.usedCount;
    *victim = TTEntry{key, word, storedScore, stored, table.generation};
}

void TTPlantMove(TranspositionTable& table, std::uint64_t key, Move move) {
    const std::uint32_t word = move & 0xffffff; // bound NoBound
    TTEntry* bucket          = BucketOf(table, key);
    if (TTEntry* entry = FindInBucket(bucket, key)) {
        if (entry->generation != table.generation || entry->generation == 0)
            ++table.usedCount;
        entry->generation = table.generation;
        if (entry->depth < PlantedDepth) {
            entry->depth        = PlantedDepth;
            entry->score        = PlantedScore;
            entry->moveAndBound = word;
        }
        return;
    }
    TTEntry* victim = ChooseVictim(bucket);
    if (victim->generation != table.generation)
        ++table.usedCount;
    *victim = TTEntry{key, word, PlantedScore, PlantedDepth, table.generation};
}

} // namespace tarvo
