#pragma once
// Coordinate move notation in both directions: e2e4, e7e8q for a promotion, and castling as
// the king's two-square move (e1g1) in standard chess or, with `chess960` (the UCI_Chess960
// option), as the king taking its own rook (e1h1), which names every Fischer random castling
// unambiguously. Text becomes a move word carrying what names a move among the legal ones:
// squares (a castling move goes from the king to its rook), promotion piece and castling bit.
// Callers match it against the generator's moves and play the generated word.

#include <array>
#include <string_view>

#include "board/types.h"

namespace tarvo {

// Zero-terminated move text: "null", "none", or four or five characters.
using MoveText = std::array<char, 6>;

// The move word that `token` names on `board`. A token that is not four or five characters
// of coordinate text (squares a1..h8) gives NullMove.
Move parseMoveText(std::string_view token, const Board& board, bool chess960);

// The legal move of `board` that `token` names, as the generator's word, or NullMove. Moves
// are matched by squares, promotion piece and castling bit (so e1h1 castles only in Fischer
// random notation).
Move findLegalMove(std::string_view token, const Board& board, bool chess960);

// "null" for word 0, "none" for word 1, otherwise from, to and a promotion letter of "qnrb".
MoveText moveToText(Move move, bool chess960);

} // namespace tarvo
