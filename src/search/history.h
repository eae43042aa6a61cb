#pragma once
// Killers and history: what the search remembers about moves that caused beta cutoffs, used
// to order quiet moves. Killers live in the ply records and survive between searches (every
// killer is validated before it is played); the three history tables live for one search.

#include "board/types.h"

namespace tarvo {

struct PlyRecord;
struct SearchState;

// Index of a move made by `side` in the history tables: a block of 12 per (to, from) pair and
// one slot per (side, piece type) inside it.
constexpr int HistoryIndex(Move move, int side) {
    return (MoveTo(move) * 64 + MoveFrom(move)) * 12 + side * 6 + MovePiece(move) - 1;
}

// A quiet move caused a beta cutoff at `depth` plies: its cutoff count and its history score
// (depth squared, truncated) grow. When a score reaches 32000 the whole score table is halved,
// so old cutoffs fade against new ones and evasion scores stay below the capture bands.
void RecordCutoffMove(SearchState& state, Move move, int side, float depth);

// A move tried before the one that caused the cutoff. Its counts are halved together at 32000,
// which keeps their ratio.
void RecordFailedMove(SearchState& state, Move move, int side);

// At a beta cutoff by `move` with `score`: a quiet move other than killer1 becomes killer1 and
// pushes the old one to killer2; a mate score makes the move the mate killer, quiet or not.
void UpdateKillers(PlyRecord& record, Move move, int score);

// Clears the three history tables, as at the start of every search.
void ClearHistory(SearchState& state);

} // namespace tarvo
