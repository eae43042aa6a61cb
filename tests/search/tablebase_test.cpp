#include "search/root.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tablebase.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace tarvo {
namespace {

using test::BoardFrom;

// Loading, unloading and the win/draw/loss probe, by colour and ply (results read from the same
// tables with a separate prober), and the probes inside the search.
TEST(Tablebases, ProbeAndBoundTheSearch) {
    auto owned         = std::make_unique<SearchState>();
    SearchState& state = *owned;
    InitSearchState(state);

    const TablebaseLoad load = LoadTablebases(TARVO_TEST_DATA "/syzygy");
    EXPECT_EQ(std::pair(load.tables, load.pieces), std::pair(5, 4));
    state.options.tablebasePieces = load.pieces;

    const struct {
        const char* fen;
        int ply, score;
    } probes[] = {
        {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 3, TablebaseWinScore - 3},
        {"8/8/8/4k3/8/8/8/3QK3 b - - 0 1", 4, -(TablebaseWinScore - 4)},
        {"8/8/8/8/8/2k5/8/K2r4 w - - 0 1", 1, -(TablebaseWinScore - 1)}, // the rook is Black's
        {"8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1", 2, 0},
        {"8/8/8/3pP2k/8/8/8/1K6 w - d6 0 1", 5, TablebaseWinScore - 5}, // wins only by e.p.
    };
    int hits = 0;
    for (const auto& probe : probes) {
        SCOPED_TRACE(probe.fen);
        const Board board = BoardFrom(probe.fen);
        ASSERT_TRUE(IsTablebasePosition(state, board));
        int score = 1;
        EXPECT_TRUE(ProbeTablebaseScore(state, board, probe.ply, score));
        EXPECT_EQ(score, probe.score);
        EXPECT_EQ(state.tbHits, static_cast<std::uint64_t>(++hits));
    }
    EXPECT_FALSE(IsTablebasePosition(state, BoardFrom("r3k3/8/8/8/8/8/8/4K3 b q - 0 1")));
    EXPECT_FALSE(IsTablebasePosition(state, BoardFrom("8/8/8/4k3/8/8/2PP4/3QK3 w - - 0 1")));

    // A table that is not there fails the probe; unloading fails every probe.
    int score = 7;
    EXPECT_FALSE(ProbeTablebaseScore(state, BoardFrom("8/8/8/4k3/8/8/8/3BK3 w - - 0 1"), 1, score));

    // Inside the search a win is a floor and a loss a ceiling, a mate is found before any probe,
    // a null move's child is not probed as if its count were fresh, the probe options hold, and
    // only the main thread filters the root.
    state.control.runState = Untimed;
    const auto search      = [&](const char* fen, int alpha, int beta, float depth, int ply) {
        Board board  = BoardFrom(fen);
        state.tbHits = 0;
        return Search(state, board, alpha, beta, depth, ply, true);
    };
    const char* krk = "8/8/8/3k4/8/8/8/R3K3 w - - 0 1";
    EXPECT_EQ(search(krk, -Infinity, Infinity, 3.0f, 1), TablebaseWinScore - 1);
    EXPECT_EQ(search(krk, -Infinity, 100, 3.0f, 1), TablebaseWinScore - 1);
    EXPECT_EQ(search("8/8/8/3K4/8/8/8/r3k3 w - - 0 1", -Infinity, Infinity, 3.0f, 1),
              -(TablebaseWinScore - 1));
    EXPECT_EQ(search("1R5k/8/6K1/8/8/8/8/8 b - - 0 1", -Infinity, Infinity, 2.0f, 2),
              2 - MateScore);
    EXPECT_EQ(search("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", -Infinity, Infinity, 2.0f, 2), 0);
    // The mate in one behind a tablebase win is still found.
    EXPECT_EQ(search("k7/8/1K6/8/8/8/8/7R w - - 0 1", -Infinity, Infinity, 3.0f, 1),
              MateScore - 2);

    const char* krkr = "8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1";
    const struct {
        const char* fen;
        int nullChildPly, probeDepth, probeLimit;
        float depth;
        bool probed;
    } gates[] = {{krk, -1, 1, 7, 0.5f, true},   {krk, 3, 1, 7, 1.0f, false},
                 {krk, -1, 2, 7, 1.0f, false},  {krk, -1, 100, 7, 1.0f, false},
                 {krk, -1, 1, 3, 1.0f, true},   {krk, -1, 1, 2, 1.0f, false},
                 {krk, -1, 1, 0, 1.0f, false},  {krkr, -1, 1, 4, 1.0f, true},
                 {krkr, -1, 1, 3, 1.0f, false}}; // children at depth 0 are never probed
    for (const auto& gate : gates) {
        state.nullMoveChildPly            = gate.nullChildPly;
        state.options.tablebaseProbeDepth = gate.probeDepth;
        state.options.tablebaseProbeLimit = gate.probeLimit;
        search(gate.fen, -Infinity, Infinity, gate.depth, 3);
        EXPECT_EQ(state.tbHits > 0, gate.probed) << &gate - gates;
    }
    state.nullMoveChildPly            = -1;
    state.options.tablebaseProbeDepth = 1;
    state.options.tablebaseProbeLimit = 7;

    // The root's filter, the main thread's and never a helper's, keeps the moves with the best
    // result. With the clock at 77 the first move's win (zeroing in 15 plies) is the one certain:
    // another zeroes in 23, where the tables may round past the fifty-move rule.
    for (const auto& [fen, threadIndex, kept] :
         {std::tuple{"8/8/2k5/8/4P3/4K3/8/8 w - - 0 1", 0, 1}, {"8/8/2k5/8/4P3/4K3/8/8 w - - 0 1", 1, 8},
          {"8/8/8/8/8/k7/8/K3R3 w - - 77 1", 0, 1}}) {
        Board board             = BoardFrom(fen);
        state.threadIndex       = threadIndex;
        state.control           = SearchControl{};
        state.control.maxDepth  = 1;
        state.control.iteration = 1;
        state.control.runState  = Untimed;
        RootSearch(state, board, SearchLimits{});
        EXPECT_EQ(state.control.rootInTablebase, threadIndex == 0) << fen;
        EXPECT_EQ(state.rootMoveCount, kept) << fen << " " << threadIndex;
    }
    state.threadIndex = 0;
    EXPECT_EQ(LoadTablebases("<empty>").pieces, 0);
    EXPECT_FALSE(ProbeTablebaseScore(state, BoardFrom(probes[0].fen), 1, score));
    EXPECT_EQ(score, 7);
    ReleaseSearchState(state);
}

} // namespace
} // namespace tarvo
