#pragma once
// Path counting through the staged generators, as the search sees the moves: captures then
// quiet moves out of check, evasions in check, with the search's own pin lines and checkers.
// Its counts must equal those of the legal generator.

#include <cstdint>

#include "board/types.h"

namespace tarvo {

// The number of move sequences of `depth` plies from `board` (1 when depth <= 0). The last
// ply is counted from the generated lists without making its moves; the board is unchanged.
std::uint64_t PerftStaged(Board& board, int depth);

// The moves the search would see at this node, in generation order.
void GenerateStagedMoves(const Board& board, MoveList& list);

} // namespace tarvo
