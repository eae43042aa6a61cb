#pragma once
// The info lines of a running search and the MultiPV table behind them. recordRootResult is
// where the root's best line is decided: a root move's result enters the ranked table, and a
// line that lands on top becomes ply record 0's line, from which the best move and the
// ponder move are reported. Every line is composed in a buffer and written with one call, so
// an interface never reads half a line.

#include "board/types.h"

#include <cstdint>

namespace tarvo {

struct SearchState;

// Enters a root move's score and the line below it (ply record 1) into the MultiPV table.
// Returns false when the score does not beat the weakest kept line, or when the search is
// stopped and the root has more than one move (a result found after a stop is not trusted), or
// when the line lands below the shown ones (a limited strength keeps more than it shows).
bool recordRootResult(SearchState& state, int score, Move move);

// Writes one "info multipv" line per filled place, best first, each with the time of the
// latest clock reading and the search's node count (and tablebase hits) as they are now, so
// the lines of one report agree and counters never run backwards. A root covered by the
// tablebases shows the tables' verdict as the score of every line that is not a mate, and
// with tables loaded every line carries "tbhits N".
void printLines(const SearchState& state);

// "info depth", "info seldepth" and "info time" at the start of an iteration; the clock
// reading taken for the time becomes the now tick.
void printDepthLines(SearchState& state);

// "info currmove ... currmovenumber N", once more than 512 ms have passed since the search
// started (by the latest clock reading; no new reading is taken). Number counts from 1.
void printCurrentMove(SearchState& state, Move move, int number);

// Nodes per second as the info lines report it: times up to 128 ms count as 128 ms.
std::int32_t nodesPerSecond(std::uint64_t nodes, std::int32_t timeMs);

// Moves to mate for a mate score: positive when the side to move mates, negative when it is
// mated (32699 gives 1, -32698 gives -1).
int mateDistance(int score);

} // namespace tarvo
