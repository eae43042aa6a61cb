#pragma once
// The search's working record and everything it holds: ply records, the MultiPV table, the
// search control (limits, clocks, run state), typed options, history tables, the
// transposition table and the evaluation caches. The search reaches the shell (clock, input,
// output, time rules) only through SearchHooks, so this layer never depends on the UCI layer
// above it. Each search thread owns one SearchState and writes only its own (its evaluation
// caches included); the threads share nothing but the transposition table's entries (see
// search/threads.h).

#include <array>
#include <cstdint>

#include "board/types.h"
#include "eval/cache.h"
#include "search/tt.h"

namespace tarvo {

inline constexpr int Infinity       = 32701;
inline constexpr int MateScore      = 32700;
inline constexpr int MateThreshold  = 32636;
inline constexpr int MaxMultiPv     = 16;
inline constexpr int HistorySize    = 49920;

struct PlyRecord {
    Move currentMove = 0;
    std::uint32_t pvLength = 0;
    std::array<Move, MaxPly> pv{};
    Move hashMove = NoMove;
    Move mateKiller = NoMove;
    Move killer1 = NoMove;
    Move killer2 = NoMove;
};

// Best root lines of the current iteration: lines live in slots, places rank them.
struct MultiPvTable {
    std::array<std::array<Move, MaxPly>, MaxMultiPv> lineMoves{};
    std::array<std::int32_t, MaxMultiPv> length{};
    std::array<std::int32_t, MaxMultiPv> score{}; // by place; -Infinity marks an empty place
    std::array<std::int32_t, MaxMultiPv> slotOfPlace{};
};

enum SearchRunState : std::int32_t { Stopped = 0, Timed = 1, Untimed = 3 };

struct SearchControl {
    std::int32_t budgetMs = 0;
    std::int32_t maxTimeMs = 0;
    std::int32_t extraMs = 0;
    std::int32_t maxDepth = 0;
    std::int32_t nodeLimit = 0;
    std::int32_t moveTime = 0;
    std::int32_t pollInterval = 0;
    std::int32_t pollCountdown = 0;
    std::int32_t iteration = 0;
    SearchRunState runState = Stopped;
    std::uint32_t startTick = 0;
    std::uint32_t nowTick = 0;
    std::uint32_t lastInfoTick = 0;
    std::uint8_t nonFirst = 0;
    std::uint8_t reSearch = 0;
    std::int32_t mateIterationSum = 0;
    std::array<std::int32_t, MaxPly> bestLineChanges{}; // by iteration number, -1 at search start
    // Kept beside the limits: whether this go waits for stop/ponderhit when iterations run out,
    // and whether a stop arrived in the first iteration (honoured once it completes).
    bool infiniteOrPonder = false;
    bool stopPending = false;
    // Between iterations: the easy move (NoMove for none) and the previous iteration's best score.
    Move easyMove = NoMove;
    std::int32_t previousBestScore = 0;
    // A root covered by the tablebases: its moves were filtered by the tables, and the score
    // reported for a line that is not a mate is the tables' verdict.
    bool rootInTablebase = false;
    std::int32_t rootTablebaseScore = 0;
    // Material of the root position, both sides (pawn 1, knight and bishop 3, rook 5, queen 9):
    // the win/draw/loss model reads it.
    std::int32_t rootMaterial = 0;
    // The root's game is drawn by rule already (fifty moves, a third occurrence, or a dead
    // position): the odds shown are a certain draw whatever the lines score.
    bool rootDrawn = false;
    // The clock's own limit: the time left minus Move Overhead, binding in every iteration (the
    // first one included) of clock play; the largest value when the go gave no clock.
    std::int32_t deadlineMs = INT32_MAX;
    // A limited strength: nodes the search may spend from its second iteration on (0: no such
    // limit), and whether the move choice plays the best line without error.
    std::int64_t strengthNodes = 0;
    bool strengthExact         = false;
    // Under a clock, a limited search that spent its nodes answers no sooner than this many
    // milliseconds after its start: a share of the budget, so it keeps a person's pace.
    std::int32_t strengthPaceMs = 0;
    // A go ponder until its ponderhit: no limit ends it. ponderhitKeepsLimits: the go gave a
    // depth, nodes, mate or move time and no clock, so after ponderhit those limits end it,
    // counted from the go; otherwise ponderhit turns it into clock play.
    bool pondering            = false;
    bool ponderhitKeepsLimits = false;
};

enum RateOfPlay : std::int32_t { SlowRate = 0, NormalRate = 1, FastRate = 2 };

struct EngineOptions {
    std::int32_t hashMegabytes = 16;
    std::int32_t multiPv = 1;
    RateOfPlay rateOfPlay = NormalRate;
    bool chess960 = false; // castling is written and read as the king taking its rook
    // Tablebases: the pieces of the largest loaded table (0: none, and no probe is ever made),
    // and whether a win or loss that the fifty-move rule turns into a draw counts as a draw.
    std::int32_t tablebasePieces = 0;
    bool syzygy50MoveRule = true;
    // Probes only at nodes with at least this much depth left, and only in positions with at
    // most this many pieces (0: no probe at all).
    std::int32_t tablebaseProbeDepth = 1;
    std::int32_t tablebaseProbeLimit = 7;
    std::int32_t threads = 1; // search threads running, the main one included
    std::int32_t threadsRequested = 1; // as the Threads option last asked
    std::int32_t moveOverheadMs = 10; // lost between the answer and the clock stopping
    bool showWdl = false; // lines with a score also give win/draw/loss odds
    // Playing below full strength (search/strength.h); strengthElo counts only while
    // limitStrength is on. A seed of 0 seeds each game from the clock.
    bool limitStrength         = false;
    std::int32_t strengthElo   = 1500;
    std::uint64_t strengthSeed = 0;
};

// Fixed at construction; no option changes them. Depths are in plies.
struct SearchParams {
    float maxExtension = 1.25f;
    float checkExtension = 1.0f;
    float recaptureExtension = 1.0f;
    float seventhRankExtension = 0.7f;
    float singleReplyExtension = 0.5f;
    float qsCheckExtension = 1.0f;
    float passedPawnExtension = 0.7f;
    float qsSingleReplyExtension = 0.1f;
    std::int32_t razorMargin = 300;
    float lmrReduction = 1.0f;
    float lmrMinDepth = 2.5f;
    float iidMinDepth = 3.0f;
    float ttMinDepth = 1.0f;
    float razorMaxDepth = 3.0f;
    float historyPruningMaxDepth = 4.5f;
    float iidReduction = 2.0f;
    float futilityMaxDepth = 3.0f;
    float nullMinDepth = 2.0f;
    float futilityMarginDepth = 2.0f;
    float nullReduction = 3.0f;
    float qsEntryDepth = 1.0f;
    float nullVerifyReduction = 4.0f;
};

// The parameters of one go command; whole numbers are 0 when absent.
struct SearchLimits {
    std::int32_t wtime = 0, btime = 0, winc = 0, binc = 0;
    std::int32_t depth = 0, nodes = 0, mate = 0, movestogo = 0, movetime = 0;
    bool ponder = false, infinite = false;
    MoveList searchmoves; // empty: every legal move
    // Nothing to search (the shell holds no position it was sent): the answer is the null
    // move, after the wait for stop or ponderhit of an infinite or pondering search.
    bool emptyRoot = false;
};

struct SearchState;
struct SearchThreads;

// What the search needs from the shell above it. Every pointer may be null (a test that
// searches without a shell): the search then skips the call.
struct SearchHooks {
    // Set-up of a search: clock, history clear, TTNewSearch, limits, run state, time budget,
    // root list (searchmoves or all legal moves), iteration 1.
    void (*setUp)(SearchState&, const Board&, const SearchLimits&, MoveList& rootMoves);
    // Node countdown reached zero: read pending input, then check clock and limits.
    void (*nodePoll)(SearchState&);
    // After a root move from the fourth iteration on: read pending input.
    void (*rootPoll)(SearchState&);
    // Start of an iteration, after the root moves are ordered: easy move, depth lines.
    void (*iterationStart)(SearchState&, const MoveList& rootMoves);
    // Before a root move is searched (after it is made); number counts from 1.
    void (*currentMove)(SearchState&, Move move, int number);
    // A root move's result: enter it into the MultiPV table and print the lines if it entered.
    void (*rootResult)(SearchState&, int score, Move move);
    // After an iteration searched every root move: rule 1 (mate-iteration sum).
    void (*iterationScored)(SearchState&);
    // After the best line is planted: rules 2 to 4; true ends the search at once.
    bool (*iterationDone)(SearchState&);
    // Iterations ran out: wait for stop or ponderhit where the search must.
    void (*finalWait)(SearchState&);
    // The millisecond clock of the search's limits, for helper threads that watch them too.
    std::uint32_t (*readClock)();
};

struct SearchState {
    std::array<PlyRecord, MaxPly> plies{};
    MultiPvTable multiPv{};
    std::int32_t rootMoveCount = 0;
    SearchControl control{};
    std::uint64_t nodes = 0;
    std::uint64_t tbHits = 0; // tablebase probes that found a result, counted like nodes
    std::int32_t selDepth = 0;
    std::int32_t nullMoveChildPly = -1; // ply of the node a null move was just made into
    EngineOptions options{};
    SearchParams params{};
    std::array<std::int32_t, HistorySize> historyScore{};
    std::array<std::int32_t, HistorySize> cutoffCount{};
    std::array<std::int32_t, HistorySize> failCount{};
    TranspositionTable tt{};
    EvalCache evalCache{}; // emptied whenever the table is
    SearchHooks hooks{};
    // The main thread's state (threadIndex 0) points to its helper threads, or holds nullptr
    // when it searches alone; a helper's state (threadIndex 1 and up) points to the helpers it
    // belongs to.
    SearchThreads* threads = nullptr;
    std::int32_t threadIndex = 0;
    // The weakened move choice: its random source, seeded per game, and the lines of the last
    // iteration that searched every root move.
    std::uint64_t strengthRandom = 0;
    MultiPvTable completedLines{};
};

// Construction of the search state: every default above, the MultiPV places emptied, and a
// cleared transposition table of options.hashMegabytes (16 MB). The state is large (history
// tables): keep it in static or heap storage, never on the stack.
void InitSearchState(SearchState& state);
// Every default of InitSearchState but the table, which is left as it is: for the state of a
// helper thread, which works on the main thread's table.
void InitSearchRecords(SearchState& state);
// Ends the helper threads, if any, and frees the table.
void ReleaseSearchState(SearchState& state);

// Empties the transposition table and the evaluation caches together; the table is cleared by
// as many threads as the search uses.
void ClearSearchTables(SearchState& state);

// Node countdown, run by every alpha-beta and quiescence node: counts the node and, every
// pollInterval + 1 nodes, lets the shell read input and check the limits.
inline void CountNode(SearchState& state) {
    ++state.nodes;
    if (state.control.pollCountdown-- <= 0) {
        state.control.pollCountdown = state.control.pollInterval;
        if (state.hooks.nodePoll)
            state.hooks.nodePoll(state);
    }
}

} // namespace tarvo
