#include "search/state.h"

#include "search/threads.h"

namespace tarvo {

void InitSearchState(SearchState& state) {
    InitSearchRecords(state);
    TTResize(state.tt, state.options.hashMegabytes);
}

void InitSearchRecords(SearchState& state) {
    // Field by field: a whole-record assignment would build the large record on the stack.
    state.plies.fill(PlyRecord{});
    state.multiPv = MultiPvTable{};
    for (int place = 0; place < MaxMultiPv; ++place) {
        state.multiPv.score[place]       = -Infinity;
        state.multiPv.slotOfPlace[place] = place;
    }
    state.rootMoveCount    = 0;
    state.control          = SearchControl{};
    state.nodes            = 0;
    state.tbHits           = 0;
    state.selDepth         = 0;
    state.nullMoveChildPly = -1;
    state.options          = EngineOptions{};
    state.params           = SearchParams{};
    state.historyScore.fill(0);
    state.cutoffCount.fill(0);
    state.failCount.fill(0);
    state.hooks       = SearchHooks{};
    state.threads     = nullptr;
    state.threadIndex = 0;
    ClearEvalCache(state.evalCache);
}

void ReleaseSearchState(SearchState& state) {
    SetSearchThreads(state, 1);
    TTRelease(state.tt);
}

void ClearSearchTables(SearchState& state) {
    TTClear(state.tt, state.options.threads);
    ClearEvalCache(state.evalCache);
}

} // namespace tarvo
