#include "search/perft_staged.h"

#include "board/make_move.h"
#include "board/staged.h"
#include "search/draw.h"
#include "search/picker.h"

namespace tarvo {

void GenerateStagedMoves(const Board& board, MoveList& list) {
    int checkerCount        = 0;
    const Bitboard checkers = FindCheckers(board, checkerCount);
    Bitboard straightPins   = 0;
    Bitboard diagonalPins   = 0;
    ComputePinLines(board, checkers, straightPins, diagonalPins);
    if (checkerCount > 0) {
        GenerateEvasions(board, list, straightPins, diagonalPins, checkers, checkerCount);
    } else {
        GenerateCaptures(board, list, straightPins, diagonalPins);
        GenerateQuietMoves(board, list, straightPins, diagonalPins);
    }
}

std::uint64_t PerftStaged(Board& board, int depth) {
    if (depth <= 0)
        return 1;
    MoveList list;
    GenerateStagedMoves(board, list);
    if (depth == 1)
        return list.count;
    std::uint64_t nodes = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        UndoInfo undo;
        MakeMove(board, list.moves[i], undo);
        nodes += PerftStaged(board, depth - 1);
        UnmakeMove(board, list.moves[i], undo);
    }
    return nodes;
}

} // namespace tarvo
