#pragma once
// Playing below full strength. A limited engine searches fewer nodes, and it searches several
// root lines so that it can choose among the best few moves, each line's score shifted by a
// random error that grows as the setting falls. Nodes rather than time: a setting then plays
// the same on any machine and under any load, and the clock rules still hold on top of the
// node allowance, so a limited engine never thinks longer than the full one would. Errors
// vanish where they would turn a plain win into a long chase: a mate the search has found,
// and any ending against a bare king, which also gets a floor of nodes so the mate is seen.

#include "board/types.h"

#include <cstdint>

namespace tarvo {

struct SearchState;

inline constexpr int MinStrengthElo     = 1000;
inline constexpr int MaxStrengthElo     = 1850;
inline constexpr int DefaultStrengthElo = 1500;
// Root lines a limited search keeps as candidates for its move.
inline constexpr int StrengthLines = 4;

// Nodes a search at `elo` may spend, all threads together; `elo` is brought into range first.
std::int64_t StrengthNodes(int elo);
// Largest error in centipawns that the move choice at `elo` adds to a line's score.
int StrengthError(int elo);

// Root lines to search: the MultiPV option, or StrengthLines when that is more and the
// strength is limited.
int SearchedLines(const SearchState& state);

// Starts the random source of the move choice for a new game: from the Strength Seed option
// when it is set, otherwise from `entropy` (a clock reading).
void SeedStrength(SearchState& state, std::uint64_t entropy);

// After the search's set-up: the node allowance of a limited search (control.strengthNodes,
// 0 when not limited), a poll interval fine enough to keep it, and the pace of clock play
// (control.strengthPaceMs: 45 to 90 % of the move's budget, varying from move to move).
void LimitSearchStrength(SearchState& state, const Board& board);

// After an iteration searched every root move: keeps its lines for the move choice.
void KeepCompletedLines(SearchState& state);

// At the end of a limited search: replaces the root's best line (state.plies[0]) by the line
// the weakened choice plays. Does nothing when the strength is not limited.
void ChooseLimitedMove(SearchState& state);

} // namespace tarvo
