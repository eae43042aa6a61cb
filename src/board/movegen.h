#pragma once
// Legal move generation without making moves: checkers and pins are found first from the
// lines through the king, each piece's destinations are restricted accordingly, and only the
// king's destinations and the castling squares are tested for attack. The order of the moves
// is fixed (pinned pieces, castling, en passant, knights, bishops, rooks, queens, pawns, king;
// lowest square first within each group) because search results depend on it.

#include "board/types.h"

namespace tarvo {

// Appends the legal moves of the side to move to `list`, which the caller passes empty.
// Scores are not written.
void GenerateLegalMoves(const Board& board, MoveList& list);

// Appends, after the moves already in `list`, the legal quiet moves (no capture, no en
// passant, no promotion; castling and double steps included) that give check. Makes and
// unmakes each candidate, so `board` is unchanged on return; writes only moves and count.
void GenerateQuietChecks(Board& board, MoveList& list);

} // namespace tarvo
