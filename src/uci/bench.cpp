#include "uci/bench.h"

#include "board/fen.h"
#include "search/root.h"
#include "search/state.h"
#include "search/threads.h"
#include "search/tt.h"
#include "uci/clock.h"
#include "uci/hooks.h"
#include "uci/memory.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace tarvo {

namespace {

// Openings, middlegames, tactics and endgames, so that every part of the search and of the
// evaluation takes its share of the count.
constexpr const char* BenchFens[] = {
    // Openings.
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "rnbqkb1r/ppp2ppp/4pn2/3p4/2PP4/2N5/PP2PPPP/R1BQKBNR w KQkq - 2 4",
    "rnbq1rk1/ppp1ppbp/3p1np1/8/2PPP3/2N2N2/PP3PPP/R1BQKB1R w KQ - 1 6",
    "rnbqkbnr/ppp1pppp/8/3p4/8/5N2/PPPPPPPP/RNBQKB1R w KQkq d6 0 2",
    // Middlegames.
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pp3ppp/2n2n2/2bpp3/4P3/2PP1N2/PP1NBPPP/R1BQ1RK1 w - - 0 1",
    "r2r2k1/ppqbppbp/2n2np1/2pp4/6P1/1P1PPNNP/PBP2PB1/R2QK2R b KQ - 0 1",
    "1br2rk1/1pqb1ppp/p3pn2/8/1P6/P1N1PN1P/1B3PP1/1QRR2K1 w - - 0 1",
    "r1b2rk1/ppqn1p1p/2n1p1p1/2b3N1/2N5/PP1BP3/1B3PPP/R2QK2R w KQ - 0 1",
    // Tactics.
    "2rr3k/pp3pp1/1nnqbN1p/3pN3/2pP4/2P3Q1/PPB4P/R4RK1 w - - 0 1",
    "5rk1/1ppb3p/p1pb4/6q1/3P1p1r/2P1R2P/PP1BQ1P1/5RKN w - - 0 1",
    "r1bq2rk/pp3pbp/2p1p1pQ/7P/3P4/2PB1N2/PP3PPR/2KR4 w - - 0 1",
    "3q1rk1/p4pp1/2pb3p/3p4/6Pr/1PNQ4/P1PB1PP1/4RRK1 b - - 0 1",
    "r1b1kb1r/3q1ppp/pBp1pn2/8/Np3P2/5B2/PPP3PP/R2Q1RK1 w kq - 0 1",
    "r4rk1/ppp2ppp/2n5/2bqp3/8/P2PB3/1PP1NPPP/R2Q1RK1 w - - 0 1",
    "r1bqk2r/pppp1ppp/5n2/2b1n3/4P3/1BP3Q1/PP3PPP/RNB1K1NR b KQkq - 0 1",
    "r2q1r1k/2p1b1pp/p1n5/1p1Q1bN1/4n3/1BP1B3/PP3PPP/R4RK1 w - - 0 1",
    "r1b1k1nr/pp3pQp/4pq2/3pn3/8/P1P5/2P2PPP/R1B1KBNR w KQkq - 0 1",
    "6k1/5p2/p5np/4B3/3P4/1PP1q3/P3r1QP/6RK w - - 0 1",
    // Endgames.
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/5pk1/6p1/3R4/8/6P1/r4PK1/8 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 b - - 0 1",
    "8/p7/1ppk1n2/5ppp/P1PP4/2P1K1P1/5N1P/8 b - - 0 1",
    "8/p3k1p1/4r3/2ppNpp1/PP1P4/2P3KP/5P2/8 b - - 0 1",
    "7k/p7/1R5K/6r1/6p1/6P1/8/8 w - - 0 1",
    "R7/P4k2/8/8/8/8/r7/6K1 w - - 0 1",
    "8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1",
    "8/k1P5/8/1K6/8/8/8/8 w - - 0 1",
    "4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1",
    "8/8/1P2K3/8/2n5/1q6/8/5k2 b - - 0 1",
    "8/6pp/4p3/1p1n4/1NbkN1P1/P4P1P/1PR3K1/r7 w - - 0 1",
};

constexpr int BenchMegabytes = 16;

// What `ucinewgame` and a fresh process have in common: an empty table, no killers, no lines
// and no history, so no position's count depends on the one searched before it.
void ResetSearchState(SearchState& state) {
    if (state.tt.entryCount != BenchMegabytes * TTEntriesPerMegabyte)
        TTResize(state.tt, BenchMegabytes);
    state.options.hashMegabytes = BenchMegabytes;
    state.options.multiPv       = 1;
    ClearSearchTables(state);
    state.plies.fill(PlyRecord{});
    state.historyScore.fill(0);
    state.cutoffCount.fill(0);
    state.failCount.fill(0);
}

} // namespace

int benchPositionCount() {
    return static_cast<int>(std::size(BenchFens));
}

std::uint64_t benchNodes(SearchState& state, int depth, int positionCount, bool progress) {
    installQuietSearchHooks(state);
    const int count     = std::clamp(positionCount, 0, benchPositionCount());
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        Board board{};
        if (!SetFromFen(board, BenchFens[i]))
            continue;
        ResetSearchState(state);
        SearchLimits limits;
        limits.depth = depth;
        RootSearch(state, board, limits);
        const std::uint64_t nodes = SummedCounters(state).nodes;
        total += nodes;
        if (progress)
            std::printf("Position %d/%d: %llu nodes\n", i + 1, count,
                        static_cast<unsigned long long>(nodes));
    }
    return total;
}

int runBench(int threads) {
    // Heap storage: the search state is far too large for the stack.
    const auto state = std::make_unique<SearchState>();
    state->tt.memory = LargePageMemory;
    InitSearchState(*state);
    SetSearchThreads(*state, threads);
    const std::uint32_t start  = readTickCount();
    const std::uint64_t nodes  = benchNodes(*state, BenchDepth, benchPositionCount(), true);
    const std::int32_t elapsed = std::max(ticksBetween(start, readTickCount()), 0);
    ReleaseSearchState(*state);
    const auto divisor = static_cast<std::uint64_t>(std::max(elapsed, 1));
    std::printf("Nodes searched: %llu\n", static_cast<unsigned long long>(nodes));
    std::printf("Time (ms): %d\n", elapsed);
    std::printf("Nodes/second: %llu\n", static_cast<unsigned long long>(nodes * 1000 / divisor));
    return 0;
}

} // namespace tarvo
