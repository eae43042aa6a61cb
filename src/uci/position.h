#pragma once
// The `position` command: sets the board from the start position or a FEN and plays the move
// list on it. Unlike FEN text, moves are not trusted: each is checked against the legal moves
// of the position reached, so a bad line can never leave an inconsistent board.

#include "board/types.h"
#include "uci/options.h"

namespace tarvo {

// Key history kept when a long game is compacted: enough for every repetition the draw test
// can see (it looks back at most 100 plies).
inline constexpr int KeptHistory = 128;
// History length at which the game is compacted before its next move, leaving room for the
// deepest search line and its quiescence tail.
inline constexpr int CompactionThreshold = HistoryCapacity - MaxPly - 16;

// `text` is the command text after "position" and one separator. A refused FEN leaves the
// board as it was; an illegal move stops the list there. Each refusal writes one
// "info string ..." line and returns false; nothing else is written.
bool handlePosition(const OptionTable& table, const char* text, Board& board);

} // namespace tarvo
