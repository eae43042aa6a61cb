#include <gtest/gtest.h>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "search/tt.h"

namespace tarvo {
namespace {

constexpr Move MoveA = 0x1234;
constexpr Move MoveB = 0x5678;
constexpr Move MoveC = 0x9abc;

// A 1 MB table: 65,536 entries in 16,384 buckets, generation 1 as in a first search.
struct TTStoreAndProbe : ::testing::Test {
    TranspositionTable table{};
    void SetUp() override {
        ASSERT_EQ(TTResize(table, 1), 1);
        TTNewSearch(table);
    }
    void TearDown() override { TTRelease(table); }
    // The k-th key that falls into bucket 5.
    std::uint64_t keyInBucket(std::uint64_t k) const { return 5 + (k + 1) * table.bucketCount; }
    TTEntry* bucket() { return table.entries + 4 * 5; }
};

bool isEmptyEntry(const TTEntry& entry) {
    return entry.key == 0 && entry.moveAndBound == 0 && entry.score == -32768 &&
           entry.depth == -128 && entry.generation == 0;
}

TEST(TTResize, SizesAreWholeBucketsOfSixteenByteEntries) {
    TranspositionTable table{};
    EXPECT_EQ(TTResize(table, 16), 16);
    EXPECT_EQ(table.entryCount, 1048576u);
    EXPECT_EQ(table.bucketCount, 262144u);
    EXPECT_TRUE(isEmptyEntry(table.entries[0]));
    EXPECT_TRUE(isEmptyEntry(table.entries[table.entryCount - 1]));
    // Sizes that are not powers of two are rounded down.
    EXPECT_EQ(TTResize(table, 12), 8);
    EXPECT_EQ(table.entryCount, 524288u);
    TTRelease(table);
    EXPECT_EQ(table.entries, nullptr);
    EXPECT_EQ(table.entryCount, 0u);
}

#ifndef TARVO_SANITIZED
// The sanitizers reserve terabytes of address space, so a limit on it cannot be tested there.
TEST(TTResize, HalvesTheSizeUntilMemoryIsFound) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Leave room for about 40 MB more than the process uses now; 256 MB cannot be had.
        rlimit limit{};
        getrlimit(RLIMIT_AS, &limit);
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        limit.rlim_cur = static_cast<rlim_t>(pages) * sysconf(_SC_PAGESIZE) + (40 << 20);
        setrlimit(RLIMIT_AS, &limit);
        TranspositionTable table{};
        const int megabytes = TTResize(table, 256);
        const bool usable   = table.entries != nullptr &&
                            table.entryCount == static_cast<std::uint32_t>(megabytes) * 65536 &&
                            isEmptyEntry(table.entries[table.entryCount - 1]);
        _exit(usable && megabytes >= 8 && megabytes <= 32 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
#endif

TEST_F(TTStoreAndProbe, ProbeFindsOnlyStoredKeysAndStampsThem) {
    TTStore(table, keyInBucket(0), MoveA, 40, 3.0f, LowerBound);
    EXPECT_EQ(TTProbe(table, keyInBucket(1)), nullptr);
    TTNewSearch(table);
    TTEntry* entry = TTProbe(table, keyInBucket(0));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->generation, table.generation);
    EXPECT_EQ(TTEntryMove(*entry), MoveA);
    EXPECT_EQ(TTEntryBound(*entry), LowerBound);
    EXPECT_EQ(entry->score, 40);
    // A probe stamps without counting.
    EXPECT_EQ(table.usedCount, 0u);
}

TEST_F(TTStoreAndProbe, SameDepthKeepsTheFirstResult) {
    TTStore(table, keyInBucket(0), MoveA, 40, 3.0f, LowerBound);
    TTNewSearch(table);
    TTStore(table, keyInBucket(0), MoveB, -15, 3.0f, UpperBound);
    const TTEntry& entry = bucket()[0];
    EXPECT_EQ(TTEntryMove(entry), MoveA);
    EXPECT_EQ(TTEntryBound(entry), LowerBound);
    EXPECT_EQ(entry.score, 40);
    EXPECT_EQ(entry.generation, table.generation);
    EXPECT_EQ(table.usedCount, 1u);
}

TEST_F(TTStoreAndProbe, DeeperResultReplacesInPlace) {
    TTStore(table, keyInBucket(0), MoveC, 1, 9.0f, ExactBound);
    TTStore(table, keyInBucket(1), MoveA, 40, 3.0f, LowerBound);
    TTStore(table, keyInBucket(1), MoveB, -15, 5.5f, UpperBound);
    const TTEntry& entry = bucket()[1];
    EXPECT_EQ(entry.key, keyInBucket(1));
    EXPECT_EQ(TTEntryMove(entry), MoveB);
    EXPECT_EQ(TTEntryBound(entry), UpperBound);
    EXPECT_EQ(entry.score, -15);
    EXPECT_EQ(entry.depth, 5);
    EXPECT_EQ(bucket()[0].key, keyInBucket(0));
    EXPECT_EQ(table.usedCount, 2u);
}

TEST_F(TTStoreAndProbe, FullBucketGivesUpItsFirstShallowestEntry) {
    const float depths[4] = {5.0f, 2.0f, 7.0f, 2.0f};
    for (int i = 0; i < 4; ++i)
        TTStore(table, keyInBucket(i), MoveA, 0, depths[i], LowerBound);
    TTStore(table, keyInBucket(4), MoveB, 7, 1.0f, ExactBound);
    EXPECT_EQ(bucket()[0].key, keyInBucket(0));
    EXPECT_EQ(bucket()[1].key, keyInBucket(4));
    EXPECT_EQ(bucket()[1].depth, 1);
    EXPECT_EQ(bucket()[3].key, keyInBucket(3));
    // The victim was already of this generation.
    EXPECT_EQ(table.usedCount, 4u);
}

TEST_F(TTStoreAndProbe, DepthIsTruncatedAndBounded) {
    TTStore(table, keyInBucket(0), MoveA, 0, 2.9f, LowerBound);
    TTStore(table, keyInBucket(1), MoveA, 0, -0.5f, LowerBound);
    TTStore(table, keyInBucket(2), MoveA, 0, 1000.0f, LowerBound);
    TTStore(table, keyInBucket(3), MoveA, 0, -1000.0f, LowerBound);
    EXPECT_EQ(TTProbe(table, keyInBucket(0))->depth, 2);
    EXPECT_EQ(TTProbe(table, keyInBucket(1))->depth, 0);
    EXPECT_EQ(TTProbe(table, keyInBucket(2))->depth, 126);
    EXPECT_EQ(TTProbe(table, keyInBucket(3))->depth, -127);
}

TEST_F(TTStoreAndProbe, ExactEntryCarriesItsMove) {
    TTStore(table, keyInBucket(0), MoveC, 25, 4.0f, ExactBound);
    const TTEntry* entry = TTProbe(table, keyInBucket(0));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(TTEntryMove(*entry), MoveC);
    EXPECT_EQ(TTEntryBound(*entry), ExactBound);
    // Only the low 24 bits of a move are kept.
    TTStore(table, keyInBucket(1), 0xff000000u | MoveA, 0, 1.0f, LowerBound);
    EXPECT_EQ(TTEntryMove(*TTProbe(table, keyInBucket(1))), MoveA);
    EXPECT_EQ(TTEntryBound(*TTProbe(table, keyInBucket(1))), LowerBound);
}

TEST_F(TTStoreAndProbe, ClearEmptiesEveryEntryAndTheFill) {
    TTStore(table, keyInBucket(0), MoveA, 0, 3.0f, LowerBound);
    TTPlantMove(table, 12345, MoveB);
    TTClear(table);
    EXPECT_EQ(table.generation, 0);
    EXPECT_EQ(table.usedCount, 0u);
    EXPECT_EQ(table.entryCount, 65536u);
    EXPECT_EQ(TTProbe(table, keyInBucket(0)), nullptr);
    EXPECT_EQ(TTProbe(table, 12345), nullptr);
    // Only key 0 matches an empty entry.
    const TTEntry* empty = TTProbe(table, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(isEmptyEntry(*empty));
}

TEST_F(TTStoreAndProbe, FillCountsEachEntryOncePerSearch) {
    TTStore(table, keyInBucket(0), MoveA, 0, 3.0f, LowerBound);
    TTStore(table, keyInBucket(0), MoveA, 0, 4.0f, LowerBound);
    TTStore(table, keyInBucket(1), MoveA, 0, 3.0f, LowerBound);
    EXPECT_EQ(table.usedCount, 2u);

    TTNewSearch(table);
    EXPECT_EQ(table.usedCount, 0u);
    // An entry first stamped by a probe is not counted, nor is a later store into it.
    TTProbe(table, keyInBucket(0));
    TTStore(table, keyInBucket(0), MoveA, 0, 6.0f, LowerBound);
    EXPECT_EQ(table.usedCount, 0u);
    // A store into an entry of an older search counts once.
    TTStore(table, keyInBucket(1), MoveA, 0, 1.0f, LowerBound);
    TTStore(table, keyInBucket(1), MoveA, 0, 1.0f, LowerBound);
    EXPECT_EQ(table.usedCount, 1u);
}

TEST_F(TTStoreAndProbe, GenerationSkipsZeroWhenItWraps) {
    for (int search = 0; search < 300; ++search) {
        TTNewSearch(table);
        ASSERT_NE(table.generation, 0);
        // Storing the same key again and again never counts it twice in one search.
        TTStore(table, keyInBucket(0), MoveA, 0, 1.0f, LowerBound);
        TTStore(table, keyInBucket(0), MoveA, 0, 1.0f, LowerBound);
        ASSERT_EQ(table.usedCount, 1u);
    }
}

TEST_F(TTStoreAndProbe, PlantedMoveOutranksOrdinaryResults) {
    TTStore(table, keyInBucket(0), MoveA, 30, 10.0f, ExactBound);
    TTPlantMove(table, keyInBucket(0), MoveB);
    const TTEntry& planted = bucket()[0];
    EXPECT_EQ(planted.depth, 64);
    EXPECT_EQ(planted.score, -32701);
    EXPECT_EQ(TTEntryMove(planted), MoveB);
    EXPECT_EQ(TTEntryBound(planted), NoBound);

    // A shallower store keeps the planted move; a second planting does not replace it either.
    TTStore(table, keyInBucket(0), MoveC, 0, 20.0f, LowerBound);
    TTPlantMove(table, keyInBucket(0), MoveC);
    EXPECT_EQ(TTEntryMove(planted), MoveB);

    // A new key planted into a bucket takes the shallowest entry.
    TTStore(table, keyInBucket(1), MoveA, 0, 3.0f, LowerBound);
    TTPlantMove(table, keyInBucket(2), MoveC);
    EXPECT_EQ(bucket()[2].key, keyInBucket(2));
    EXPECT_EQ(bucket()[2].depth, 64);
    EXPECT_EQ(table.usedCount, 3u);

    // Planted entries survive until all four slots are planted.
    TTPlantMove(table, keyInBucket(3), MoveC);
    TTPlantMove(table, keyInBucket(4), MoveC);
    TTStore(table, keyInBucket(5), MoveA, 0, 50.0f, LowerBound);
    EXPECT_EQ(bucket()[0].key, keyInBucket(5));
}

} // namespace
} // namespace tarvo
