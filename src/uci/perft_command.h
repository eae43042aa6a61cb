#pragma once
// `go perft N`: counts the leaf nodes of the legal move tree to depth N, divided by root move,
// as a check of the move generator against other engines.

#include "board/types.h"

namespace tarvo {

// `text` holds the depth. Writes one "move: count" line per legal root move in generation
// order, an empty line, then "Nodes searched: total". The board is left as it was. With the
// word "staged" after the depth, the moves come from the search's staged generators. Castling
// is written as in the rest of the protocol: e1h1 with `chess960`, e1g1 without.
void handlePerft(const char* text, Board& board, bool chess960);

} // namespace tarvo
