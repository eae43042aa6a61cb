#pragma once
// Pawn structure: passed pawns (by rank, stage, support, a free front square and the distance of
// both kings to it), connected, weak and isolated pawns, and the per-pawn value adjustment by
// stage. Recomputed on every call; there is no pawn hash table.

#include "board/types.h"

namespace tarvo {

// Score of `colour`'s pawns beyond their base value and square table, already multiplied by the
// colour's sign.
int EvalPawns(const Board& board, int colour, int stage);

} // namespace tarvo
