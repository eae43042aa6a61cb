#pragma once
// Validation of remembered moves: the hash move, the mate killer and the killers were legal in
// some other position, and the picker tries them before generating anything. Proving such a
// word legal here costs a few table lookups, far less than generating a stage, and no move is
// made on the board.

#include "board/types.h"

namespace tarvo {

// Whether `move` is a legal move of the side to move, which must not be in check. The word is
// taken to be one the generators produced for some position: its fields agree with each other.
// It may come from a position with either side to move. The pin lines are those of the staged
// generators for this position; 0 and 1 are refused.
bool IsStoredMoveLegal(const Board& board, Move move, Bitboard straightPins, Bitboard diagonalPins);

} // namespace tarvo
