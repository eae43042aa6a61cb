#pragma once
// Position helpers for the evaluation tests: set-up from FEN, writing a board back as FEN, and the
// colour-flipped mirror of a board.

#include <string>

#include "board/types.h"

namespace tarvo::test {

// Sets up `fen`; fails the current test when the text is refused.
Board BoardFromFen(const char* fen);

// Every piece moved to the same file on the mirrored rank and given the other colour; side to
// move, castling rights and the en-passant square follow.
std::string MirroredFen(const Board& board);

// The same position with the other side to move and no en-passant square.
std::string SideSwappedFen(const Board& board);

} // namespace tarvo::test
