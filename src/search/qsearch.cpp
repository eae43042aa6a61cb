#include "search/qsearch.h"

#include "board/make_move.h"
#include "eval/cache.h"
#include "search/draw.h"
#include "search/picker.h"
#include "search/state.h"

#include <algorithm>

namespace tarvo {

int QSearch(SearchState& state, Board& board, int alpha, int beta, float depth, int ply) {
    PlyRecord& record = state.plies[ply];
    record.pvLength   = 0;
    CountNode(state);
    if (state.control.runState == Stopped)
        return 0;
    if (IsDrawByRule(board))
        return 0;
    if (ply >= MaxPly - 1)
        return Evaluate(board, state.evalCache);
    state.selDepth = std::max(state.selDepth, ply);

    MovePicker picker;
    int checkerCount   = 0;
    picker.checkers    = FindCheckers(board, checkerCount);
    const bool inCheck = checkerCount > 0;

    // In check the static score plays no part, so it is not computed: the evaluation is a pure
    // function of the board, and leaving it out changes nothing but the time.
    int best;
    float qsDepth;
    if (inCheck) {
        best    = -Infinity;
        qsDepth = depth + state.params.qsCheckExtension;
    } else {
        const int standPat = Evaluate(board, state.evalCache);
        if (standPat >= beta)
            return standPat;
        alpha   = std::max(alpha, standPat);
        best    = standPat;
        qsDepth = depth;
    }

    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitQuiescencePicker(picker, checkerCount);
    if (inCheck)
        picker.stages = 1u << 7;
    else
        picker.stages = qsDepth > 0.0f ? (1u << 3) | (1u << 6) : 1u << 3;

    Move move = NextQuiescenceMove(picker, board, state.historyScore);
    if (move == NoMove)
        return inCheck ? ply - MateScore : alpha;

    for (; move != NoMove; move = NextQuiescenceMove(picker, board, state.historyScore)) {
        // With a single evasion the reply is forced, so the line is followed a little further.
        if (inCheck && picker.evasionCount == 1)
            qsDepth += state.params.qsSingleReplyExtension;
        UndoInfo undo;
        MakeMove(board, move, undo);
        EvalCachePrefetch(state.evalCache, board.hashKey);
        const float childDepth = static_cast<float>(static_cast<double>(qsDepth) - 1.0);
        const int value        = -QSearch(state, board, -beta, -alpha, childDepth, ply + 1);
        UnmakeMove(board, move, undo);

        if (value > best) {
            const PlyRecord& child = state.plies[ply + 1];
            record.pv[0]           = move;
            std::copy_n(child.pv.begin(), child.pvLength, record.pv.begin() + 1);
            record.pvLength = child.pvLength + 1;
            best            = value;
            if (value > alpha) {
                alpha = value;
                if (value >= beta)
                    return beta;
            }
        }
    }
    return alpha;
}

} // namespace tarvo
