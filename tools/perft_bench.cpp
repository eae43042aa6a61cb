// Times legal-move perft on two reference positions and prints nodes per second.
// Usage: perft_bench [repeats]; the best of the repeats is reported for each position.

#include "board/fen.h"
#include "board/perft.h"
#include "board/tables.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char** argv) {
    tarvo::InitTables();
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    for (const BenchPosition& position : Positions) {
        tarvo::Board board;
        if (!tarvo::SetFromFen(board, position.fen))
            return 1;
        double best         = 1e9;
        std::uint64_t nodes = 0;
        for (int run = 0; run < repeats; ++run) {
            const auto start                            = std::chrono::steady_clock::now();
            nodes                                       = tarvo::Perft(board, position.depth);
            const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
            best                                        = std::min(best, elapsed.count());
        }
        std::printf("%-9s perft %d: %llu nodes in %.3f s, %.1f Mnps\n", position.name,
                    position.depth, static_cast<unsigned long long>(nodes), best,
                    static_cast<double>(nodes) / best / 1e6);
    }
    return 0;
}
