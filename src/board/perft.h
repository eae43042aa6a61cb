#pragma once
// Legal-move path counting, the reference test of the generator and of make/unmake.

#include "board/types.h"

#include <cstdint>

namespace tarvo {

// The number of legal move sequences of `depth` plies from `board` (1 when depth <= 0).
// The last ply is counted from the generated list without making its moves.
std::uint64_t Perft(Board& board, int depth);

} // namespace tarvo
