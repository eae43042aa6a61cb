#pragma once
// King safety while the opponent can still attack (stages 0 and 1): the pawn shelter over three
// files in front of the king, a penalty growing with the enemy pieces that bear on the king's
// surroundings, open files near the king and a missing escape square. In the endgame the term is 0
// and the king's endgame square table takes over.

#include "board/types.h"

namespace tarvo {

// Signed score of `colour`'s king safety.
int EvalKingSafety(const Board& board, int colour, int stage);

} // namespace tarvo
