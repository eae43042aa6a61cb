#pragma once
// Castling for any placement of king and rook on the back rank, as in Fischer random chess,
// with standard chess as the case of king on e1 and rooks in the corners. What does not
// change during a game (rook squares, squares to keep empty, king path, rights masks and
// keys) is worked out once from the FEN into the board's CastlingSetup, so testing a right
// costs no more than with fixed squares.

#include "board/tables.h"
#include "board/types.h"

namespace tarvo {

// Index of the castling right of `side` on the wing of a rook standing on `rook`, for a king
// on `king` (both on that side's back rank).
constexpr int CastlingIndex(int side, int king, int rook) {
    return (rook > king ? 0 : 2) + side;
}

// Fills board.castlingSetup for the rights in board.castling, whose rook squares are already in
// castlingSetup.rook and whose kings stand on their squares.
void SetUpCastling(Board& board);

// Whether the side to move, not in check and holding right `index`, may castle with it now: the
// squares king and rook cross or reach are empty but for the two of them, and the king's path
// is not attacked.
inline bool CanCastle(const Board& board, int index) {
    const CastlingSetup& setup = board.castlingSetup;
    if (board.occupied & setup.empty[index])
        return false;
    const int opp = (index & 1) ^ 1;
    for (Bitboard path = setup.kingPath[index]; path != 0; path &= path - 1)
        if (IsSquareAttacked(board, opp, BitScan(path)))
            return false;
    // The path is tested with the rook in place. The one line its leaving opens onto the path:
    // a queen-side rook on the b-file shields the king's destination, c1, from a rook or queen
    // on a1 (mirrored for Black).
    const int rook = setup.rook[index];
    if (index >= 2 && (rook & 7) == 1)
        return !(SquareBit[rook - 1] & board.colour[opp] &
                 (board.pieces[Rook] | board.pieces[Queen]));
    return true;
}

} // namespace tarvo
