#pragma once
// The principal-variation alpha-beta search below the root. Depth is a float counted in plies
// so that extensions can add fractions of a ply; every node keeps its picker, tried list and
// undo record in its own frame, so a search allocates nothing. Scores are centipawns from the
// side to move's view; a side mated at ply p scores p - MateScore.

#include "board/types.h"

namespace tarvo {

struct MovePicker;
struct SearchState;

// Searches the position at `ply` (1 for the root's children) and returns its score within the
// window, or 0 once the run state is Stopped. The board is unchanged on return; the node's
// best line is left in state.plies[ply].
int Search(SearchState& state, Board& board, int alpha, int beta, float depth, int ply,
           bool nullAllowed);

// The depth for the child of `move` (made from `board`, which is still the position before
// it): one ply less, plus the recapture, check, single-reply and pawn extensions, capped at
// depth - 1 + maxExtension.
float ComputeNewDepth(const SearchState& state, const Board& board, float depth, int ply, Move move,
                      bool pvNode, bool inCheck, const MovePicker& picker);

} // namespace tarvo
