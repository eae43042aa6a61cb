#pragma once
// The quiescence search: captures (and quiet checks at its first ply) on top of the static
// score until the position is quiet, or every evasion when in check. It uses no table, no
// killers and no history; the fractional depth only decides whether quiet checks are tried
// and extends evasions.

#include "board/types.h"

namespace tarvo {

struct SearchState;

// Score of the position at `ply` from the side to move's view; the board is unchanged on
// return. A stand-pat cutoff returns the static score itself, which may lie above beta.
int QSearch(SearchState& state, Board& board, int alpha, int beta, float depth, int ply);

} // namespace tarvo
