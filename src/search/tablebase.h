#pragma once
// Endgame tablebases: the game-theoretic result of positions with few pieces, read from
// Syzygy files through the system's probing library. This module is the only one that sees
// the library; the rest of the engine gets scores, counts and a filtered root list.
//
// The library keeps one set of loaded tables for the whole process, so loading is a process
// event (an option change), while the search reaches the tables through state.options:
// tablebasePieces is 0 whenever nothing is loaded, which keeps every search without tables
// exactly as it is.
//
// Score convention: a tablebase win found in the search at ply p scores TablebaseWinScore - p
// (a loss the negative), a tablebase draw 0. At the root the reported score of a covered
// position is the tables' verdict (TablebaseWinScore, 0 or -TablebaseWinScore) unless the
// search found a mate, which keeps its mate score. All of these lie below the mate range.

#include "board/types.h"
#include "search/state.h"

#include <bit>
#include <string_view>

namespace tarvo {

inline constexpr int TablebaseWinScore = 32000;
static_assert(TablebaseWinScore + MaxPly < MateThreshold, "tablebase wins stay below mates");

struct TablebaseLoad {
    int tables = 0; // WDL table files found in the folders
    int pieces = 0; // pieces of the largest table; 0 when nothing is loaded
};

// Loads the tables in the folders of `path` (separated by ':'), replacing those loaded
// before. An empty path or "<empty>" unloads them; so does a path where no table is found.
// Not to be called while a search runs.
TablebaseLoad LoadTablebases(std::string_view path);

// Whether the loaded tables cover the position and may be asked: no more pieces than the
// largest table and the SyzygyProbeLimit option allow (a limit of 0 turns probing off), and no
// castling right.
inline bool IsTablebasePosition(const SearchState& state, const Board& board) {
    const int pieces = std::popcount(board.occupied);
    return state.options.tablebasePieces > 0 && board.castling == 0 &&
           pieces <= state.options.tablebasePieces && pieces <= state.options.tablebaseProbeLimit;
}

// Win/draw/loss probe for a covered position with a fifty-move counter of 0, safe to call
// from any search thread. On success stores the score in the convention above (the
// Syzygy50MoveRule option decides whether a win or loss beyond the fifty-move rule counts as
// a draw), counts a hit in state.tbHits and returns true.
bool ProbeTablebaseScore(SearchState& state, const Board& board, int ply, int& score);

// Ranks the root moves by the distance-to-zeroing tables, with the position's fifty-move
// counter, and keeps only the moves that hold the best result: among wins, those with a ply
// to spare before the fifty-move rule when there are any, and only the fastest once the
// position has repeated. Sets control.rootInTablebase and rootTablebaseScore. Leaves the list
// untouched when the root is not covered or a probe fails. Call it once per search, from the
// main thread, before any helper starts searching.
void FilterRootMovesByTablebase(SearchState& state, const Board& board, MoveList& rootMoves);

} // namespace tarvo
