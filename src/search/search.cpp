#include "search/search.h"

#include "board/make_move.h"
#include "board/movegen.h"
#include "board/see.h"
#include "board/tables.h"
#include "eval/cache.h"
#include "search/draw.h"
#include "search/history.h"
#include "search/picker.h"
#include "search/qsearch.h"
#include "search/state.h"
#include "search/tablebase.h"
#include "search/tt.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace tarvo {

namespace {

// Stage sets of the main picker: bit n stands for stage n.
constexpr std::uint64_t MainStages    = (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4) | (1u << 5);
constexpr std::uint64_t EvasionStages = 1u << 7;

// A margin the static score must clear above beta before a PV node without a hash move pays
// for an internal iterative deepening search.
constexpr int IidEvalMargin = 100;

// The rank from which a pawn of `side` promotes on its next move.
constexpr int SeventhRank(int side) {
    return side == White ? 6 : 1;
}

bool IsPawnToSeventh(Move move, int side) {
    return MovePiece(move) == Pawn && (MoveTo(move) >> 3) == SeventhRank(side);
}

bool HasPieces(const Board& board, int side) {
    const Bitboard officers =
        board.pieces[Knight] | board.pieces[Bishop] | board.pieces[Rook] | board.pieces[Queen];
    return (officers & board.colour[side]) != 0;
}

// The static score is computed once per node, and only if a pruning rule asks for it.
struct LazyEval {
    bool known = false;
    int value  = 0;
};

int StaticScore(LazyEval& eval, const Board& board, EvalCache& cache) {
    if (!eval.known) {
        eval.value = Evaluate(board, cache);
        eval.known = true;
    }
    return eval.value;
}

bool HasLegalMove(const Board& board) {
    MoveList moves;
    GenerateLegalMoves(board, moves);
    return moves.count > 0;
}

void CopyLine(PlyRecord& record, Move move, const PlyRecord& child) {
    record.pv[0]    = move;
    const auto tail = child.pvLength;
    std::copy_n(child.pv.begin(), tail, record.pv.begin() + 1);
    record.pvLength = tail + 1;
}

} // namespace

float ComputeNewDepth(const SearchState& state, const Board& board, float depth, int ply, Move move,
                      bool pvNode, bool inCheck, const MovePicker& picker) {
    const SearchParams& params = state.params;
    float newDepth             = static_cast<float>(static_cast<double>(depth) - 1.0);
    const float cap            = newDepth + params.maxExtension;

    const int captured = MoveCaptured(move);
    if (captured != NoPiece) {
        const Move previous = state.plies[ply - 1].currentMove;
        if (MoveTo(previous) == MoveTo(move) &&
            std::abs(ExchangeValue[captured] - ExchangeValue[MoveCaptured(previous)]) <= 15) {
            const double share = pvNode ? 1.0 : 0.2;
            newDepth           = static_cast<float>(newDepth + share * params.recaptureExtension);
        }
    }

    if (inCheck) {
        newDepth += params.checkExtension;
        if (picker.evasionCount == 1)
            newDepth += params.singleReplyExtension;
    }

    if (MovePiece(move) == Pawn) {
        const int side = board.sideToMove;
        const int to   = MoveTo(move);
        if ((to >> 3) == SeventhRank(side)) {
            newDepth += params.passedPawnExtension + params.seventhRankExtension;
        } else {
            const Bitboard enemyPawns = board.pieces[Pawn] & board.colour[side ^ 1];
            const Bitboard ownPawns   = board.pieces[Pawn] & board.colour[side];
            const Bitboard fileAhead  = RanksAhead[side][to >> 3] & FileMask[to & 7];
            if ((FrontSpan[side][to] & enemyPawns) == 0 && (fileAhead & ownPawns) == 0)
                newDepth += params.passedPawnExtension;
        }
    }
    return std::min(newDepth, cap);
}

