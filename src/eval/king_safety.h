#pragma once
// King safety while the opponent can still attack (stages 0 and 1): the pawn shelter over three
// files in front of the king, a penalty growing with the enemy pieces that bear on the king's
// surroundings, open files near the king and a missing escape square. In the endgame the term is 0
// and the king's endgame square table takes over.

#include "board/types.h"

namespace tarvo {

// The enemy pieces that attack a king's zone, by kind: the piece terms count the bishops, rooks
// and queens while they compute those pieces' attacks for mobility, so each attack set is
// computed once per evaluation.
struct ZoneAttackers {
    int minors = 0; // knights and bishops
    int heavy  = 0; // rooks count 1, queens 2
    int total  = 0; // pieces
};

// The squares around `colour`'s king whose attackers the term counts; 0 in the endgame, where
// the term is 0.
Bitboard KingZone(const Board& board, int colour, int stage);

// Signed score of `colour`'s king safety, given the enemy bishops, rooks and queens that reach
// its zone; the enemy knights are counted here.
int EvalKingSafety(const Board& board, int colour, int stage, ZoneAttackers attackers);

} // namespace tarvo
