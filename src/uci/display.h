#pragma once
// The `d` command: the current position as a diagram with White at the bottom, followed by
// its FEN and hash key, for people debugging at a terminal.

#include "board/types.h"

namespace tarvo {

void printBoard(const Board& board);

} // namespace tarvo