int Search(SearchState& state, Board& board, int alpha, int beta, float depth, int ply,
           bool nullAllowed) {
    const SearchParams& params = state.params;
    if (depth <= 0.0f)
        return QSearch(state, board, alpha, beta, params.qsEntryDepth, ply);

    PlyRecord& record = state.plies[ply];
    record.pvLength   = 0;
    if (state.control.runState == Stopped)
        return 0;
    if (IsDrawByRule(board))
        return 0;
    if (ply >= MaxPly - 1)
        return Evaluate(board, state.evalCache);
    state.selDepth = std::max(state.selDepth, ply);
    CountNode(state);

    const bool pvNode    = beta - alpha > 1;
    const int alphaStart = alpha;

    // The win/draw/loss tables assume a fresh fifty-move count, so they are asked only right
    // after a capture or pawn move (a null move's child only looks fresh). A mated or
    // stalemated position is scored as such first. A draw is exact; a win is a floor and a
    // loss a ceiling of the node's score, which end the node where they settle it and bound
    // it otherwise, so that mates are still searched for.
    int tablebaseCeiling = Infinity;
    int tablebaseFloor   = -Infinity;
    if (board.halfmoveClock == 0 && ply != state.nullMoveChildPly &&
        depth > static_cast<float>(state.options.tablebaseProbeDepth - 1) &&
        IsTablebasePosition(state, board)) {
        if (!HasLegalMove(board)) {
            int checkers = 0;
            FindCheckers(board, checkers);
            return checkers > 0 ? ply - MateScore : 0;
        }
        int tablebaseScore;
        if (ProbeTablebaseScore(state, board, ply, tablebaseScore)) {
            if (tablebaseScore == 0 || (tablebaseScore > 0 && tablebaseScore >= beta) ||
                (tablebaseScore < 0 && tablebaseScore <= alpha))
                return tablebaseScore;
            if (tablebaseScore > 0) {
                tablebaseFloor = tablebaseScore;
                alpha          = std::max(alpha, tablebaseScore);
            } else {
                tablebaseCeiling = tablebaseScore;
            }
        }
    }

    record.hashMove = NoMove;
    if (depth >= params.ttMinDepth) {
        TTEntry entry;
        if (TTProbe(state.tt, board.hashKey, entry)) {
            record.hashMove = TTEntryMove(entry);
            if (!pvNode && static_cast<float>(entry.depth) >= depth) {
                const TTBound bound = TTEntryBound(entry);
                if (bound == LowerBound && entry.score >= beta)
                    return entry.score;
                if (bound == UpperBound && entry.score <= alpha)
                    return entry.score;
            }
        }
    }

    MovePicker picker;
    int checkerCount   = 0;
    picker.checkers    = FindCheckers(board, checkerCount);
    const bool inCheck = checkerCount > 0;
    LazyEval eval;

    // Null move, then razoring for null-window nodes or internal iterative deepening for PV
    // nodes. A failed null move goes straight to the move loop: its search already showed
    // the position is not good enough to cut, so razoring would learn nothing new.
    bool tryRazor = !pvNode;
    if (nullAllowed && depth >= params.nullMinDepth && !inCheck && !pvNode &&
        HasPieces(board, board.sideToMove) &&
        (depth - 1 <= params.nullReduction || StaticScore(eval, board, state.evalCache) >= beta)) {
        UndoInfo undo;
        MakeNullMove(board, undo);
        const int outerNullChild = state.nullMoveChildPly;
        state.nullMoveChildPly   = ply + 1;
        const int value = -Search(state, board, -beta, -beta + 1, depth - 1 - params.nullReduction,
                                  ply + 1, false);
        state.nullMoveChildPly = outerNullChild;
        UnmakeNullMove(board, undo);
        if (value >= beta) {
            // The verification search only guards against zugzwang-like errors; its score
            // is not used, so it leaves only the table and the killers behind.
            if (depth - 1 >= params.nullVerifyReduction)
                Search(state, board, alpha, beta, depth - params.nullVerifyReduction, ply + 1,
                       false);
            return beta;
        }
        tryRazor = false;
    }

    if (tryRazor && depth <= params.razorMaxDepth &&
        StaticScore(eval, board, state.evalCache) + params.razorMargin < beta) {
        const int value = QSearch(state, board, beta - 1, beta, 0.0f, ply);
        if (value < beta)
            return value;
    }

    if (pvNode && record.hashMove <= NoMove && depth >= params.iidMinDepth &&
        Evaluate(board, state.evalCache) >= beta + IidEvalMargin) {
        const float iidDepth = std::min(depth - params.iidReduction, depth * 0.5f);
        const int value      = Search(state, board, alpha, beta, iidDepth, ply + 1, false);
        if (std::abs(value) >= MateThreshold)
            return value;
        // An empty line leaves no move to try first; a stale one would only be refused later.
        const PlyRecord& below = state.plies[ply + 1];
        record.hashMove        = below.pvLength > 0 ? below.pv[0] : NoMove;
    }

    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitPicker(state, picker, ply, checkerCount);
    picker.stages = inCheck ? EvasionStages : MainStages;

    std::array<Move, MaxMoves> tried;
    int triedCount       = 0;
    int best             = tablebaseFloor;
    Move bestMove        = NoMove;
    int cutoffValue      = 0;
    bool futilityKnown   = false;
    int futilityValue    = 0;
    const int side       = board.sideToMove;
    const int wholeDepth = static_cast<int>(depth);

    for (Move move = NextMove(picker, board, state.historyScore); move != NoMove;
         move      = NextMove(picker, board, state.historyScore)) {
        tried[triedCount++] = move;
        record.currentMove  = move;

        float newDepth = ComputeNewDepth(state, board, depth, ply, move, pvNode, inCheck, picker);
        const bool extended = newDepth > depth - 1;
        const bool plainQuiet =
            !pvNode && !inCheck && !extended && IsQuiet(move) && !IsPawnToSeventh(move, side);

        if (plainQuiet && depth <= params.futilityMaxDepth) {
            if (!futilityKnown) {
                const int margin = depth < params.futilityMarginDepth ? 100 : 300;
                futilityValue    = StaticScore(eval, board, state.evalCache) + margin;
                futilityKnown    = true;
            }
            if (futilityValue <= alpha) {
                best = std::max(best, futilityValue);
                continue;
            }
        }

        bool reduced = false;
        // The history counts are read only where a rule can use them: they sit in large
        // tables, and the load is a likely cache miss.
        const bool mayPrune =
            depth <= params.historyPruningMaxDepth && triedCount >= wholeDepth + 3;
        const bool mayReduce = depth >= params.lmrMinDepth && triedCount >= 3;
        if (plainQuiet && (move & CastlingFlag) == 0 && (mayPrune || mayReduce)) {
            const int index   = HistoryIndex(move, side);
            const int cutoffs = state.cutoffCount[index];
            const int fails   = state.failCount[index];
            if (mayPrune && cutoffs >= static_cast<int>(depth / params.historyPruningMaxDepth) &&
                static_cast<int>(static_cast<double>(depth) * 1.25) * cutoffs < fails)
                continue;
            if (mayReduce && cutoffs * 30 / 100 < fails) {
                reduced = true;
                newDepth -= params.lmrReduction;
            }
        }

        UndoInfo undo;
        MakeMove(board, move, undo);
        if (newDepth >= params.ttMinDepth)
            TTPrefetch(state.tt, board.hashKey);
        EvalCachePrefetch(state.evalCache, board.hashKey);
        int value;
        if (pvNode && triedCount > 1) {
            value = -Search(state, board, -alpha - 1, -alpha, newDepth, ply + 1, true);
            if (value > alpha && value < beta)
                value = -Search(state, board, -beta, -alpha, newDepth, ply + 1, true);
        } else {
            value = -Search(state, board, -beta, -alpha, newDepth, ply + 1, true);
        }
        if (reduced && value > alpha)
            value =
                -Search(state, board, -beta, -alpha, newDepth + params.lmrReduction, ply + 1, true);
        UnmakeMove(board, move, undo);

        if (value > best) {
            CopyLine(record, move, state.plies[ply + 1]);
            best     = value;
            bestMove = move;
            if (value > alpha) {
                alpha = value;
                if (value >= beta) {
                    cutoffValue = value;
                    break;
                }
            }
        }
    }

    if (state.control.runState == Stopped)
        return 0;
    if (triedCount == 0)
        return inCheck ? ply - MateScore : 0;
    if (best > tablebaseCeiling) {
        best  = tablebaseCeiling;
        alpha = tablebaseCeiling;
    }

    TTBound bound;
    if (best < beta) {
        bound = best <= alphaStart ? UpperBound : ExactBound;
    } else {
        UpdateKillers(record, bestMove, cutoffValue);
        RecordCutoffMove(state, bestMove, side, depth);
        for (int i = 0; i < triedCount - 1; ++i)
            RecordFailedMove(state, tried[i], side);
        bound = LowerBound;
    }
    if (depth >= params.ttMinDepth)
        TTStore(state.tt, board.hashKey, bestMove, best, depth, bound);
    return alpha;
}

} // namespace tarvo
