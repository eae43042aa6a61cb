#pragma once
// Tests on an occupancy other than the board's own: code that lifts pieces off the board in
// its head (a king leaving its square, the pawns of an en-passant capture) reads sliding
// attacks from a modified copy of the one occupancy word, without copying the whole Board.

#include "board/tables.h"
#include "board/types.h"

namespace tarvo {

// Whether the en-passant capture from `from` to `target`, taking the pawn on `victim`, leaves
// the king of the side to move attacked by a slider. Two pawns leave the king's rank at once,
// which no pin line describes; the diagonals matter only on boards whose en-passant file came
// from a FEN text rather than from the double step itself.
inline bool IsKingExposedByEnPassant(const Board& board, int from, int target, int victim) {
    const int side       = board.sideToMove;
    const int king       = board.kingSquare[side];
    const Bitboard enemy = board.colour[side ^ 1];
    const Bitboard occupied =
        (board.occupied & ~SquareBit[from] & ~SquareBit[victim]) | SquareBit[target];
    const Bitboard queens = board.pieces[Queen];
    if (RankAttacksFrom(occupied, king) & (board.pieces[Rook] | queens) & enemy)
        return true;
    return (BishopAttacksFrom(occupied, king) & (board.pieces[Bishop] | queens) & enemy) != 0;
}

} // namespace tarvo
