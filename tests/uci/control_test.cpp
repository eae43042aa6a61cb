// Time allocation, search set-up and the stop rules, with the clock supplied by the test; input
// read while a search runs, and the wait after it: what the search acts on, and what it keeps for
// the command loop.

#include "board/fen.h"
#include "search/state.h"
#include "search/threads.h"
#include "support/boards.h"
#include "uci/control.h"
#include "uci/go.h"
#include "uci/io.h"
#include "uci/poll.h"

#include <array>
#include <climits>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace tarvo {
namespace {

using test::Output;

// Worked values of the time plan; Move Overhead caps it at the clock, and short clocks make the
// first poll come sooner.
TEST(AllocateTime, WorkedValuesCappedAtTheClock) {
    const struct {
        int side, wtime, btime, winc, movestogo, overhead;
        int budget, max, deadline, countdown;
        RateOfPlay rate = NormalRate;
        bool ponder     = false;
    } cases[] = {
        {White, 60000, 0, 0, 0, 10, 1940, 6774, 59990, 10000},
        {White, 60000, 0, 1000, 0, 10, 2906, 10029, 59990, 10000},
        {White, 60000, 0, 0, 10, 10, 5900, 17301, 59990, 10000},
        {White, 60000, 0, 0, 0, 10, 2522, 6774, 59990, 10000, NormalRate, true},
        {White, 60000, 0, 0, 40, 10, 1940, 6774, 59990, 10000}, // beyond the rate: as none
        {White, 60000, 0, 0, 0, 10, 2600, 6844, 59990, 10000, SlowRate},
        {White, 60000, 0, 0, 0, 10, 1340, 6711, 59990, 10000, FastRate},
        {Black, 5, 60000, 7, 0, 10, 1940, 6774, 59990, 10000},
        {White, 60000, 0, 0, 1, 5000, 53900, 53900, 55000, 10000},
        {White, 5500, 0, 0, 1, 5000, 500, 500, 500, 5000},
        {Black, 112, 33, 0, 1, 10, 14, 14, 23, 1000}, // ends well inside Black's 33 ms
        {White, 90, 0, 0, 1, 0, 40, 40, 90, 1000},
        {White, 5, 0, 0, 0, 10, -5, -5, -5, 1000},
        {White, 0, 5, 0, 0, 10, 0, 0, INT_MAX, 2500}, // no clock given: nothing to cap
        {White, -1000, 0, 0, 0, 10, -900, -900, INT_MAX, 2500},
        // A short peak halves only the first poll's countdown, a clock near none quarters it.
        {White, 8000, 0, 0, 0, 0, 172, 816, 8000, 10000},
        {White, 7800, 0, 0, 0, 0, 165, 793, 7800, 5000},
        {White, 4400, 0, 0, 0, 0, 74, 404, 4400, 5000},
        {White, 4300, 0, 0, 0, 0, 73, 392, 4300, 2500},
    };
    for (const auto& c : cases) {
        const auto state              = std::make_unique<SearchState>();
        state->options.rateOfPlay     = c.rate;
        state->options.moveOverheadMs = c.overhead;
        state->control.pollInterval = state->control.pollCountdown = 10000;
        Board board{};
        board.sideToMove = static_cast<std::uint8_t>(c.side);
        allocateTime(*state, board, c.wtime, c.btime, c.winc, 0, c.movestogo, c.ponder);
        SCOPED_TRACE(&c - cases);
        const SearchControl& ctl = state->control;
        EXPECT_EQ(std::tuple(ctl.budgetMs, ctl.maxTimeMs, ctl.deadlineMs, ctl.pollCountdown,
                             ctl.pollInterval),
                  std::tuple(c.budget, c.max, c.deadline, c.countdown, 10000));
    }
}

// More time on the clock never means a smaller plan, at any rate, increment, moves to go or
// ponder setting, from a tenth of a second to ten minutes.
TEST(AllocateTime, NeverFallsAsTheClockRises) {
    const auto state              = std::make_unique<SearchState>();
    state->options.moveOverheadMs = 10;
    for (int setting = 0; setting < 36; ++setting) { // rate, increment, moves to go, ponder
        state->options.rateOfPlay = static_cast<RateOfPlay>(setting % 3);
        const int increment       = setting / 3 % 2 * 2000,
                  movesToGo       = std::array{0, 1, 5}[setting / 6 % 3];
        int budget = INT_MIN, max = INT_MIN;
        for (int clock = 100; clock <= 600000; clock += clock < 20000 ? 1 : 97) {
            allocateTime(*state, Board{}, clock, 0, increment, 0, movesToGo, setting >= 18);
            const SearchControl& ctl = state->control;
            ASSERT_TRUE(ctl.budgetMs >= budget && ctl.maxTimeMs >= max) << clock << " " << setting;
            budget = ctl.budgetMs;
            max    = ctl.maxTimeMs;
        }
    }
}

constexpr Move E2E4 = MakeMoveWord(12, 28, Pawn, NoPiece, DoubleStepFlag);
constexpr Move D2D4 = MakeMoveWord(11, 27, Pawn, NoPiece, DoubleStepFlag);

// Every search starts from a cleared state; the limits decide clock play or not, the depth and
// the polls (a clock near none makes the first poll come sooner). The root list keeps the legal
// search moves once in their order, and every move when none of them is legal.
TEST(SearchSetUp, LimitsDecideRunStateDepthPollingAndRootMovesFromAClearedState) {
    const auto state       = std::make_unique<SearchState>();
    const Board board      = test::BoardFrom(StartFen);
    SearchControl& control = state->control;
    MoveList rootMoves;
    state->nodes = state->tt.usedCount = 99;
    state->historyScore[17] = state->cutoffCount[100] = state->failCount[49919] = 5;
    control.bestLineChanges[3] = control.mateIterationSum = 4;

    control.stopPending = true;
    control.easyMove    = 0x123;
    const struct {
        const char* go;
        SearchRunState run;
        int maxDepth, pollInterval, pollCountdown, budget;
    } cases[] = {
        {"", Timed, 63, 10000, 2500, 0}, // no clock at all: budget 0
        {"wtime 60000 winc 10", Timed, 63, 10000, 10000, 1949},
        {"movestogo 5", Timed, 63, 10000, 2500, 0},
        {"depth 4", Untimed, 4, 10000, 2500, 0},
        {"depth 64", Untimed, 63, 10000, 2500, 0},
        {"mate 2", Untimed, 3, 10000, 2500, 0},
        {"depth 2 mate 2", Untimed, 3, 10000, 2500, 0},
        {"depth 7 mate 2", Untimed, 7, 10000, 2500, 0},
        {"mate 40", Untimed, 63, 10000, 2500, 0},
        {"mate 2147483647", Untimed, 63, 10000, 2500, 0},
        {"wtime 60000 nodes 500", Untimed, 63, 500, 500, 1940},
        {"nodes 5000", Untimed, 63, 1000, 250, 0},
        {"movetime 300", Untimed, 63, 10000, 2500, 0},
        {"infinite", Untimed, 63, 10000, 2500, 0},
        {"wtime 60000 ponder", Untimed, 63, 10000, 10000, 2522}, // waits for a ponderhit
    };
    std::uint32_t now = 777;
    for (const auto& c : cases) {
        const SearchLimits limits = parseGoText(c.go, board, false);
        setUpSearchAt(*state, board, limits, rootMoves, ++now);
        SCOPED_TRACE(c.go);
        EXPECT_EQ(std::tuple(control.runState, control.maxDepth, control.pollInterval,
                             control.pollCountdown, control.budgetMs),
                  std::tuple(c.run, c.maxDepth, c.pollInterval, c.pollCountdown, c.budget));
        EXPECT_EQ(control.infiniteOrPonder, limits.infinite || limits.ponder);
        EXPECT_EQ(std::tuple(control.stopPending, control.easyMove, control.startTick,
                             control.lastInfoTick, control.iteration),
                  std::tuple(false, NoMove, now, now, 1));
    }
    EXPECT_EQ(control.mateIterationSum + state->historyScore[17] + state->cutoffCount[100] +
                  state->failCount[49919] + control.bestLineChanges[3],
              -1);
    EXPECT_EQ(state->nodes + state->tt.usedCount, 0u);
    EXPECT_EQ(state->tt.generation, std::size(cases));
    EXPECT_EQ(state->rootMoveCount, 20);
    EXPECT_EQ(control.rootMaterial, 78);
    SearchLimits limits; // e2e5 is no move; e2e4 without its flag is e2e4
    limits.searchmoves.count = 4;
    limits.searchmoves.moves = {D2D4, MakeMoveWord(12, 36, Pawn), MakeMoveWord(12, 28, Pawn), D2D4};
    setUpSearchAt(*state, board, limits, rootMoves, now);
    EXPECT_EQ(std::vector(rootMoves.moves.begin(), rootMoves.moves.begin() + rootMoves.count),
              (std::vector{D2D4, E2E4}));
    limits.searchmoves.count    = 1;
    limits.searchmoves.moves[0] = MakeMoveWord(0, 63, Rook);
    setUpSearchAt(*state, board, limits, rootMoves, now); // nothing legal: every move
    EXPECT_EQ(rootMoves.count, 20u);
}

constexpr std::uint32_t Start = 1000;

// A search under way since `start`.
std::unique_ptr<SearchState> Running(SearchRunState run, int iteration,
                                     std::uint32_t start = Start) {
    auto state               = std::make_unique<SearchState>();
    state->control.runState  = run;
    state->control.iteration = iteration;
    state->control.startTick = state->control.lastInfoTick = start;
    return state;
}

std::string CheckAt(SearchState& state, int elapsed) {
    return Output([&] { checkLimitsAt(state, Start + static_cast<std::uint32_t>(elapsed)); });
}

// The budget waits for iteration 4 and a later root move, the hard limit for iteration 2; the
// clock stops any search on it at its own limit, beside any other limit, and polls come often
// near a limit.
TEST(CheckLimits, DecisionsByRunStateIterationAndLimits) {
    const struct {
        SearchRunState run;
        int iteration;
        std::uint8_t nonFirst, reSearch;
        int extraMs, moveTime, nodeLimit;
        std::uint64_t nodes;
        int maxTime, deadline, elapsed;
        SearchRunState after;
        int countdown;
        bool ponder = false;
    } cases[] = {
        {Timed, 2, 1, 0, 0, 0, 0, 0, 6000, INT_MAX, 5999, Timed, 1000},
        {Timed, 2, 1, 0, 0, 0, 0, 0, 6000, INT_MAX, 6000, Stopped, 1000},
        {Timed, 3, 1, 0, 0, 0, 0, 0, 6000, INT_MAX, 2500, Timed, 10000},
        {Timed, 4, 0, 0, 0, 0, 0, 0, 6000, INT_MAX, 2500, Timed, 10000}, // the first root move
        {Timed, 4, 1, 1, 0, 0, 0, 0, 6000, INT_MAX, 2500, Timed, 10000}, // a re-search
        {Timed, 4, 1, 0, 0, 0, 0, 0, 6000, INT_MAX, 1999, Timed, 10000},
        {Timed, 4, 1, 0, 0, 0, 0, 0, 6000, INT_MAX, 2000, Stopped, 10000},
        {Timed, 5, 1, 0, 500, 0, 0, 0, 6000, INT_MAX, 2499, Timed, 10000},
        {Timed, 5, 1, 0, 500, 0, 0, 0, 6000, INT_MAX, 2500, Stopped, 10000},
        {Untimed, 1, 0, 0, 0, 300, 0, 0, 6000, INT_MAX, 299, Untimed, 10000},
        {Untimed, 1, 0, 0, 0, 300, 0, 0, 6000, INT_MAX, 300, Stopped, 10000},
        {Untimed, 1, 0, 0, 0, 0, 500, 499, 6000, INT_MAX, 10, Untimed, 10000},
        {Untimed, 1, 0, 0, 0, 0, 500, 500, 6000, INT_MAX, 10, Stopped, 10000},
        {Untimed, 10, 1, 0, 0, 0, 0, 1u << 30, 6000, INT_MAX, 100000000, Untimed, 10000},
        {Timed, 1, 0, 0, 0, 0, 0, 0, 23, 23, 22, Timed, 1000},
        {Timed, 1, 0, 0, 0, 0, 0, 0, 23, 23, 23, Stopped, 1000},
        {Timed, 1, 0, 0, 0, 0, 0, 0, 5000, 9000, 8899, Timed, 10000},
        {Timed, 1, 0, 0, 0, 0, 0, 0, 5000, 9000, 8901, Timed, 1000},
        {Timed, 2, 0, 0, 0, 0, 0, 0, 5000, 9000, 4899, Timed, 10000},
        {Timed, 2, 0, 0, 0, 0, 0, 0, 5000, 9000, 4901, Timed, 1000},
        {Timed, 1, 0, 0, 0, 0, 0, 0, 0, INT_MAX, 100000, Timed, 10000}, // no clock
        // go depth 30 wtime 33 btime 33; a pondering search is not on its clock yet.
        {Untimed, 1, 0, 0, 0, 0, 0, 0, 23, 23, 22, Untimed, 1000},
        {Untimed, 3, 0, 0, 0, 0, 0, 0, 23, 23, 23, Stopped, 1000},
        {Untimed, 1, 0, 0, 0, 0, 0, 0, 23, 23, 500, Untimed, 10000, true},
        // Nor does pondering end at its go's move time or nodes: they count from ponderhit.
        {Untimed, 2, 0, 0, 0, 300, 0, 0, 6000, INT_MAX, 5000, Untimed, 10000, true},
        {Untimed, 2, 0, 0, 0, 0, 500, 800, 6000, INT_MAX, 10, Untimed, 10000, true},
    };
    for (const auto& c : cases) {
        const auto state     = Running(c.run, c.iteration);
        SearchControl& ctl   = state->control;
        ctl.budgetMs         = 2000;
        ctl.maxTimeMs        = c.maxTime;
        ctl.deadlineMs       = c.deadline;
        ctl.pollCountdown    = 10000;
        ctl.infiniteOrPonder = c.ponder;
        ctl.pondering        = c.ponder;
        ctl.nonFirst         = c.nonFirst;
        ctl.reSearch         = c.reSearch;
        ctl.extraMs          = c.extraMs;
        ctl.moveTime         = c.moveTime;
        ctl.nodeLimit        = c.nodeLimit;
        state->nodes         = c.nodes;
        CheckAt(*state, c.elapsed);
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(ctl.runState, c.after);
        EXPECT_EQ(ctl.pollCountdown, c.countdown);
        EXPECT_EQ(ctl.nowTick, Start + static_cast<std::uint32_t>(c.elapsed));
    }
    const auto state         = Running(Timed, 2, 0xfffff000u);
    state->control.maxTimeMs = 6000;
    checkLimitsAt(*state, 0x00000100u); // 4352 ms after the start, past the clock's wrap
    EXPECT_EQ(state->control.runState, Timed);
    checkLimitsAt(*state, 0x00000800u); // 6144 ms
    EXPECT_EQ(state->control.runState, Stopped);
}

// What helper threads published counts in the node limit and the periodic lines.
TEST(CheckLimits, NodeLimitAndPeriodicLinesCountEveryThread) {
    const auto state     = Running(Untimed, 1);
    state->nodes         = 5000;
    state->tt.entryCount = 1000;
    state->tt.usedCount  = 253;
    // About once a second; a start read after the clock: short times divide by 128; no table
    // reads a share of 0.
    EXPECT_EQ(CheckAt(*state, 1024), "");
    EXPECT_EQ(CheckAt(*state, 1025), "info hashfull 253\ninfo time 1025 nodes 5000 nps 4878\n");
    EXPECT_EQ(CheckAt(*state, 2049), "");
    state->control.startTick = Start + 3000;
    state->tt.entryCount     = 0;
    EXPECT_EQ(CheckAt(*state, 2050), "info hashfull 0\ninfo time -950 nodes 5000 nps 39062\n");
    state->control.startTick = state->control.lastInfoTick = Start;
    state->tt.entryCount                                   = 1000;
    SetSearchThreads(*state, 3);
    ASSERT_NE(state->threads, nullptr);
    SearchControl& ctl    = state->control;
    ctl.nodeLimit         = 1000;
    state->nodes          = 400;
    auto& helpers         = state->threads->helpers;
    helpers[0]->nodes     = 300;
    helpers[0]->tableUsed = 100;
    EXPECT_EQ(CheckAt(*state, 10), "");
    EXPECT_EQ(ctl.runState, Untimed);
    state->options.tablebasePieces = 3;
    state->tbHits                  = 5;
    helpers[1]->tbHits             = 7;
    helpers[1]->nodes              = 300;
    // An entry stamped by two threads at once may count twice.
    helpers[1]->tableUsed = 900;
    EXPECT_EQ(CheckAt(*state, 2000),
              "info hashfull 1000\ninfo time 2000 nodes 1000 nps 500 tbhits 12\n");
    EXPECT_EQ(ctl.runState, Stopped);
    SetSearchThreads(*state, 1);
}

// A mate score counts its iteration towards the mate sum, either side's mate.
TEST(IterationRules, WhenClockPlayEndsAndWhichMoveIsEasy) {
    const struct {
        int iteration, score, previous;
        SearchRunState run;
        int changes, mateSum, rootMoves, budget;
        bool easy, stop;
        int elapsed;
        bool done;
        int extraMs;
    } cases[] = {
        {4, 10, 0, Timed, 0, 0, 20, 1000, false, false, 600, false, 0}, // 60% of the budget
        {4, 10, 0, Timed, 0, 0, 20, 1000, false, false, 601, true, 0},
        {3, 10, 0, Timed, 0, 0, 20, 1000, false, false, 100000, false, 0}, // too early
        {9, 10, 0, Untimed, 0, 40, 1, 1000, false, false, 100000, false, 0},
        {4, 32699, 0, Timed, 0, 6, 20, 1000, false, false, 0, false, 0}, // mate sum above 6
        {5, 32699, 0, Timed, 0, 7, 20, 1000, false, false, 0, true, 0},
        {4, 0, 0, Timed, 0, 0, 1, 1000, false, false, 0, true, 0},        // a single root move
        {4, 10, 0, Timed, 2, 0, 20, 1000, false, false, 960, false, 600}, // best line changes
        {5, 10, 0, Timed, 2, 0, 20, 1000, false, false, 961, true, 600},
        {6, 10, 0, Timed, -1, 0, 20, 1000, false, false, 420, false, -300}, // no new best line
        {7, 10, 0, Timed, -1, 0, 20, 1000, false, false, 421, true, -300},
        {4, 10, 0, Timed, 50, 0, 20, 2000000000, false, false, 0, false, INT_MAX},
        {4, 50, 100, Timed, 0, 0, 20, 1000, false, false, 0, false, 0}, // a drop of 50: nothing
        {5, -1, 100, Timed, 1, 0, 20, 1000, false, false, 0, false, 300 + 900},
        {4, 10, 0, Timed, 0, 0, 20, 1000, true, false, 100, false, 0}, // easy move: 10%
        {5, 10, 0, Timed, 0, 0, 20, 1000, true, false, 101, true, 0},
        {1, 10, 0, Untimed, 0, 0, 20, 1000, false, true, 0, true, 0}, // stop from iteration 1
    };
    for (const auto& c : cases) {
        const auto state                 = Running(c.run, c.iteration);
        SearchControl& ctl               = state->control;
        ctl.budgetMs                     = c.budget;
        ctl.maxTimeMs                    = 5000;
        ctl.mateIterationSum             = c.mateSum;
        ctl.easyMove                     = c.easy ? 0x123 : NoMove;
        ctl.stopPending                  = c.stop;
        ctl.previousBestScore            = c.previous;
        ctl.bestLineChanges[c.iteration] = c.changes;
        state->rootMoveCount             = c.rootMoves;
        state->multiPv.score[0]          = c.score;
        SCOPED_TRACE(&c - cases);
        EXPECT_EQ(iterationDoneAt(*state, Start + static_cast<std::uint32_t>(c.elapsed)), c.done);
        EXPECT_EQ(ctl.iteration, c.done ? c.iteration : c.iteration + 1);
        EXPECT_EQ(ctl.previousBestScore, c.stop ? c.previous : c.score);
        EXPECT_EQ(ctl.extraMs, c.extraMs);
    }
    const auto state = Running(Timed, 1);
    for (const auto& [iteration, score] : {std::pair{2, 32699}, {3, -32698}, {4, 32635}}) {
        state->control.iteration = iteration;
        state->multiPv.score[0]  = score;
        iterationScored(*state);
    }
    EXPECT_EQ(state->control.mateIterationSum, 2 + 3);
    // The easy move is set at iteration 2 by a gap of 150, and cleared for good. The root list as
    // ordered by the previous iteration's keys:
    const auto after = [&](int iteration, int firstKey, int secondKey, Move first = E2E4,
                           std::uint32_t count = 2) {
        MoveList root;
        root.count               = count;
        root.moves               = {first, first == E2E4 ? D2D4 : E2E4};
        root.score               = {firstKey, secondKey};
        state->control.iteration = iteration;
        updateEasyMove(*state, root);
        return state->control.easyMove;
    };
    EXPECT_EQ(after(2, 65402 + 200, 65402 + 50), E2E4);
    EXPECT_EQ(after(2, 65402 + 200, 65402 + 51), NoMove);
    EXPECT_EQ(after(2, 65402 - 20, 65402 - 170), E2E4);
    EXPECT_EQ(after(3, 2 * 65402 + 10, 2 * 65402), E2E4); // kept while best
    EXPECT_EQ(after(4, 3 * 65402 + 10, 3 * 65402, D2D4), NoMove);
    EXPECT_EQ(after(5, 4 * 65402 + 400, 4 * 65402), NoMove);
    state->control.easyMove = E2E4;
    EXPECT_EQ(after(1, 1000, 0), NoMove);
    EXPECT_EQ(after(2, 65402, 0, E2E4, 1), E2E4); // a lone move
}

constexpr const char* Exits = nullptr; // the process ends with status 0

// What the command loop reads afterwards, line by line.
std::string LoopReads() {
    std::string text;
    static char line[CommandLineCapacity];
    while (readLine(line, CommandLineCapacity) >= 0)
        text += line;
    return text;
}

// More lines than the input buffer holds at once.
const std::string ManyLines = [] {
    std::string text;
    while (text.size() < (std::size_t{3} << 20) / 2)
        text += "position startpos\n";
    return text + "stop\n";
}();

// The polls during a search act on stop, ponderhit, quit and isready and keep the rest for the
// command loop; after the last iteration an infinite or pondering search waits for stop or
// ponderhit (polls 0).
TEST(PollInput, ActsOnStopPonderhitQuitIsreadyAndKeepsTheRest) {
    const std::string longLine = std::string(70000, 'x') + "stop\nisready\n";
    const std::string crlf     = "position startpos\r\n" + std::string(20000, 'y') + "\r\nlast";
    const struct {
        SearchRunState run;
        int iteration;
        bool infinite; // go infinite or go ponder
        std::string input;
        std::size_t chunk; // bytes the input hands over per read
        int polls;
        const char* output;
        SearchRunState runAfter;
        bool stopPending;
        std::string unread;
        bool stopBefore  = false; // a stop read in iteration 1
        bool keepsLimits = false; // go ponder with depth, nodes or movetime and no clock
    } cases[] = {
        {Untimed, 1, true, "stop\n", 64, 1, "", Untimed, true, ""}, // kept for iteration 1's end
        {Timed, 2, false, "stop now\n", 64, 1, "", Stopped, false, ""},
        // Half a line waits for its end; a first word is a whole word.
        {Timed, 2, false, "stop\n", 2, 2, "", Timed, false, "stop\n"},
        {Timed, 2, false, "stop\n", 2, 3, "", Stopped, false, ""},
        {Timed, 2, false, "   stop\nstopped\nponderhitx\n", 64, 1, "", Timed, false,
         "   stop\nstopped\nponderhitx\n"},
        {Untimed, 3, true, "ponderhit\n", 64, 1, "", Timed, false, ""},
        {Untimed, 3, false, "ponderhit\n", 64, 1, "", Untimed, false, ""},
        // A ponderhit leaves the go's own limits in force; the lines after a stop are the loop's.
        {Untimed, 3, true, "ponderhit\n", 64, 1, "", Untimed, false, "", false, true},
        {Timed, 2, false, "stop\nisready\nquit\n", 64, 1, "", Stopped, false, "isready\nquit\n"},
        {Stopped, 3, true, "ponderhit\nquit\n", 64, 1, "", Stopped, false, "ponderhit\nquit\n"},
        {Untimed, 4, false, "position startpos\nsetoption name Hash value 64\nisready\n", 64, 1,
         "readyok\n", Untimed, false, "position startpos\nsetoption name Hash value 64\n"},
        // Windows line ends read as plain ones, and the last line needs no end.
        {Timed, 2, false, crlf, 7, 1, "", Timed, false,
         "position startpos\n" + std::string(20000, 'y') + "\nlast"},
        // A long line is kept in pieces, each a line of its own.
        {Untimed, 4, false, longLine, 4096, 30, "readyok\n", Untimed, false,
         std::string(70000, 'x') + "stop\n"},
        // After a kept go, stop and quit are that search's; isready is still answered.
        {Untimed, 4, true, "position startpos\ngo depth 3\nstop\nquit\nisready\n", 64, 1,
         "readyok\n", Untimed, false, "position startpos\ngo depth 3\nstop\nquit\n"},
        {Timed, 2, false, "setoption name quitter\n", 64, 1, "", Timed, false,
         "setoption name quitter\n"},
        // The end of input stops a search without end, and leaves a limited one running.
        {Untimed, 4, true, "", 64, 2, "", Stopped, false, ""},
        {Untimed, 1, true, "", 64, 2, "", Untimed, true, ""},
        {Untimed, 4, false, "", 64, 2, "", Untimed, false, ""},
        {Timed, 2, false, "quit\n", 64, 1, Exits, Timed, false, ""},
        // The final wait (no polls).
        {Untimed, 9, true, "position startpos\nisready\ngo depth 3\nstop\nisready\n", 5, 0,
         "readyok\nreadyok\n", Untimed, false, "position startpos\ngo depth 3\nstop\n"},
        {Untimed, 9, true, "ponderhit\ngo\n", 5, 0, "", Timed, false, "go\n"},
        {Untimed, 9, true, "", 5, 0, "", Untimed, false, ""}, // the end of input ends the wait
        {Untimed, 9, false, "stop\n", 5, 0, "", Untimed, false, "stop\n"},
        {Timed, 9, true, "stop\n", 5, 0, "", Timed, false, "stop\n"}, // pondering became clock play
        {Untimed, 9, true, "stop\n", 5, 0, "", Untimed, true, "stop\n", true},
        {Untimed, 9, true, "isready\nquit\n", 5, 0, Exits, Untimed, false, ""},
        // A buffer full of kept lines ends the wait rather than spinning on it.
        {Untimed, 9, true, ManyLines, 5, 0, "", Untimed, false, ManyLines},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input.substr(0, 60));
        const auto state = std::make_unique<SearchState>();
        state->control   = {.iteration            = c.iteration,
                            .runState             = c.run,
                            .infiniteOrPonder     = c.infinite,
                            .stopPending          = c.stopBefore,
                            .pondering            = c.keepsLimits,
                            .ponderhitKeepsLimits = c.keepsLimits};
        useInputText(c.input, c.chunk);
        const auto run = [&] {
            if (c.polls == 0)
                finalWait(*state);
            for (int i = 0; i < c.polls; ++i)
                pollInput(*state);
        };
        if (c.output == Exits) {
            EXPECT_EXIT(run(), ::testing::ExitedWithCode(0), "");
            continue;
        }
        EXPECT_EQ(Output(run), c.output);
        EXPECT_EQ(state->control.runState, c.runAfter);
        EXPECT_EQ(state->control.stopPending, c.stopPending);
        EXPECT_EQ(state->control.infiniteOrPonder, c.infinite && !c.keepsLimits);
        EXPECT_EQ(LoopReads(), c.unread);
    }
    useStandardInput();
}

} // namespace
} // namespace tarvo
