// Times the static evaluation over the perft suite's positions and every position one and two
// plies from them, and prints evaluations per second.
// Usage: eval_bench [passes] [suite.epd]; each position is evaluated `passes` times (default 200).
//
// Positions are set up in blocks of a few hundred boards so that setting up stays outside the
// timed loop and the boards' key histories do not fill the memory.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/make_move.h"
#include "board/movegen.h"
#include "board/tables.h"
#include "eval/evaluate.h"

namespace {

constexpr std::size_t BlockSize = 512;

std::vector<std::string> PositionsNearSuite(const char* path) {
    std::vector<std::string> fens;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        const std::string fen = line.substr(0, line.find(';'));
        tarvo::Board board{};
        if (!tarvo::SetFromFen(board, fen.c_str()))
            continue;
        fens.push_back(tarvo::WriteFen(board));
        tarvo::MoveList first;
        tarvo::GenerateLegalMoves(board, first);
        for (std::uint32_t i = 0; i < first.count; ++i) {
            tarvo::UndoInfo undo1;
            tarvo::MakeMove(board, first.moves[i], undo1);
            fens.push_back(tarvo::WriteFen(board));
            tarvo::MoveList second;
            tarvo::GenerateLegalMoves(board, second);
            for (std::uint32_t j = 0; j < second.count; ++j) {
                tarvo::UndoInfo undo2;
                tarvo::MakeMove(board, second.moves[j], undo2);
                fens.push_back(tarvo::WriteFen(board));
                tarvo::UnmakeMove(board, second.moves[j], undo2);
            }
            tarvo::UnmakeMove(board, first.moves[i], undo1);
        }
    }
    return fens;
}

} // namespace

int main(int argc, char** argv) {
    tarvo::InitTables();
    const int passes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    const char* path = argc > 2 ? argv[2] : TARVO_SUITE;
    const std::vector<std::string> fens = PositionsNearSuite(path);
    if (fens.empty()) {
        std::printf("no positions read from %s\n", path);
        return 1;
    }

    std::vector<tarvo::Board> block(BlockSize);
    double seconds      = 0;
    long long checksum  = 0;
    long long evaluated = 0;
    for (std::size_t start = 0; start < fens.size(); start += BlockSize) {
        const std::size_t count = std::min(BlockSize, fens.size() - start);
        for (std::size_t i = 0; i < count; ++i)
            tarvo::SetFromFen(block[i], fens[start + i].c_str());
        const auto begin = std::chrono::steady_clock::now();
        for (int pass = 0; pass < passes; ++pass)
            for (std::size_t i = 0; i < count; ++i)
                checksum += tarvo::Evaluate(block[i]);
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - begin;
        seconds += elapsed.count();
        evaluated += static_cast<long long>(count) * passes;
    }
    std::printf("%zu positions x %d passes: %lld evaluations in %.3f s, %.2f M evals/s, "
                "%.1f ns each (checksum %lld)\n",
                fens.size(), passes, evaluated, seconds, evaluated / seconds / 1e6,
                seconds * 1e9 / evaluated, checksum);
    return 0;
}
