#pragma once
// Piece terms: knight outposts, and the base value, mobility and placement of bishops, rooks and
// queens. Mobility counts every attacked square, the first blocker on each line included whatever
// its colour, so a piece defending its own men is not scored as immobile.

#include "board/types.h"
#include "eval/king_safety.h"

namespace tarvo {

// Bonus for `knights` of `colour` that stand on a square one of its pawns defends and no enemy
// pawn can ever attack. Signed like every term.
int EvalKnightOutposts(const Board& board, int colour, Bitboard knights);

// Each returns the signed score of all of `colour`'s pieces of that type (0 when it has none),
// and adds those of the pieces whose attacks reach `enemyZone` to `attackers`.
int EvalBishops(const Board& board, int colour, int stage, Bitboard enemyZone,
                ZoneAttackers& attackers);
int EvalRooks(const Board& board, int colour, int stage, Bitboard enemyZone,
              ZoneAttackers& attackers);
int EvalQueens(const Board& board, int colour, int stage, Bitboard enemyZone,
               ZoneAttackers& attackers);

} // namespace tarvo
