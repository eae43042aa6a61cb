#include "board/make_move.h"
#include "eval/evaluate.h"
#include "search/history.h"
#include "search/qsearch.h"
#include "search/root.h"
#include "search/search.h"
#include "search/state.h"
#include "search/strength.h"
#include "search/threads.h"
#include "search/tt.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <memory>

namespace tarvo {
namespace {

using test::BoardFrom;
using test::FindMove;
using test::MoveText;

// A search state without a shell: a 1 MB table, no hooks.
struct SearchFixture : ::testing::Test {
    std::unique_ptr<SearchState> owned = std::make_unique<SearchState>();
    SearchState& state                 = *owned;

    void SetUp() override {
        InitSearchState(state);
        TTResize(state.tt, 1);
        Prepare(1);
    }
    void TearDown() override { ReleaseSearchState(state); }

    // What the shell's set-up does before the first iteration, for a search of `depth`.
    void Prepare(int depth) {
        state.control.maxDepth      = depth;
        state.control.iteration     = 1;
        state.control.runState      = Untimed;
        state.control.pollInterval  = 10000;
        state.control.pollCountdown = 10000;
        state.nodes                 = 0;
        state.selDepth              = 0;
        ClearHistory(state);
        TTNewSearch(state.tt);
    }
    int Full(Board& board, float depth, int ply = 1) {
        return Search(state, board, -Infinity, Infinity, depth, ply, true);
    }
};

using SearchNode = SearchFixture;

// Scores found without searching moves (mate, stalemate, repetition, the last ply, a stop), and
// the quiescence search standing pat and finding a mate but no stalemate.
TEST_F(SearchNode, ScoresThatNeedNoMoveSearch) {
    Board mated = BoardFrom("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(Full(mated, 2.0f, 3), 3 - MateScore);
    Board stalemate = BoardFrom("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(Full(stalemate, 2.0f, 3), 0);
    EXPECT_EQ(QSearch(state, stalemate, -Infinity, Infinity, 0.0f, 1), Evaluate(stalemate));
    Board repeated = BoardFrom(StartFen);
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) {
        UndoInfo undo;
        MakeMove(repeated, FindMove(repeated, text), undo);
    }
    EXPECT_EQ(Full(repeated, 3.0f), 0);
    EXPECT_EQ(QSearch(state, repeated, -Infinity, Infinity, 1.0f, 1), 0);
    Board pawns = BoardFrom("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
    EXPECT_EQ(QSearch(state, pawns, Evaluate(pawns) + 10, Evaluate(pawns) + 50, 0.0f, 1),
              Evaluate(pawns) + 10);
    Board mate = BoardFrom("r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4");
    EXPECT_EQ(QSearch(state, mate, -Infinity, Infinity, 0.0f, 1), MateScore - 2);
    EXPECT_EQ(MoveText(state.plies[1].pv[0]), "h5f7");
    Board board = BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    state.nodes = 0;
    EXPECT_EQ(Full(board, 4.0f, MaxPly - 1), Evaluate(board));
    EXPECT_EQ(state.nodes, 0u);
    TTClear(state.tt);
    state.control.runState = Stopped;
    EXPECT_EQ(Full(board, 5.0f), 0);
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 1.0f, 1), 0);
    EXPECT_EQ(state.tt.usedCount, 0u);
}

// The root search, with a hook that counts iterations instead of a shell. Depths, extensions,
// table cutoffs and the root's null windows are pinned by the reduced bench's node count
// (tests/uci).
int Iterations = 0;
using RootSearchTest = SearchFixture;

TEST_F(RootSearchTest, NoLegalMoveOrAnEarlyStopStillLeavesAnAnswer) {
    state.hooks.iterationStart = [](SearchState&, const MoveList&) { ++Iterations; };
    Board board             = BoardFrom("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    state.plies[0].pvLength = 2; // a line left from an earlier search
    Prepare(5);
    RootSearch(state, board, SearchLimits{});
    EXPECT_EQ(Iterations, 0);
    EXPECT_EQ(state.plies[0].pvLength, 0u);
    // Stopped before any line is complete: the generator's first move.
    board                   = BoardFrom(StartFen);
    state.plies[0].pvLength = 1;
    state.plies[0].pv[0]    = NoMove;
    state.hooks.nodePoll    = [](SearchState& s) { s.control.runState = Stopped; };
    Prepare(5);
    state.control.pollCountdown = 0;
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(state.plies[0].pvLength, 1u);
    EXPECT_EQ(MoveText(state.plies[0].pv[0]), "b1a3");
    EXPECT_EQ(Iterations, 1);
}

// The fill count is what a scan of the table finds stamped by the search, after searches that
// met entries of earlier ones.
TEST_F(RootSearchTest, FillCountMatchesAScanOfTheTable) {
    for (const char* fen : {StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w "
                                      "KQkq - 0 1", StartFen}) {
        Board board = BoardFrom(fen);
        Prepare(7);
        RootSearch(state, board, SearchLimits{});
        std::uint32_t stamped = 0;
        for (std::uint32_t i = 0; i < state.tt.entryCount; ++i)
            stamped += TTEntryAt(state.tt, i).generation == state.tt.generation;
        EXPECT_EQ(state.tt.usedCount, stamped) << fen;
    }
}

// Helper threads (also run under ThreadSanitizer).
using ThreadedSearch = SearchFixture;

// What a shell shows of a MultiPV 1 search: the best line of the current iteration, or the
// line a helper left, with its depth; like the shell, it makes that line the search's.
struct ShownLine {
    int depth       = 0;
    PlyRecord line  = {};
} Shown;

void ShowBestLine(SearchState& state, int score, Move move) {
    if (score <= state.multiPv.score[0] || state.control.runState == Stopped)
        return;
    state.multiPv.score[0] = score;
    PlyRecord& root        = state.plies[0];
    const PlyRecord& below = state.plies[1];
    root.pv[0]             = move;
    std::copy_n(below.pv.begin(), below.pvLength, root.pv.begin() + 1);
    root.pvLength = below.pvLength + 1;
    Shown         = {state.control.iteration, root};
}

TEST_F(ThreadedSearch, HelpersSearchAlongAndAreParkedWhenTheMainThreadEnds) {
    SetSearchThreads(state, 3);
    ASSERT_NE(state.threads, nullptr);
    ASSERT_EQ(state.threads->helpers.size(), 2u);
    Board board = BoardFrom("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    state.hooks.rootResult = ShowBestLine;
    for (int search = 0; search < 3; ++search) {
        // With two lines the main thread completes every depth itself; with one, the first
        // thread to complete the last depth ends the search, and the answer is the line shown
        // last, from that depth, legal to its end.
        state.options.multiPv = search == 2 ? 2 : 1;
        Prepare(5);
        RootSearch(state, board, SearchLimits{});
        EXPECT_EQ(state.threads->running, 0);
        const PlyRecord& root = state.plies[0];
        if (search == 2) {
            EXPECT_EQ(state.control.iteration, 6);
        } else {
            EXPECT_EQ(Shown.depth, 5);
            ASSERT_EQ(root.pvLength, Shown.line.pvLength);
            EXPECT_TRUE(std::equal(root.pv.begin(), root.pv.begin() + root.pvLength,
                                   Shown.line.pv.begin()));
        }
        Board line = board;
        for (std::uint32_t i = 0; i < root.pvLength; ++i) {
            const Move move = FindMove(line, MoveText(root.pv[i]));
            ASSERT_NE(move, NoMove) << i;
            UndoInfo undo;
            MakeMove(line, move, undo);
        }
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

// A stronger setting never searches less or errs more, and the strongest one does not err.
TEST(Strength, NodesRiseAndErrorsFallWithTheSetting) {
    for (int elo = MinStrengthElo - 100; elo < MaxStrengthElo + 100; elo += 25) {
        EXPECT_LE(StrengthNodes(elo), StrengthNodes(elo + 25)) << elo;
        EXPECT_GE(StrengthError(elo), StrengthError(elo + 25)) << elo;
    }
    EXPECT_EQ(StrengthError(MaxStrengthElo), 0);
}

} // namespace
} // namespace tarvo
