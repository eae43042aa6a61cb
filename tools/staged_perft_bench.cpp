// Times perft through the staged generators next to perft through the legal generator on two
// reference positions, and prints nodes per second for both.
// Usage: staged_perft_bench [repeats]; the best of the repeats is reported for each run.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "board/fen.h"
#include "board/perft.h"
#include "board/tables.h"
#include "search/perft_staged.h"

namespace {

struct BenchPosition {
    const char* name;
    const char* fen;
    int depth;
};

constexpr BenchPosition Positions[] = {
    {"start", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 6},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5},
};

template <typename Count>
void Time(const char* label, const BenchPosition& position, int repeats, Count count) {
    static tarvo::Board board;
    if (!tarvo::SetFromFen(board, position.fen))
        std::exit(1);
    double best         = 1e9;
    std::uint64_t nodes = 0;
    for (int run = 0; run < repeats; ++run) {
        const auto start                            = std::chrono::steady_clock::now();
        nodes                                       = count(board, position.depth);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best                                        = std::min(best, elapsed.count());
    }
    std::printf("%-9s %-6s perft %d: %llu nodes in %.3f s, %.1f Mnps\n", position.name, label,
                position.depth, static_cast<unsigned long long>(nodes), best,
                static_cast<double>(nodes) / best / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    tarvo::InitTables();
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    for (const BenchPosition& position : Positions) {
        Time("legal", position, repeats, tarvo::Perft);
        Time("staged", position, repeats, tarvo::PerftStaged);
    }
    return 0;
}
