#pragma once
// A private copy of a board's four occupancy words, for code that lifts pieces off the board in
// its head (a king leaving its square, the pieces of an exchange) and needs sliding attacks on
// what is left, without copying the whole Board.

#include "board/tables.h"
#include "board/types.h"

namespace tarvo {

struct Occupancy {
    Bitboard occupied;
    Bitboard files;
    Bitboard antiDiag;
    Bitboard diag;
};

inline Occupancy OccupancyOf(const Board& board) {
    return {board.occupied, board.occupiedFiles, board.occupiedAntiDiag, board.occupiedDiag};
}

inline void LiftSquare(Occupancy& occupancy, int square) {
    occupancy.occupied &= ~SquareBit[square];
    occupancy.files &= ~FileRotBit[square];
    occupancy.antiDiag &= ~AntiDiagRotBit[square];
    occupancy.diag &= ~DiagRotBit[square];
}

inline void PlaceSquare(Occupancy& occupancy, int square) {
    occupancy.occupied |= SquareBit[square];
    occupancy.files |= FileRotBit[square];
    occupancy.antiDiag |= AntiDiagRotBit[square];
    occupancy.diag |= DiagRotBit[square];
}

inline Bitboard BishopAttacksFrom(const Occupancy& occupancy, int square) {
    return AntiDiagAttacks[square][(occupancy.antiDiag >> (AntiDiagShift[square] & 63)) & 63] |
           DiagAttacks[square][(occupancy.diag >> DiagShift[square]) & 63];
}

inline Bitboard RookAttacksFrom(const Occupancy& occupancy, int square) {
    return RankAttacks[square][(occupancy.occupied >> ((square & 56) + 1)) & 63] |
           FileAttacks[square][(occupancy.files >> (((square & 7) << 3) + 1)) & 63];
}

// Whether the en-passant capture from `from` to `target`, taking the pawn on `victim`, leaves
// the king of the side to move attacked by a slider. Two pawns leave the king's rank at once,
// which no pin line describes; the diagonals matter only on boards whose en-passant file came
// from a FEN text rather than from the double step itself.
inline bool IsKingExposedByEnPassant(const Board& board, int from, int target, int victim) {
    const int side       = board.sideToMove;
    const int king       = board.kingSquare[side];
    const Bitboard enemy = board.colour[side ^ 1];
    Occupancy occupancy  = OccupancyOf(board);
    LiftSquare(occupancy, from);
    LiftSquare(occupancy, victim);
    PlaceSquare(occupancy, target);
    const Bitboard queens = board.pieces[Queen];
    if (RankAttacks[king][(occupancy.occupied >> ((king & 56) + 1)) & 63] &
        (board.pieces[Rook] | queens) & enemy)
        return true;
    return (BishopAttacksFrom(occupancy, king) & (board.pieces[Bishop] | queens) & enemy) != 0;
}

} // namespace tarvo
