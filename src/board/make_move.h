#pragma once
// Making and unmaking moves and null moves. Every field of the board, the occupancy and the
// Zobrist key included, is updated incrementally by table loads and XORs; the undo record
// keeps only what cannot be recomputed cheaply. Moves are trusted to be legal.

#include "board/types.h"

namespace tarvo {

// Plays `move` for the side to move and fills `undo`. The half-move clock stops at 255 instead
// of wrapping; it is only ever compared with 100.
void MakeMove(Board& board, Move move, UndoInfo& undo);
// Takes back `move`, given the `undo` filled by the matching MakeMove.
void UnmakeMove(Board& board, Move move, const UndoInfo& undo);

// Passes the turn: records the key, resets the half-move clock and clears en passant.
void MakeNullMove(Board& board, UndoInfo& undo);
void UnmakeNullMove(Board& board, const UndoInfo& undo);

} // namespace tarvo
