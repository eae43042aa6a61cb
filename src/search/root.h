#pragma once
// Iterative deepening at the root. Each iteration orders the root moves by their latest
// scores, searches the first MultiPV moves with a full window and tests the rest with a null
// window against a threshold, and plants the best line into the table for the next one. The
// clock, the input and the info lines stay in the shell, reached through state.hooks.

#include "board/types.h"

namespace tarvo {

struct SearchLimits;
struct SearchState;

// Searches `board` within `limits` until the iterations run out or the search is stopped.
// The result is in state.plies[0]: pv[0] is the best move and pv[1], when pvLength is at
// least 2, the expected reply. pvLength is 0 only when the root has no legal move to search.
// The board is unchanged on return. The main thread's helpers (state.threads) search beside it
// from the first iteration on and are all parked again before it returns.
void RootSearch(SearchState& state, Board& board, const SearchLimits& limits);

// Plants the moves of the root's best line into the transposition table, stopping at the
// first move that is not legal in the position reached. The board is not touched.
void SeedPrincipalLine(SearchState& state, const Board& board);

} // namespace tarvo
