#include "search/state.h"
#include "search/tablebase.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <memory>

namespace tarvo {
namespace {

using test::BoardFrom;

// Loading, unloading and the win/draw/loss probe, by colour and ply. Results were read from
// the same tables with a separate prober.
TEST(Tablebases, LoadProbeAndUnload) {
    auto owned         = std::make_unique<SearchState>();
    SearchState& state = *owned;
    InitSearchState(state);

    const TablebaseLoad bad = LoadTablebases("/no/such/folder");
    EXPECT_EQ(bad.pieces + bad.tables, 0);
    const TablebaseLoad load = LoadTablebases(TARVO_TEST_DATA "/syzygy");
    EXPECT_EQ(load.tables, 5);
    EXPECT_EQ(load.pieces, 4);
    state.options.tablebasePieces = load.pieces;

    struct Probe {
        const char* fen;
        int ply;
        int score;
    };
    const Probe probes[] = {
        {"8/8/8/4k3/8/8/8/3QK3 w - - 0 1", 3, TablebaseWinScore - 3},
        {"8/8/8/4k3/8/8/8/3QK3 b - - 0 1", 4, -(TablebaseWinScore - 4)},
        {"8/8/8/8/8/2k5/8/K2r4 w - - 0 1", 1, -(TablebaseWinScore - 1)}, // the rook is Black's
        {"8/8/8/4k3/8/8/8/3RK1r1 w - - 0 1", 2, 0},
        {"8/8/8/3pP2k/8/8/8/1K6 w - d6 0 1", 5, TablebaseWinScore - 5}, // wins only by e.p.
    };
    int hits = 0;
    for (const Probe& probe : probes) {
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
    EXPECT_EQ(LoadTablebases("<empty>").pieces, 0);
    EXPECT_FALSE(ProbeTablebaseScore(state, BoardFrom(probes[0].fen), 1, score));
    EXPECT_EQ(score, 7);
    ReleaseSearchState(state);
}

} // namespace
} // namespace tarvo
