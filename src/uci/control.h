#pragma once
// Search control: turns the limits of a go command into the clocks, limits and run state of
// SearchControl, computes the move's time budget, and holds every rule that ends a search:
// the periodic check at the node polls, the rules between iterations with the easy move, and
// the wait at the end of an infinite or pondering search. The root search reaches these
// functions through SearchHooks. Each rule that reads the clock has an ...At form taking the
// reading as an argument, so the rules can be checked at any chosen instant; the plain form
// reads the clock and calls it.

#include "board/types.h"
#include "search/state.h"

#include <cstdint>

namespace tarvo {

// Set-up of a search, before its first iteration: clock, history tables, table generation,
// limits, poll interval, run state, time budget, root list and iteration 1. The root list is
// the legal moves among searchmoves (all legal moves when none of them is), with equal keys.
void setUpSearch(SearchState& state, const Board& board, const SearchLimits& limits,
                 MoveList& rootMoves);
void setUpSearchAt(SearchState& state, const Board& board, const SearchLimits& limits,
                   MoveList& rootMoves, std::uint32_t now);

// Time budget of the move in milliseconds (budgetMs, maxTimeMs) from the side to move's clock,
// increment and the moves left to the control; shortens the first poll when time is short.
// Both never decrease as the side's clock rises, other inputs equal.
void allocateTime(SearchState& state, const Board& board, int wtime, int btime, int winc, int binc,
                  int movestogo, bool ponder);

// The check at every node poll: periodic hashfull and time lines about once a second, then
// the clock, move-time and node limits, which may set the run state to Stopped.
void checkLimits(SearchState& state);
void checkLimitsAt(SearchState& state, std::uint32_t now);

// A node poll: pending input first, then the limits, then the node allowance of a limited
// strength.
void pollAndCheckLimits(SearchState& state);

// Stops a limited search that spent its node allowance (from the second iteration on, so the
// first always completes). An infinite or pondering search first waits for stop or ponderhit;
// clock play first waits, asleep, until its pace (strengthPaceMs), and a move time until it
// has passed.
void checkStrengthLimit(SearchState& state);

// A pondering search that spent the nodes of its go waits for ponderhit or stop.
void checkPonderNodeLimit(SearchState& state);

// Start of an iteration, with the root list already ordered by the previous iteration's keys.
void updateEasyMove(SearchState& state, const MoveList& rootMoves);

// After an iteration scored every root move: counts an iteration that ended with a mate score.
void iterationScored(SearchState& state);

// After an iteration's best line is planted: extra time for an unstable search, the clock rules
// of clock play, then the next iteration number. True ends the search at once, without the
// final wait; so does a stop kept from the first iteration.
bool iterationDone(SearchState& state);
bool iterationDoneAt(SearchState& state, std::uint32_t now);

// Iterations ran out: an infinite or pondering search that is still running untimed waits,
// blocking, for "stop" or "ponderhit" (or the end of input) before its best move is reported.
void finalWait(SearchState& state);

} // namespace tarvo
