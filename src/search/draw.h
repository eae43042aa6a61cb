#pragma once
// The two questions every search node asks first: is the position drawn by the rules (the
// fifty-move rule, a repetition, or a position in which neither side can ever mate), and which
// enemy pieces give check. The evaluation keeps its own terms for thin material; only the
// positions no sequence of legal moves can turn into a mate are draws here. Inside the search
// a single earlier occurrence of the position counts as a repetition.

#include "board/types.h"

namespace tarvo {

// Fifty-move rule (a check at the hundredth half-move is searched on, so a mate given by the
// last move still counts), a repetition of a position with the same side to move since the
// last irreversible move, or a dead position.
bool IsDrawByRule(const Board& board);

// Neither side can ever mate, whatever is played: bare kings, a king and one knight or bishop
// against a bare king, or kings and bishops only with every bishop on squares of one colour.
bool IsDeadPosition(const Board& board);

// Whether the game itself is over or claimable as a draw in this position: the fifty moves
// reached with no mate on the board, the position on the board for the third time, or a dead
// position. The search's own test is wider: it takes a second occurrence for a draw.
bool IsGameDrawnByRule(const Board& board);

// The enemy pieces that give check to the side to move; `checkerCount` gets their number
// (0, 1 or 2).
Bitboard FindCheckers(const Board& board, int& checkerCount);

} // namespace tarvo
