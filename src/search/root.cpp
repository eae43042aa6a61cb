#include "search/root.h"

#include "board/make_move.h"
#include "board/movegen.h"
#include "search/search.h"
#include "search/state.h"
#include "search/strength.h"
#include "search/tablebase.h"
#include "search/threads.h"
#include "search/tt.h"

#include <algorithm>

namespace tarvo {

namespace {

// Ordering keys: iteration * IterationWeight + score, so a move scored in a later iteration
// ranks above every move last scored in an earlier one (scores lie within +-Infinity).
constexpr int IterationWeight = 2 * Infinity;

// Highest key first; equal keys keep their order, so the first iteration keeps generation
// order and ties never reshuffle between iterations.
void OrderRootMoves(MoveList& list) {
    for (std::uint32_t i = 1; i < list.count; ++i) {
        const Move move = list.moves[i];
        const int key   = list.score[i];
        std::uint32_t j = i;
        while (j > 0 && list.score[j - 1] < key) {
            list.moves[j] = list.moves[j - 1];
            list.score[j] = list.score[j - 1];
            --j;
        }
        list.moves[j] = move;
        list.score[j] = key;
    }
}

void BuildRootMoves(const Board& board, const SearchLimits& limits, MoveList& rootMoves) {
    if (limits.searchmoves.count > 0) {
        rootMoves = limits.searchmoves;
    } else {
        rootMoves.count = 0;
        GenerateLegalMoves(board, rootMoves);
    }
}

void EmptyMultiPvPlaces(MultiPvTable& table) {
    for (int place = 0; place < MaxMultiPv; ++place) {
        table.score[place]       = -Infinity;
        table.slotOfPlace[place] = place;
    }
}

// One iteration over every root move. Returns false when the search was stopped.
bool SearchRootMoves(SearchState& state, Board& board, MoveList& rootMoves, int iteration) {
    SearchControl& control   = state.control;
    const SearchHooks& hooks = state.hooks;
    const int lines          = SearchedLines(state);
    // The root move is the first ply of the iteration.
    const float childDepth = static_cast<float>(iteration - 1);
    int threshold          = -Infinity;

    for (std::uint32_t i = 0; i < rootMoves.count; ++i) {
        const Move move = rootMoves.moves[i];
        UndoInfo undo;
        MakeMove(board, move, undo);
        state.plies[0].currentMove = move;
        if (hooks.currentMove)
            hooks.currentMove(state, move, static_cast<int>(i) + 1);
        control.nonFirst = 0;
        control.reSearch = 0;

        int value;
        if (iteration <= 1 || static_cast<int>(i) < lines) {
            threshold          = -Infinity;
            value              = -Search(state, board, -Infinity, Infinity, childDepth, 1, true);
            rootMoves.score[i] = iteration * IterationWeight + value;
        } else {
            control.nonFirst = 1;
            const int test = -Search(state, board, -threshold - 1, -threshold, childDepth, 1, true);
            if (test > threshold && test < Infinity) {
                control.reSearch = 1;
                value = -Search(state, board, -Infinity, -threshold, childDepth, 1, true);
                rootMoves.score[i] = iteration * IterationWeight + value;
            } else {
                value = -Infinity;
            }
        }
        UnmakeMove(board, move, undo);

        if (hooks.rootResult)
            hooks.rootResult(state, value, move);
        threshold = std::max(threshold, value);
        if (iteration > 3 && hooks.rootPoll)
            hooks.rootPoll(state);
        if (control.runState == Stopped)
            return false;
    }
    return true;
}

// Makes a helper's line the search's result and reports it as the main thread reports its own
// lines (an info line at the helper's depth); its first two moves are the best and ponder moves.
void TakeLine(SearchState& state, const HelperLine& line) {
    SearchControl& control = state.control;
    PlyRecord& root        = state.plies[0];
    PlyRecord& below       = state.plies[1];
    control.iteration      = line.depth;
    EmptyMultiPvPlaces(state.multiPv);
    std::copy_n(line.moves.begin(), line.length, root.pv.begin());
    root.pvLength    = line.length;
    below.pvLength   = line.length - 1;
    std::copy_n(line.moves.begin() + 1, below.pvLength, below.pv.begin());
    if (state.hooks.rootResult) {
        // The shell enters no result of a stopped search; this line is complete.
        const SearchRunState runState = control.runState;
        control.runState              = Untimed;
        state.hooks.rootResult(state, line.score, line.moves[0]);
        control.runState = runState;
    }
}

// Ranks `move` first for the next iteration.
void RankFirst(MoveList& rootMoves, Move move) {
    int top = rootMoves.score[0];
    for (std::uint32_t i = 1; i < rootMoves.count; ++i)
        top = std::max(top, rootMoves.score[i]);
    for (std::uint32_t i = 0; i < rootMoves.count; ++i)
        if (rootMoves.moves[i] == move)
            rootMoves.score[i] = top + 1;
}

} // namespace

void SeedPrincipalLine(SearchState& state, const Board& board) {
    const PlyRecord& root = state.plies[0];
    Board copy            = board;
    for (std::uint32_t i = 0; i < root.pvLength; ++i) {
        const Move move = root.pv[i];
        if (move <= NoMove)
            return;
        MoveList legal;
        GenerateLegalMoves(copy, legal);
        const auto end = legal.moves.begin() + legal.count;
        if (std::find(legal.moves.begin(), end, move) == end)
            return;
        TTPlantMove(state.tt, copy.hashKey, move);
        if (i + 1 == root.pvLength)
            return;
        UndoInfo undo;
        MakeMove(copy, move, undo);
    }
}

void RootSearch(SearchState& state, Board& board, const SearchLimits& limits) {
    SearchControl& control   = state.control;
    const SearchHooks& hooks = state.hooks;
    PlyRecord& root          = state.plies[0];
    // A line left from an earlier search must never be reported for this position.
    root.pvLength = 0;

    MoveList rootMoves;
    if (hooks.setUp)
        hooks.setUp(state, board, limits, rootMoves);
    else
        BuildRootMoves(board, limits, rootMoves);
    if (limits.emptyRoot)
        rootMoves.count = 0;
    LimitSearchStrength(state, board);
    // The one root probe of the search, made by the main thread before its helpers start:
    // they search the list it leaves.
    if (state.threadIndex == 0)
        FilterRootMovesByTablebase(state, board, rootMoves);
    state.rootMoveCount = static_cast<int>(rootMoves.count);
    // Checkmate or stalemate at the root, or no position: nothing to search, but an infinite
    // or pondering search still waits for its stop or ponderhit before it reports.
    if (rootMoves.count == 0) {
        if (hooks.finalWait)
            hooks.finalWait(state);
        return;
    }
    std::fill_n(rootMoves.score.begin(), rootMoves.count, 0);
    StartHelpers(state, board, rootMoves);

    bool completed     = true;
    int completedDepth = 0;
    while (control.iteration <= control.maxDepth) {
        const int iteration = control.iteration;
        control.extraMs     = 0;
        EmptyMultiPvPlaces(state.multiPv);
        PublishHardLimit(state);
        OrderRootMoves(rootMoves);
        if (hooks.iterationStart)
            hooks.iterationStart(state, rootMoves);

        if (!SearchRootMoves(state, board, rootMoves, iteration)) {
            // A helper completed this iteration or a deeper one: its line stands in for it.
            HelperLine line;
            if (!StoppedForHelperLine(state) ||
                !TakeDeeperHelperLine(state, completedDepth, line)) {
                completed = false;
                break;
            }
            TakeLine(state, line);
            RankFirst(rootMoves, line.moves[0]);
        }
        completedDepth = control.iteration;
        KeepCompletedLines(state);
        if (hooks.iterationScored)
            hooks.iterationScored(state);
        SeedPrincipalLine(state, board);
        if (hooks.iterationDone) {
            if (hooks.iterationDone(state)) {
                completed = false;
                break;
            }
        } else {
            ++control.iteration;
        }
        if (control.runState == Stopped) {
            completed = false;
            break;
        }
    }
    // Whatever ended the iterations ends the helpers' too, before a final wait for the
    // interface: nothing searches while the engine only listens.
    StopHelpers(state);
    // A search stopped otherwise: a helper that completed a deeper iteration gives the answer.
    // (One that completed the depth limit has already ended the iterations above.)
    HelperLine line;
    if (TakeDeeperHelperLine(state, completedDepth, line))
        TakeLine(state, line);
    if (completed && hooks.finalWait)
        hooks.finalWait(state);

    // Stopped before any line was entered: the first root move is still a legal answer.
    if (root.pvLength == 0) {
        root.pv[0]    = rootMoves.moves[0];
        root.pvLength = 1;
    }
    ChooseLimitedMove(state);
}

} // namespace tarvo
