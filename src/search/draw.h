#pragma once
// The two questions every search node asks first: is the position drawn by the fifty-move rule
// or by repetition, and which enemy pieces give check. Insufficient material is left to the
// evaluation; a single earlier occurrence of the position counts as a repetition.

#include "board/types.h"

namespace tarvo {

// Fifty-move rule (a check at the hundredth half-move is searched on, so a mate given by the
// last move still counts) or a repetition of a position with the same side to move since the
// last irreversible move.
bool IsDrawByRule(const Board& board);

// The enemy pieces that give check to the side to move; `checkerCount` gets their number
// (0, 1 or 2).
Bitboard FindCheckers(const Board& board, int& checkerCount);

} // namespace tarvo
