#pragma once
// Legal-move path counting, the reference test of the generators and of make/unmake.

#include "board/make_move.h"
#include "board/types.h"

#include <cstdint>

namespace tarvo {

// The number of move sequences of `depth` plies from `board` (1 when depth <= 0), with each
// node's moves from `generate(board, list)`. The last ply is not made: `countLast(board)` gives
// its number of moves. The board is unchanged on return.
template <typename Generator, typename Counter>
std::uint64_t CountPaths(Board& board, int depth, Generator generate, Counter countLast) {
    if (depth <= 0)
        return 1;
    if (depth == 1)
        return countLast(board);
    MoveList list;
    generate(board, list);
    std::uint64_t nodes = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        UndoInfo undo;
        MakeMove(board, list.moves[i], undo);
        nodes += CountPaths(board, depth - 1, generate, countLast);
        UnmakeMove(board, list.moves[i], undo);
    }
    return nodes;
}

// CountPaths counting the last ply from the generated list.
template <typename Generator>
std::uint64_t CountPaths(Board& board, int depth, Generator generate) {
    const auto countLast = [generate](Board& last) {
        MoveList list;
        generate(last, list);
        return list.count;
    };
    return CountPaths(board, depth, generate, countLast);
}

// CountPaths with the legal generator, whose last ply is counted by CountLegalMoves.
std::uint64_t Perft(Board& board, int depth);

} // namespace tarvo
