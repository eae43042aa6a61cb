#include "uci/control.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "board/movegen.h"
#include "search/draw.h"
#include "search/threads.h"
#include "search/tt.h"
#include "uci/clock.h"
#include "uci/io.h"
#include "uci/poll.h"
#include "uci/wdl.h"

namespace tarvo {

namespace {

// Share k of the remaining time that one move may use, by RateOfPlay.
constexpr double RateFraction[] = {0.045, 0.034, 0.024};

constexpr int EasyMoveMargin        = 150;
constexpr int InfoIntervalMs        = 1024;
// Within this many milliseconds of a hard time limit, polls come at least every ShortPollNodes.
constexpr int ShortPollWindowMs = 100;
constexpr int ShortPollNodes    = 1000;

// The rules multiply a budget by a count or a percentage; on long clocks that leaves 32 bits,
// so the products are formed in 64 bits and the result saturates instead of wrapping.
std::int32_t saturate(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// Every time share keeps 100 ms in reserve once it exceeds 200 ms; below that it keeps half,
// which meets the other rule at 200 ms. So the plan never shrinks when the clock shows more
// time, and short clocks get a share that fades to nothing with the clock. A negative share
// (a clock already past zero) is kept as it is.
double lessReserve(double share) {
    if (share > 200.0)
        return share - 100.0;
    return share > 0.0 ? share / 2.0 : share;
}

bool isSameMove(Move a, Move b) {
    if (MoveFrom(a) != MoveFrom(b) || MoveTo(a) != MoveTo(b))
        return false;
    if ((a & (PromotionFlag | CastlingFlag)) != (b & (PromotionFlag | CastlingFlag)))
        return false;
    return !(a & PromotionFlag) || MovePromotion(a) == MovePromotion(b);
}

bool contains(const MoveList& list, std::uint32_t count, Move move) {
    for (std::uint32_t i = 0; i < count; ++i)
        if (list.moves[i] == move)
            return true;
    return false;
}

// The root list: the requested moves that are legal here, each once, in the order given, as
// the generator's own words (whatever flags the text gave them). Searching an illegal move
// would corrupt the board, so a request that names no legal move searches every legal move.
void buildRootMoves(const Board& board, const MoveList& searchMoves, MoveList& rootMoves) {
    MoveList legal;
    GenerateLegalMoves(board, legal);
    std::uint32_t count = 0;
    for (std::uint32_t i = 0; i < searchMoves.count && i < MaxMoves; ++i) {
        for (std::uint32_t j = 0; j < legal.count; ++j) {
            if (isSameMove(searchMoves.moves[i], legal.moves[j]) &&
                !contains(rootMoves, count, legal.moves[j])) {
                rootMoves.moves[count++] = legal.moves[j];
                break;
            }
        }
    }
    if (count == 0) {
        rootMoves.moves = legal.moves;
        count           = legal.count;
    }
    rootMoves.count = count;
    // Equal starting keys keep the list's own order until the first iteration scores it.
    for (std::uint32_t i = 0; i < count; ++i)
        rootMoves.score[i] = 0;
}

void printPeriodicLines(const SearchState& state, std::int32_t elapsed) {
    const SearchCounters counters = SummedCounters(state);
    const auto used               = static_cast<float>(counters.tableUsed);
    const auto entries            = static_cast<float>(state.tt.entryCount);
    const float permille          = entries > 0.0f ? used * 1000.0f / entries : 0.0f;
    std::printf("info hashfull %.0f\n", static_cast<double>(permille));

    const std::uint64_t divisor = static_cast<std::uint64_t>(std::max(elapsed, 128));
    const auto nps              = static_cast<std::int32_t>(counters.nodes * 1000u / divisor);
    if (state.options.tablebasePieces > 0)
        std::printf("info time %d nodes %llu nps %d tbhits %llu\n", elapsed,
                    static_cast<unsigned long long>(counters.nodes), nps,
                    static_cast<unsigned long long>(counters.tbHits));
    else
        std::printf("info time %d nodes %llu nps %d\n", elapsed,
                    static_cast<unsigned long long>(counters.nodes), nps);
}

} // namespace

void setUpSearch(SearchState& state, const Board& board, const SearchLimits& limits,
                 MoveList& rootMoves) {
    setUpSearchAt(state, board, limits, rootMoves, readTickCount());
}

void setUpSearchAt(SearchState& state, const Board& board, const SearchLimits& limits,
                   MoveList& rootMoves, std::uint32_t now) {
    SearchControl& control = state.control;
    control.startTick      = now;
    control.nowTick        = now;
    control.lastInfoTick   = now;

    state.historyScore.fill(0);
    state.cutoffCount.fill(0);
    state.failCount.fill(0);
    TTNewSearch(state.tt);

    control.maxDepth  = std::max(limits.depth, saturate(2 * std::int64_t{limits.mate} - 1));
    control.nodeLimit = limits.nodes;
    control.moveTime  = limits.movetime;

    control.pollInterval  = limits.nodes != 0 ? std::min(limits.nodes, 1000) : 10000;
    control.pollCountdown = control.pollInterval;

    state.nodes              = 0;
    state.tbHits             = 0;
    control.mateIterationSum = 0;
    state.selDepth           = 0;

    const bool untimed = control.maxDepth != 0 || limits.nodes != 0 || limits.movetime != 0 ||
                         limits.ponder || limits.infinite;
    control.runState          = untimed ? Untimed : Timed;
    control.infiniteOrPonder  = limits.infinite || limits.ponder;
    control.pondering         = limits.ponder;
    const bool clock =
        limits.wtime != 0 || limits.btime != 0 || limits.winc != 0 || limits.binc != 0;
    control.ponderhitKeepsLimits =
        limits.ponder && !limits.infinite && !clock &&
        (control.maxDepth != 0 || limits.nodes != 0 || limits.movetime != 0);
    control.stopPending       = false;
    control.extraMs           = 0;
    control.nonFirst          = 0;
    control.reSearch          = 0;
    control.easyMove          = NoMove;
    control.previousBestScore = 0;

    control.bestLineChanges.fill(-1);
    control.rootMaterial = wdlMaterial(board);
    control.rootDrawn    = IsGameDrawnByRule(board);

    allocateTime(state, board, limits.wtime, limits.btime, limits.winc, limits.binc,
                 limits.movestogo, limits.ponder);

    buildRootMoves(board, limits.searchmoves, rootMoves);
    state.rootMoveCount = static_cast<std::int32_t>(rootMoves.count);

    if (control.maxDepth == 0 || control.maxDepth > MaxPly - 1)
        control.maxDepth = MaxPly - 1;
    control.iteration = 1;
    // From here on the input's reader acts on stop and ponderhit for this search at once.
    beginSearchInput(state.threads && state.threadIndex == 0 ? &state.threads->attention : nullptr);
}

void allocateTime(SearchState& state, const Board& board, int wtime, int btime, int winc, int binc,
                  int movestogo, bool ponder) {
    const int rate         = state.options.rateOfPlay;
    const double k         = RateFraction[rate >= SlowRate && rate <= FastRate ? rate : NormalRate];
    const bool white       = board.sideToMove == White;
    const double time      = white ? wtime : btime;
    const double increment = white ? winc : binc;

    const double movesToGo = movestogo <= 0 || movestogo > 1.0 / k ? 1.0 / k : movestogo;
    const double available = (movesToGo - 1.0) * increment + time;

    double base = lessReserve(available / movesToGo);
    double peak = lessReserve(available / (8.0 * k * movesToGo + 1.0 - 8.0 * k));
    double cap  = lessReserve(0.9 * time);
    if (ponder)
        base *= 1.3;
    base = std::min(base, cap);
    peak = std::min(peak, cap);
    base = std::min(base, peak);

    // Never plan past the clock itself, less what the interface loses per move. On a clock of
    // more than a few tenths of a second the rules above stay well inside this already.
    state.control.deadlineMs = INT32_MAX;
    if (time > 0.0) {
        const double left = time - std::max(state.options.moveOverheadMs, 0);
        base              = std::min(base, left);
        peak              = std::min(peak, left);
        state.control.deadlineMs = static_cast<std::int32_t>(left);
    }

    // Short on time: the first poll comes sooner, so a tiny budget is not overrun by a whole
    // poll interval before the clock is first looked at.
    if (peak < 800.0)
        state.control.pollCountdown /= 2;
    if (peak < 400.0)
        state.control.pollCountdown /= 2;
    if (state.control.deadlineMs < ShortPollWindowMs)
        state.control.pollCountdown = std::min(state.control.pollCountdown, ShortPollNodes);

    state.control.budgetMs  = static_cast<std::int32_t>(base);
    state.control.maxTimeMs = static_cast<std::int32_t>(peak);
}

void checkLimits(SearchState& state) {
    checkLimitsAt(state, readTickCount());
}

void checkLimitsAt(SearchState& state, std::uint32_t now) {
    SearchControl& control     = state.control;
    control.nowTick            = now;
    const std::int32_t elapsed = ticksBetween(control.startTick, now);

    if (ticksBetween(control.lastInfoTick, now) > InfoIntervalMs) {
        control.lastInfoTick = now;
        printPeriodicLines(state, elapsed);
    }

    if (control.runState == Timed) {
        if (control.iteration > 1 && elapsed >= control.maxTimeMs)
            control.runState = Stopped;
        // Only while later root moves are tested: the first move and a re-search of a move
        // that failed high always finish, so the iteration keeps its best line.
        if (control.iteration > 3 && elapsed >= std::int64_t{control.budgetMs} + control.extraMs &&
            control.nonFirst && !control.reSearch)
            control.runState = Stopped;
        // The clock itself stops even the first iteration: a move found late loses the game.
        if (elapsed >= control.deadlineMs)
            control.runState = Stopped;
        // Close to a hard limit the next poll comes sooner, so a short clock is not overrun by
        // a whole poll interval.
        const std::int32_t hardLimit =
            control.iteration > 1 ? std::min(control.maxTimeMs, control.deadlineMs)
                                  : control.deadlineMs;
        if (std::int64_t{hardLimit} - elapsed < ShortPollWindowMs)
            control.pollCountdown = std::min(control.pollCountdown, ShortPollNodes);
    } else {
        // While pondering no limit ends the search: they count again from ponderhit.
        if (control.moveTime != 0 && elapsed >= control.moveTime && !control.pondering)
            control.runState = Stopped;
        // A clock given beside a depth, node or move-time limit binds as well; a search that
        // ponders or runs without end is not on its own clock until ponderhit.
        if (!control.infiniteOrPonder) {
            if (elapsed >= control.deadlineMs)
                control.runState = Stopped;
            if (std::int64_t{control.deadlineMs} - elapsed < ShortPollWindowMs)
                control.pollCountdown = std::min(control.pollCountdown, ShortPollNodes);
        }
        const std::uint64_t nodes = SummedCounters(state).nodes;
        if (control.nodeLimit != 0 && !control.pondering &&
            static_cast<std::int64_t>(nodes) >= std::int64_t{control.nodeLimit})
            control.runState = Stopped;
    }
}

void pollAndCheckLimits(SearchState& state) {
    pollInput(state);
    checkLimits(state);
    checkPonderNodeLimit(state);
    checkStrengthLimit(state);
}

void checkPonderNodeLimit(SearchState& state) {
    SearchControl& control = state.control;
    if (!control.pondering || control.nodeLimit == 0 || control.runState != Untimed ||
        static_cast<std::int64_t>(SummedCounters(state).nodes) < std::int64_t{control.nodeLimit})
        return;
    // The nodes are spent: the search waits, its helpers parked, for ponderhit or stop. After
    // a ponderhit that keeps the go's limits it has reached them; clock play searches on alone.
    StopHelpers(state);
    finalWait(state);
    if (control.runState == Untimed)
        control.runState = Stopped;
}

void checkStrengthLimit(SearchState& state) {
    SearchControl& control = state.control;
    if (control.strengthNodes == 0 || control.iteration <= 1 || control.runState == Stopped)
        return;
    if (static_cast<std::int64_t>(SummedCounters(state).nodes) < control.strengthNodes)
        return;
    // The search has done all it may, so it waits here with its helpers parked, without using
    // the processor. Analysis and pondering answer only after stop or ponderhit; clock play
    // (pondering that became clock play included) keeps its pace, and a move time is used in
    // full. Depth and node limits answer at once.
    StopHelpers(state);
    if (control.runState == Untimed && control.infiniteOrPonder)
        finalWait(state);
    std::int32_t paceMs = 0;
    if (control.runState == Timed)
        paceMs = control.strengthPaceMs;
    else if (control.runState == Untimed && !control.infiniteOrPonder && control.moveTime > 0)
        paceMs = std::min(control.moveTime, control.deadlineMs);
    if (paceMs > 0 && !control.stopPending)
        waitUntilElapsed(state, paceMs);
    control.runState = Stopped;
}

void updateEasyMove(SearchState& state, const MoveList& rootMoves) {
    SearchControl& control = state.control;
    if (control.iteration <= 1 || rootMoves.count == 0) {
        control.easyMove = NoMove;
    } else if (control.iteration == 2) {
        // Keys of the first iteration, which scored every move exactly: a lone move is easy.
        const bool clear = rootMoves.count == 1 ||
                           std::int64_t{rootMoves.score[0]} - rootMoves.score[1] >= EasyMoveMargin;
        control.easyMove = clear ? rootMoves.moves[0] : NoMove;
    } else if (control.easyMove != rootMoves.moves[0]) {
        control.easyMove = NoMove;
    }
}

void iterationScored(SearchState& state) {
    if (std::abs(state.multiPv.score[0]) >= MateThreshold)
        state.control.mateIterationSum += state.control.iteration;
}

bool iterationDone(SearchState& state) {
    return iterationDoneAt(state, readTickCount());
}

bool iterationDoneAt(SearchState& state, std::uint32_t now) {
    SearchControl& control = state.control;
    // A stop read in the first iteration was kept for this moment: the iteration is complete.
    if (control.stopPending)
        return true;

    const std::int32_t bestScore = state.multiPv.score[0];
    const std::int64_t budget    = control.budgetMs;
    if (control.iteration > 3) {
        const int index    = std::clamp(control.iteration, 0, MaxPly - 1);
        std::int64_t extra = control.bestLineChanges[index] * budget * 30 / 100;
        if (bestScore + 50 < control.previousBestScore)
            extra += budget * 90 / 100;
        control.extraMs = saturate(extra);
    }
    control.previousBestScore = bestScore;

    // The tables left one move that keeps their result: clock play answers with it at once,
    // while analysis and pondering keep searching and reporting.
    if (control.runState == Timed && control.rootInTablebase && state.rootMoveCount == 1)
        return true;
    if (control.runState == Timed && control.iteration > 3) {
        if (control.mateIterationSum > 6)
            return true;
        if (state.rootMoveCount == 1)
            return true;
        control.nowTick            = now;
        const std::int32_t elapsed = ticksBetween(control.startTick, now);
        if (elapsed > (control.extraMs + budget) * 60 / 100)
            return true;
        if (control.easyMove > NoMove && elapsed > budget * 10 / 100)
            return true;
    }

    ++control.iteration;
    return false;
}

void finalWait(SearchState& state) {
    const SearchControl& control = state.control;
    // Searches bounded by depth, mate, nodes or move time report as soon as they end: the
    // controller sends no stop for them. Clock play (ponderhit included) never waits.
    if (!control.infiniteOrPonder || control.runState != Untimed || control.stopPending)
        return;
    waitForStop(state);
}

} // namespace tarvo
