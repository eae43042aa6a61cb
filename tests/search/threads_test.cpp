// Helper threads and the table they share. These tests also run under ThreadSanitizer.

#include "search/root.h"
#include "search/state.h"
#include "search/threads.h"
#include "search/tt.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <memory>
#include <thread>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;

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

// A search state without a shell, on a 1 MB table, to `depth`.
struct ThreadedSearch : ::testing::Test {
    std::unique_ptr<SearchState> owned = std::make_unique<SearchState>();
    SearchState& state                 = *owned;

    void SetUp() override {
        InitSearchState(state);
        TTResize(state.tt, 1);
    }
    void TearDown() override { ReleaseSearchState(state); }
    void Run(Board& board, int depth) {
        state.control.maxDepth      = depth;
        state.control.iteration     = 1;
        state.control.runState      = Untimed;
        state.control.pollInterval  = 1000;
        state.control.pollCountdown = 1000;
        state.nodes                 = 0;
        TTNewSearch(state.tt);
        RootSearch(state, board, SearchLimits{});
    }
};

TEST_F(ThreadedSearch, HelpersSearchAlongAndAreParkedWhenTheMainThreadEnds) {
    SetSearchThreads(state, 3);
    ASSERT_NE(state.threads, nullptr);
    ASSERT_EQ(state.threads->helpers.size(), 2u);
    Board board = BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    for (int search = 0; search < 2; ++search) {
        Run(board, 5);
        EXPECT_EQ(state.threads->running, 0);
        EXPECT_NE(test::FindMove(board, test::MoveText(state.plies[0].pv[0])), NoMove);
        std::uint64_t helperNodes = 0;
        for (const auto& helper : state.threads->helpers) {
            EXPECT_GT(helper->nodes.load(), 0u);
            EXPECT_EQ(helper->nodes.load(), helper->state->nodes); // the final count
            helperNodes += helper->nodes.load();
        }
        EXPECT_EQ(SummedCounters(state).nodes, state.nodes + helperNodes);
    }
    SetSearchThreads(state, 0); // brought to one: no helper is left
    EXPECT_EQ(state.threads, nullptr);
    EXPECT_EQ(state.options.threads, 1);
    EXPECT_EQ(SummedCounters(state).nodes, state.nodes);
}

} // namespace
} // namespace tarvo
