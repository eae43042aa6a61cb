#include "search/history.h"

#include <cstdlib>

#include "search/state.h"

namespace tarvo {

static_assert(HistoryIndex(MakeMoveWord(63, 62, King), Black) < HistorySize,
              "the highest index fits the tables");

void RecordCutoffMove(SearchState& state, Move move, int side, float depth) {
    if (move <= NoMove || !IsQuiet(move))
        return;
    const int index = HistoryIndex(move, side);
    ++state.cutoffCount[index];
    state.historyScore[index] += static_cast<int>(depth * depth);
    if (state.historyScore[index] >= 32000)
        for (std::int32_t& score : state.historyScore)
            score /= 2;
}

void RecordFailedMove(SearchState& state, Move move, int side) {
    if (move <= NoMove)
        return;
    const int index = HistoryIndex(move, side);
    if (++state.failCount[index] >= 32000) {
        state.cutoffCount[index] /= 2;
        state.failCount[index] /= 2;
    }
}

void UpdateKillers(PlyRecord& record, Move move, int score) {
    if (IsQuiet(move) && move != record.killer1) {
        record.killer2 = record.killer1;
        record.killer1 = move;
    }
    if (std::abs(score) >= MateThreshold)
        record.mateKiller = move;
}

void ClearHistory(SearchState& state) {
    state.historyScore.fill(0);
    state.cutoffCount.fill(0);
    state.failCount.fill(0);
}

} // namespace tarvo
