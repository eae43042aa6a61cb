#include "search/tt.h"

#include <gtest/gtest.h>
#include <thread>

namespace tarvo {
namespace {

constexpr Move MoveA = 0x1234, MoveB = 0x5678;

bool IsEmptyEntry(const TTEntry& entry) {
    return entry.key == 0 && entry.moveAndBound == 0 && entry.score == -32768 &&
           entry.depth == -128 && entry.generation == 0;
}

// Rounded down to a power of two; a clear in slices, on as many threads as asked for, leaves
// no entry behind, the last slice's remainder included.
TEST(TTResize, SizesAreWholeBucketsAndClearsInSlicesEmptyEveryEntry) {
    TranspositionTable table{};
    ASSERT_TRUE(TTResize(table, 12, 3));
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
}

// A 1 MB table: 65,536 entries in 16,384 buckets, generation 1 as in a first search.
struct TTStoreAndProbe : ::testing::Test {
    TranspositionTable table{};
    void SetUp() override {
        ASSERT_TRUE(TTResize(table, 1));
        TTNewSearch(table);
    }
    void TearDown() override { TTRelease(table); }
    // The k-th key that falls into bucket 5.
    std::uint64_t key(std::uint64_t k) const { return 5 + (k + 1) * table.bucketCount; }
    TTEntry slot(int i) const { return TTEntryAt(table, 4 * 5 + i); }
    // The entry a probe of the k-th key finds; key 0 stands for a probe that finds none.
    TTEntry probe(std::uint64_t k) {
        TTEntry entry{};
        return TTProbe(table, k, entry) ? entry : TTEntry{};
    }
    void store(int k, Move move, int score, float depth, TTBound bound = LowerBound) {
        TTStore(table, key(k), move, score, depth, bound);
    }
};

// The victim is looked for in its own bucket only, never in the next one.
TEST_F(TTStoreAndProbe, FullBucketGivesUpItsFirstShallowestEntry) {
    const float depths[4] = {5.0f, 2.0f, 7.0f, 2.0f};
    for (int i = 0; i < 4; ++i)
        store(i, MoveA, 0, depths[i]);
    store(4, MoveB, 7, 1.0f, ExactBound);
    EXPECT_EQ(slot(1).key, key(4));
    EXPECT_EQ(slot(3).key, key(3));
    EXPECT_EQ(slot(4).key, 0u); // the next bucket's first slot
}

TEST_F(TTStoreAndProbe, FillCountsEachEntryOncePerSearchAndClearEmptiesAll) {
    store(0, MoveA, 0, 3.0f);
    store(0, MoveA, 0, 4.0f);
    store(1, MoveA, 0, 3.0f);
    EXPECT_EQ(table.usedCount, 2u);
    TTNewSearch(table);
    EXPECT_EQ(table.usedCount, 0u);
    // An entry first stamped by a probe counts once, and a later store into it not again.
    probe(key(0));
    store(0, MoveA, 0, 6.0f);
    EXPECT_EQ(table.usedCount, 1u);
    store(1, MoveA, 0, 1.0f);
    store(1, MoveA, 0, 1.0f);
    EXPECT_EQ(table.usedCount, 2u);

    TTPlantMove(table, 12345, MoveB);
    TTClear(table);
    EXPECT_EQ(table.generation, 0);
    EXPECT_EQ(table.usedCount, 0u);
    EXPECT_EQ(table.entryCount, 65536u);
    TTEntry entry{};
    EXPECT_FALSE(TTProbe(table, key(0), entry));
    EXPECT_FALSE(TTProbe(table, 12345, entry));
    ASSERT_TRUE(TTProbe(table, 0, entry)); // only key 0 matches an empty entry
    EXPECT_TRUE(IsEmptyEntry(entry));
    // The generation skips 0 (an empty entry's) when it wraps.
    for (int search = 0; search < 300; ++search) {
        TTNewSearch(table);
        ASSERT_NE(table.generation, 0);
        store(0, MoveA, 0, 1.0f);
        store(0, MoveA, 0, 1.0f);
        ASSERT_EQ(table.usedCount, 1u);
    }
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
