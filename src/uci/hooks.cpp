#include "uci/hooks.h"

#include "search/state.h"
#include "uci/clock.h"
#include "uci/control.h"
#include "uci/output.h"
#include "uci/poll.h"

namespace tarvo {

namespace {

void startIteration(SearchState& state, const MoveList& rootMoves) {
    updateEasyMove(state, rootMoves);
    printDepthLines(state);
}

void reportRootResult(SearchState& state, int score, Move move) {
    if (recordRootResult(state, score, move))
        printLines(state);
}

void recordQuietly(SearchState& state, int score, Move move) {
    recordRootResult(state, score, move);
}

} // namespace

void installSearchHooks(SearchState& state) {
    SearchHooks& hooks    = state.hooks;
    hooks.setUp           = setUpSearch;
    hooks.nodePoll        = pollAndCheckLimits;
    hooks.rootPoll        = pollInput;
    hooks.iterationStart  = startIteration;
    hooks.currentMove     = printCurrentMove;
    hooks.rootResult      = reportRootResult;
    hooks.iterationScored = iterationScored;
    hooks.iterationDone   = iterationDone;
    hooks.finalWait       = finalWait;
    hooks.readClock       = readTickCount;
}

void installQuietSearchHooks(SearchState& state) {
    installSearchHooks(state);
    SearchHooks& hooks   = state.hooks;
    hooks.nodePoll       = nullptr;
    hooks.rootPoll       = nullptr;
    hooks.iterationStart = updateEasyMove;
    hooks.currentMove    = nullptr;
    hooks.rootResult     = recordQuietly;
    hooks.finalWait      = nullptr;
}

} // namespace tarvo
