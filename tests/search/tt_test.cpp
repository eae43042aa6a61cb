#include "search/tt.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <thread>

namespace tarvo {
namespace {

constexpr Move MoveA = 0x1234, MoveB = 0x5678;

bool IsEmptyEntry(const TTEntry& entry) {
    return entry.key == 0 && entry.moveAndBound == 0 && entry.score == -32768 &&
           entry.depth == -128 && entry.generation == 0;
}

// Blocks through the table's memory hooks, counted as they come back; above 16 MB refused.
int Released = 0;
void* SmallBlocks(std::size_t bytes) {
    return bytes > (std::size_t{16} << 20) ? nullptr : std::aligned_alloc(4096, bytes);
}
void CountedRelease(void* block, std::size_t) {
    ++Released;
    std::free(block);
}

// Refused with no table yet: one bucket of the table's own, which is never given back. Rounded
// down to a power of two; a clear in slices, on as many threads as asked for, leaves no entry
// behind, the last slice's remainder included.
TEST(TTResize, SizesAreWholeBucketsAndClearsInSlicesEmptyEveryEntry) {
    TranspositionTable table{};
    table.memory = {SmallBlocks, CountedRelease};
    EXPECT_FALSE(TTResize(table, 64));
    EXPECT_EQ(table.entryCount, 4u);
    ASSERT_TRUE(TTResize(table, 12, 3));
    EXPECT_EQ(Released, 0);
    EXPECT_EQ(table.entryCount, 524288u);
    EXPECT_EQ(table.bucketCount, 131072u);
    for (const int threads : {0, 1, 3, 4}) {
        for (const std::uint64_t key : {0x10000u, 0x3ffffu, 0x5a5a5u, 0x7ffffu})
            TTStore(table, key, MoveA, 1, 1.0f, LowerBound);
        TTClear(table, threads);
        std::uint64_t empty = 0;
        for (std::uint64_t i = 0; i < table.entryCount; ++i)
            empty += IsEmptyEntry(TTEntryAt(table, i));
        EXPECT_EQ(empty, table.entryCount) << threads;
    }
    TTRelease(table);
    EXPECT_EQ(table.entries, nullptr);
    EXPECT_EQ(Released, 1);
}

// The fill count, on a 1 MB table (16,384 buckets) in its first search, with keys that share
// bucket 5; a clear empties every entry; the generation skips 0 (an empty entry's) when it wraps.
TEST(TTStoreAndProbe, FillCountsEachEntryOncePerSearchAndClearEmptiesAll) {
    TranspositionTable table{};
    ASSERT_TRUE(TTResize(table, 1));
    TTNewSearch(table);
    TTEntry entry{};
    const auto key   = [&](std::uint64_t k) { return 5 + (k + 1) * table.bucketCount; };
    const auto store = [&](int k, float depth) {
        TTStore(table, key(k), MoveA, 0, depth, LowerBound);
    };
    store(0, 3.0f);
    store(0, 4.0f);
    store(1, 3.0f);
    EXPECT_EQ(table.usedCount, 2u);
    TTNewSearch(table);
    EXPECT_EQ(table.usedCount, 0u);
    // An entry first stamped by a probe counts once, and a later store into it not again.
    TTProbe(table, key(0), entry);
    store(0, 6.0f);
    EXPECT_EQ(table.usedCount, 1u);
    store(1, 1.0f);
    store(1, 1.0f);
    EXPECT_EQ(table.usedCount, 2u);

    TTPlantMove(table, 12345, MoveB);
    TTClear(table);
    EXPECT_EQ(table.generation, 0);
    EXPECT_EQ(table.usedCount, 0u);
    EXPECT_EQ(table.entryCount, 65536u);
    EXPECT_FALSE(TTProbe(table, key(0), entry));
    EXPECT_FALSE(TTProbe(table, 12345, entry));
    ASSERT_TRUE(TTProbe(table, 0, entry)); // only key 0 matches an empty entry
    EXPECT_TRUE(IsEmptyEntry(entry));
    for (int search = 0; search < 300; ++search) {
        TTNewSearch(table);
        ASSERT_NE(table.generation, 0);
        store(0, 1.0f);
        store(0, 1.0f);
        ASSERT_EQ(table.usedCount, 1u);
    }
    TTRelease(table);
}

#ifdef TARVO_SANITIZED
constexpr int Rounds = 20000;
#else
constexpr int Rounds = 100000;
#endif

// Two threads store and probe keys that crowd into four buckets. Each key's move and score are
// a function of the key, so a probe that trusted a slot torn between two writers would show a
// move or score that belongs to another key.
TEST(TTShared, TornSlotsAreNeverTrusted) {
    TranspositionTable table{};
    TTResize(table, 1);
    TTNewSearch(table);
    const auto moveOf = [](std::uint64_t key) { return static_cast<Move>(2 + (key >> 14) % 4000); };
    const auto scoreOf = [](std::uint64_t key) { return static_cast<int>((key >> 14) % 3000); };
    const auto work    = [&](std::uint64_t seed, int& wrong, int& found) {
        TranspositionTable own = table; // as each search thread holds its own copy
        std::uint64_t random   = seed;
        for (int i = 0; i < Rounds; ++i) {
            random ^= random << 13;
            random ^= random >> 7;
            random ^= random << 17;
            const std::uint64_t key = (random % 6) * own.bucketCount + 1 + random % 4;
            TTEntry entry;
            if (TTProbe(own, key, entry)) {
                ++found;
                wrong += TTEntryMove(entry) != moveOf(key) || entry.score != scoreOf(key);
            }
            TTStore(own, key, moveOf(key), scoreOf(key), static_cast<float>(random % 20),
                       LowerBound);
        }
    };
    int wrong[2] = {0, 0}, found[2] = {0, 0};
    std::thread other(work, 0x9e3779b97f4a7c15u, std::ref(wrong[1]), std::ref(found[1]));
    work(0x2545f4914f6cdd1du, wrong[0], found[0]);
    other.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
    EXPECT_GT(found[0] + found[1], Rounds / 2);
    TTRelease(table);
}

} // namespace
} // namespace tarvo
