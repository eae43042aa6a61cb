#pragma once
// Legal-move path counting, the reference test of the generators and of make/unmake.

#include "board/make_move.h"
#include "board/types.h"

#include <cstdint>

namespace tarvo {

// The number of move sequences of `depth` plies from `board` (1 when depth <= 0), with each
// node's moves from `generate(board, list)`. The last ply is counted from the generated list
// without making its moves; the board is unchanged on return.
template <typename Generator>
std::uint64_t CountPaths(Board& board, int depth, Generator generate) {
    if (depth <= 0)
        return 1;
    MoveList list;
    generate(board, list);
    if (depth == 1)
        return list.count;
    std::uint64_t nodes = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        UndoInfo undo;
        MakeMove(board, list.moves[i], undo);
        nodes += CountPaths(board, depth - 1, generate);
        UnmakeMove(board, list.moves[i], undo);
    }
    return nodes;
}

// CountPaths with the legal generator, whose last ply is counted by CountLegalMoves.
std::uint64_t Perft(Board& board, int depth);

} // namespace tarvo
