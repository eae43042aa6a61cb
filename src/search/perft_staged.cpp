#include "search/perft_staged.h"

#include "board/perft.h"
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
    return CountPaths(board, depth, GenerateStagedMoves);
}

} // namespace tarvo
