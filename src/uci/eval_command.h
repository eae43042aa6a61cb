#pragma once
// The `eval` command: the static evaluation of the current position, term by term, for a person
// or a script. One line per item, each a name followed by its numbers:
//   stage white G black G
//   <term> white W black B      (material, outposts, pawns, kingsafety, rooks, bishops, queens)
//   total N
// Term values are White's and Black's contributions from White's point of view, so Black's are
// usually negative; material holds pawns' and knights' values and square tables and the king's
// endgame table, while bishops, rooks and queens carry their values in their own lines. The total
// is Evaluate's score, from the side to move's point of view.

#include "board/types.h"

namespace tarvo {

void handleEval(const Board& board);

} // namespace tarvo
