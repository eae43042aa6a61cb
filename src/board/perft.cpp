#include "board/perft.h"

#include "board/movegen.h"

namespace tarvo {

std::uint64_t Perft(Board& board, int depth) {
    if (depth <= 0)
        return 1;
    if (depth == 1)
        return CountLegalMoves(board);
    MoveList list;
    GenerateLegalMoves(board, list);
    std::uint64_t nodes = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        UndoInfo undo;
        MakeMove(board, list.moves[i], undo);
        nodes += Perft(board, depth - 1);
        UnmakeMove(board, list.moves[i], undo);
    }
    return nodes;
}

} // namespace tarvo
