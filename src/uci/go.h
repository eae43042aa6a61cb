#pragma once
// The `go` command: reads the search limits, runs the root search on the engine's board and
// reports "bestmove", with the expected reply as "ponder" when the best line has one. The
// extension `go perft N` counts the move tree instead of searching.

#include "board/types.h"
#include "search/state.h"
#include "uci/options.h"

namespace tarvo {

// `text` is the command text after "go" and one separator. Returns when the search has ended
// and the bestmove line is written; the board is unchanged. With `positionRefused` (the last
// position command was refused) nothing is searched: an info string says why and the answer is
// "bestmove 0000". A root without a legal move is reported as "info depth 0 score mate 0"
// (mated) or "info depth 0 score cp 0" (stalemate) first, and searchmoves that are no legal
// move are named in an info string. An infinite or pondering go answers only after its stop or
// ponderhit in every case.
void handleGo(const OptionTable& table, const char* text, Board& board, SearchState& state,
              bool positionRefused);

// The limits a go text asks for: each numeric keyword at its first occurrence, "ponder" and
// "infinite" anywhere, and the move tokens after "searchmoves" as move words on `board`
// (tokens that are not coordinate text are dropped; legality is left to the search set-up),
// castling read as the king taking its rook when `chess960` is set.
SearchLimits parseGoText(const char* text, const Board& board, bool chess960);

// The bestmove line for the root's line in `root`: "bestmove e2e4 \n", with " ponder e7e5 "
// before the newline when the line has a second move, and "bestmove 0000\n" (the protocol's
// null move) when the line is empty because the root had no legal move. With `chess960`,
// castling is written as the king taking its rook.
void printBestMove(const PlyRecord& root, bool chess960);

} // namespace tarvo
