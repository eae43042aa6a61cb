#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "board/fen.h"
#include "search/state.h"
#include "uci/control.h"
#include "uci/stdio_pipes.h"

namespace tarvo {
namespace {

std::unique_ptr<SearchState> makeState() {
    return std::make_unique<SearchState>();
}

Board boardWithSideToMove(int side) {
    Board board{};
    board.sideToMove = static_cast<std::uint8_t>(side);
    return board;
}

struct Budget {
    int budgetMs;
    int maxTimeMs;
};

Budget budgetFor(RateOfPlay rate, int wtime, int winc, int movestogo, bool ponder) {
    auto state                = makeState();
    state->options.rateOfPlay = rate;
    const Board board         = boardWithSideToMove(White);
    allocateTime(*state, board, wtime, 0, winc, 0, movestogo, ponder);
    return {state->control.budgetMs, state->control.maxTimeMs};
}

void expectBudget(Budget budget, int budgetMs, int maxTimeMs) {
    EXPECT_EQ(budget.budgetMs, budgetMs);
    EXPECT_EQ(budget.maxTimeMs, maxTimeMs);
}

TEST(AllocateTime, WorkedValuesOfNormalRate) {
    expectBudget(budgetFor(NormalRate, 60000, 0, 0, false), 1940, 6774);
    expectBudget(budgetFor(NormalRate, 60000, 1000, 0, false), 2906, 10029);
    expectBudget(budgetFor(NormalRate, 60000, 0, 10, false), 5900, 17301);
    expectBudget(budgetFor(NormalRate, 60000, 0, 1, false), 53900, 53900);
    expectBudget(budgetFor(NormalRate, 60000, 0, 0, true), 2522, 6774);
}

TEST(AllocateTime, MovesToGoBeyondTheRateCountsAsNone) {
    expectBudget(budgetFor(NormalRate, 60000, 0, 40, false), 1940, 6774);
    expectBudget(budgetFor(NormalRate, 60000, 0, -3, false), 1940, 6774);
}

TEST(AllocateTime, RateOfPlaySetsTheShareOfTheClock) {
    expectBudget(budgetFor(SlowRate, 60000, 0, 0, false), 2600, 6844);
    expectBudget(budgetFor(FastRate, 60000, 0, 0, false), 1340, 6711);
}

TEST(AllocateTime, BlackToMoveUsesBlacksClock) {
    auto state        = makeState();
    const Board board = boardWithSideToMove(Black);
    allocateTime(*state, board, 5, 60000, 7, 0, 0, false);
    EXPECT_EQ(state->control.budgetMs, 1940);
    EXPECT_EQ(state->control.maxTimeMs, 6774);
}

TEST(AllocateTime, NegativeClockGivesNegativeBudget) {
    const Budget budget = budgetFor(NormalRate, -1000, 0, 0, false);
    EXPECT_LT(budget.budgetMs, 0);
    EXPECT_LT(budget.maxTimeMs, 0);
}

TEST(AllocateTime, ShortPeakHalvesOnlyTheFirstPollCountdown) {
    const Board board = boardWithSideToMove(White);
    auto pollAfter    = [&](int wtime) {
        auto state                   = makeState();
        state->control.pollInterval  = 10000;
        state->control.pollCountdown = 10000;
        allocateTime(*state, board, wtime, 0, 0, 0, 0, false);
        EXPECT_EQ(state->control.pollInterval, 10000);
        return state->control.pollCountdown;
    };
    EXPECT_EQ(pollAfter(8000), 10000); // peak 816
    EXPECT_EQ(pollAfter(7800), 5000);  // peak 793
    EXPECT_EQ(pollAfter(4400), 5000);  // peak 404
    EXPECT_EQ(pollAfter(4300), 2500);  // peak 392
    EXPECT_EQ(pollAfter(0), 2500);
}

// Set-up ---------------------------------------------------------------------------------

struct SetUpFixture : ::testing::Test {
    std::unique_ptr<SearchState> state = makeState();
    Board board{};
    MoveList rootMoves;
    SearchLimits limits;

    void SetUp() override { ASSERT_TRUE(SetFromFen(board, StartFen)); }
    SearchControl& control() { return state->control; }
    void setUp(std::uint32_t now = 5000) { setUpSearchAt(*state, board, limits, rootMoves, now); }
};

using SearchSetUp = SetUpFixture;

TEST_F(SearchSetUp, PlainGoIsTimedClockPlay) {
    state->nodes               = 1234;
    state->selDepth            = 9;
    control().mateIterationSum = 5;
    control().stopPending      = true;
    control().easyMove         = 0x123;
    setUp(777);
    EXPECT_EQ(control().runState, Timed);
    EXPECT_FALSE(control().infiniteOrPonder);
    EXPECT_FALSE(control().stopPending);
    EXPECT_EQ(control().easyMove, NoMove);
    EXPECT_EQ(control().startTick, 777u);
    EXPECT_EQ(control().nowTick, 777u);
    EXPECT_EQ(control().lastInfoTick, 777u);
    EXPECT_EQ(control().maxDepth, 63);
    EXPECT_EQ(control().iteration, 1);
    EXPECT_EQ(control().pollInterval, 10000);
    EXPECT_EQ(state->nodes, 0u);
    EXPECT_EQ(state->selDepth, 0);
    EXPECT_EQ(control().mateIterationSum, 0);
    // No clock at all: budget 0 and the first poll comes four times sooner.
    EXPECT_EQ(control().budgetMs, 0);
    EXPECT_EQ(control().pollCountdown, 2500);
}

TEST_F(SearchSetUp, EachLimitMakesTheSearchUntimed) {
    const auto runStateWith = [&](auto&& change) {
        limits = SearchLimits{};
        change(limits);
        setUp();
        return control().runState;
    };
    EXPECT_EQ(runStateWith([](SearchLimits& l) {
                  l.wtime = 60000;
                  l.winc  = 10;
              }),
              Timed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.movestogo = 5; }), Timed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.depth = 4; }), Untimed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.mate = 1; }), Untimed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.nodes = 100; }), Untimed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.movetime = 100; }), Untimed);
    EXPECT_EQ(runStateWith([](SearchLimits& l) { l.infinite = true; }), Untimed);
    EXPECT_TRUE(control().infiniteOrPonder);
    EXPECT_EQ(runStateWith([](SearchLimits& l) {
                  l.ponder = true;
                  l.wtime  = 60000;
              }),
              Untimed);
    EXPECT_TRUE(control().infiniteOrPonder);
    EXPECT_EQ(control().budgetMs, 2522); // the ponder budget waits for a ponderhit
}

TEST_F(SearchSetUp, NodeLimitSetsThePollInterval) {
    limits.wtime = 60000; // enough time that the first poll is not shortened
    limits.nodes = 500;
    setUp();
    EXPECT_EQ(control().pollInterval, 500);
    EXPECT_EQ(control().pollCountdown, 500);
    EXPECT_EQ(control().nodeLimit, 500);
    limits.nodes = 5000;
    setUp();
    EXPECT_EQ(control().pollInterval, 1000);
    EXPECT_EQ(control().nodeLimit, 5000);
    limits.nodes    = 0;
    limits.movetime = 300;
    setUp();
    EXPECT_EQ(control().pollInterval, 10000);
    EXPECT_EQ(control().moveTime, 300);
}

TEST_F(SearchSetUp, MaximumDepthFromDepthAndMate) {
    const auto depthWith = [&](int depth, int mate) {
        limits.depth = depth;
        limits.mate  = mate;
        setUp();
        return control().maxDepth;
    };
    EXPECT_EQ(depthWith(5, 0), 5);
    EXPECT_EQ(depthWith(0, 2), 3);
    EXPECT_EQ(depthWith(2, 2), 3);
    EXPECT_EQ(depthWith(7, 2), 7);
    EXPECT_EQ(depthWith(0, 0), 63);
    EXPECT_EQ(depthWith(63, 0), 63);
    EXPECT_EQ(depthWith(64, 0), 63);
    EXPECT_EQ(depthWith(0, 40), 63);
    EXPECT_EQ(depthWith(0, INT_MAX), 63);
}

TEST_F(SearchSetUp, ClearsHistoryAndStartsATableGeneration) {
    state->historyScore[17]      = 5;
    state->cutoffCount[100]      = 6;
    state->failCount[49919]      = 7;
    state->tt.generation         = 7;
    state->tt.usedCount          = 99;
    control().bestLineChanges[3] = 4;
    setUp();
    EXPECT_EQ(state->historyScore[17], 0);
    EXPECT_EQ(state->cutoffCount[100], 0);
    EXPECT_EQ(state->failCount[49919], 0);
    EXPECT_EQ(state->tt.generation, 8);
    EXPECT_EQ(state->tt.usedCount, 0u);
    for (int count : control().bestLineChanges)
        EXPECT_EQ(count, -1);
}

constexpr Move E2E4 = MakeMoveWord(12, 28, Pawn, NoPiece, DoubleStepFlag);
constexpr Move D2D4 = MakeMoveWord(11, 27, Pawn, NoPiece, DoubleStepFlag);

TEST_F(SearchSetUp, RootListHoldsEveryLegalMoveWithoutSearchMoves) {
    setUp();
    EXPECT_EQ(rootMoves.count, 20u);
    EXPECT_EQ(state->rootMoveCount, 20);
    for (std::uint32_t i = 0; i < rootMoves.count; ++i)
        EXPECT_EQ(rootMoves.score[i], 0);
}

TEST_F(SearchSetUp, RootListKeepsLegalSearchMovesOnceInTheirOrder) {
    limits.searchmoves.count    = 4;
    limits.searchmoves.moves[0] = D2D4;
    limits.searchmoves.moves[1] = MakeMoveWord(12, 36, Pawn); // e2e5: not a legal move
    limits.searchmoves.moves[2] = MakeMoveWord(12, 28, Pawn); // e2e4 without its flag
    limits.searchmoves.moves[3] = D2D4;
    setUp();
    ASSERT_EQ(rootMoves.count, 2u);
    EXPECT_EQ(state->rootMoveCount, 2);
    EXPECT_EQ(rootMoves.moves[0], D2D4);
    EXPECT_EQ(rootMoves.moves[1], E2E4);
}

TEST_F(SearchSetUp, SearchMovesWithoutALegalMoveSearchEverything) {
    limits.searchmoves.count    = 1;
    limits.searchmoves.moves[0] = MakeMoveWord(0, 63, Rook);
    setUp();
    EXPECT_EQ(rootMoves.count, 20u);
}

TEST_F(SearchSetUp, MatedSideHasAnEmptyRootList) {
    ASSERT_TRUE(SetFromFen(board, "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1"));
    setUp();
    EXPECT_EQ(rootMoves.count, 0u);
    EXPECT_EQ(state->rootMoveCount, 0);
}

// checkLimits ------------------------------------------------------------------------------

struct LimitsFixture : ::testing::Test {
    std::unique_ptr<SearchState> state   = makeState();
    static constexpr std::uint32_t Start = 1000;

    SearchControl& control() { return state->control; }
    void start(SearchRunState runState, int iteration) {
        control().runState     = runState;
        control().iteration    = iteration;
        control().startTick    = Start;
        control().lastInfoTick = Start;
        control().budgetMs     = 2000;
        control().maxTimeMs    = 6000;
        control().extraMs      = 0;
        control().nonFirst     = 0;
        control().reSearch     = 0;
    }
    SearchRunState checkAt(int elapsed) {
        checkLimitsAt(*state, Start + static_cast<std::uint32_t>(elapsed));
        return control().runState;
    }
};

using CheckLimits = LimitsFixture;

TEST_F(CheckLimits, TimedFirstIterationIsNeverStopped) {
    start(Timed, 1);
    control().nonFirst = 1;
    EXPECT_EQ(checkAt(1000000), Timed);
}

TEST_F(CheckLimits, TimedSecondIterationStopsAtTheHardLimit) {
    start(Timed, 2);
    control().nonFirst = 1;
    EXPECT_EQ(checkAt(5999), Timed); // past the budget, but the budget waits for iteration 4
    EXPECT_EQ(checkAt(6000), Stopped);
    EXPECT_EQ(control().nowTick, Start + 6000);
}

TEST_F(CheckLimits, TimedBudgetStopsOnlyWhileLaterMovesAreTested) {
    start(Timed, 3);
    control().nonFirst = 1;
    EXPECT_EQ(checkAt(2500), Timed);

    start(Timed, 4);
    EXPECT_EQ(checkAt(2500), Timed); // first root move
    control().nonFirst = 1;
    control().reSearch = 1;
    EXPECT_EQ(checkAt(2500), Timed); // re-search of a move that failed high
    control().reSearch = 0;
    EXPECT_EQ(checkAt(1999), Timed);
    EXPECT_EQ(checkAt(2000), Stopped);
}

TEST_F(CheckLimits, TimedBudgetIncludesExtraTime) {
    start(Timed, 5);
    control().nonFirst = 1;
    control().extraMs  = 500;
    EXPECT_EQ(checkAt(2499), Timed);
    EXPECT_EQ(checkAt(2500), Stopped);
}

TEST_F(CheckLimits, UntimedStopsAtMoveTimeInAnyIteration) {
    start(Untimed, 1);
    control().moveTime = 300;
    EXPECT_EQ(checkAt(299), Untimed);
    EXPECT_EQ(checkAt(300), Stopped);
}

TEST_F(CheckLimits, UntimedStopsAtTheNodeLimit) {
    start(Untimed, 1);
    control().nodeLimit = 500;
    state->nodes        = 499;
    EXPECT_EQ(checkAt(10), Untimed);
    state->nodes = 500;
    EXPECT_EQ(checkAt(10), Stopped);
}

TEST_F(CheckLimits, UntimedWithoutLimitsIgnoresTheClock) {
    start(Untimed, 10);
    control().nonFirst = 1;
    state->nodes       = 1u << 30;
    EXPECT_EQ(checkAt(100000000), Untimed);
}

TEST_F(CheckLimits, ElapsedTimeSurvivesTheClockWrap) {
    start(Timed, 2);
    control().startTick    = 0xfffff000u;
    control().lastInfoTick = 0xfffff000u;
    checkLimitsAt(*state, 0x00000100u); // 4352 ms after the start
    EXPECT_EQ(control().runState, Timed);
    checkLimitsAt(*state, 0x00000800u); // 6144 ms after the start
    EXPECT_EQ(control().runState, Stopped);
}

TEST_F(CheckLimits, PeriodicLinesAboutOnceASecond) {
    start(Untimed, 1);
    state->nodes         = 5000;
    state->tt.entryCount = 1000;
    state->tt.usedCount  = 253;
    {
        pipes::StdoutCapture capture;
        checkAt(1024);
        EXPECT_EQ(capture.text(), "");
    }
    {
        pipes::StdoutCapture capture;
        checkAt(1025);
        EXPECT_EQ(capture.text(), "info hashfull 253\ninfo time 1025 nodes 5000 nps 4878\n");
    }
    EXPECT_EQ(control().lastInfoTick, Start + 1025);
    {
        pipes::StdoutCapture capture;
        checkAt(2049);
        EXPECT_EQ(capture.text(), "");
    }
}

TEST_F(CheckLimits, PeriodicNpsDividesShortTimesBy128) {
    start(Untimed, 1);
    state->nodes        = 1000;
    control().startTick = Start + 2000; // a clock reading taken before the start
    pipes::StdoutCapture capture;
    checkAt(1025);
    // No table yet: the share reads 0 rather than a division by zero.
    EXPECT_EQ(capture.text(), "info hashfull 0\ninfo time -975 nodes 1000 nps 7812\n");
}

// Rules between iterations -----------------------------------------------------------------

struct IterationFixture : ::testing::Test {
    std::unique_ptr<SearchState> state   = makeState();
    static constexpr std::uint32_t Start = 50;

    SearchControl& control() { return state->control; }
    // An iteration of clock play with budget 1000 has just completed with the given best score.
    void complete(int iteration, int bestScore, SearchRunState runState = Timed) {
        control().runState      = runState;
        control().iteration     = iteration;
        control().startTick     = Start;
        control().budgetMs      = 1000;
        control().maxTimeMs     = 5000;
        state->rootMoveCount    = 20;
        state->multiPv.score[0] = bestScore;
    }
    bool doneAt(int elapsed) {
        return iterationDoneAt(*state, Start + static_cast<std::uint32_t>(elapsed));
    }
};

using IterationRules = IterationFixture;

TEST_F(IterationRules, MateScoresAddTheirIterationNumbers) {
    complete(2, 32699);
    iterationScored(*state);
    complete(3, -32698);
    iterationScored(*state);
    complete(4, 32635);
    iterationScored(*state);
    EXPECT_EQ(control().mateIterationSum, 5);
}

TEST_F(IterationRules, SixtyPercentOfTheBudgetEndsClockPlay) {
    complete(4, 10);
    control().bestLineChanges[4] = 0;
    EXPECT_FALSE(doneAt(600));
    EXPECT_EQ(control().iteration, 5);
    EXPECT_EQ(control().nowTick, Start + 600);
    complete(4, 10);
    EXPECT_TRUE(doneAt(601));
    EXPECT_EQ(control().iteration, 4);
}

TEST_F(IterationRules, EarlyIterationsAndUntimedSearchesGoOn) {
    complete(3, 10);
    EXPECT_FALSE(doneAt(100000));
    EXPECT_EQ(control().iteration, 4);
    complete(9, 10, Untimed);
    control().mateIterationSum = 40;
    state->rootMoveCount       = 1;
    EXPECT_FALSE(doneAt(100000));
    EXPECT_EQ(control().iteration, 10);
}

TEST_F(IterationRules, MateSumAboveSixEndsClockPlay) {
    complete(4, 32699);
    control().bestLineChanges[4] = 0;
    control().mateIterationSum   = 6;
    EXPECT_FALSE(doneAt(0));
    complete(5, 32699);
    control().mateIterationSum = 7;
    EXPECT_TRUE(doneAt(0));
}

TEST_F(IterationRules, SingleRootMoveEndsClockPlayAfterIterationFour) {
    complete(4, 0);
    state->rootMoveCount = 1;
    EXPECT_TRUE(doneAt(0));
}

TEST_F(IterationRules, BestLineChangesGrantExtraTime) {
    complete(4, 10);
    control().bestLineChanges[4] = 2; // extraMs 600: the search may run to 960 ms
    EXPECT_FALSE(doneAt(960));
    EXPECT_EQ(control().extraMs, 600);
    complete(5, 10);
    control().bestLineChanges[5] = 2;
    EXPECT_TRUE(doneAt(961));
    // An iteration that entered no best line counts -1 changes: less time, not more.
    complete(6, 10);
    control().bestLineChanges[6] = -1;
    EXPECT_FALSE(doneAt(420));
    EXPECT_EQ(control().extraMs, -300);
    complete(7, 10);
    control().bestLineChanges[7] = -1;
    EXPECT_TRUE(doneAt(421));
}

TEST_F(IterationRules, ScoreDropOfMoreThanFiftyGrantsExtraTime) {
    complete(3, 100);
    EXPECT_FALSE(doneAt(0));
    EXPECT_EQ(control().previousBestScore, 100);
    complete(4, 50);
    control().bestLineChanges[4] = 0;
    EXPECT_FALSE(doneAt(0));
    EXPECT_EQ(control().extraMs, 0);
    complete(5, -1);
    control().bestLineChanges[5] = 1;
    EXPECT_FALSE(doneAt(0));
    EXPECT_EQ(control().extraMs, 300 + 900);
    EXPECT_EQ(control().previousBestScore, -1);
}

TEST_F(IterationRules, ExtraTimeSaturatesOnHugeBudgets) {
    complete(4, 10);
    control().budgetMs           = 2000000000;
    control().bestLineChanges[4] = 50;
    EXPECT_FALSE(doneAt(0));
    EXPECT_EQ(control().extraMs, INT_MAX);
}

TEST_F(IterationRules, EasyMoveEndsClockPlayAtTenPercent) {
    complete(4, 10);
    control().bestLineChanges[4] = 0;
    control().easyMove           = E2E4;
    EXPECT_FALSE(doneAt(100));
    complete(5, 10);
    control().bestLineChanges[5] = 0;
    EXPECT_TRUE(doneAt(101));
}

TEST_F(IterationRules, StopFromTheFirstIterationEndsTheSearchThere) {
    complete(1, 10, Untimed);
    control().stopPending = true;
    EXPECT_TRUE(doneAt(0));
}

// Easy move --------------------------------------------------------------------------------

MoveList orderedRoot(int firstKey, int secondKey) {
    MoveList list;
    list.count    = 3;
    list.moves[0] = E2E4;
    list.moves[1] = D2D4;
    list.moves[2] = MakeMoveWord(6, 21, Knight);
    list.score[0] = firstKey;
    list.score[1] = secondKey;
    list.score[2] = secondKey - 5;
    return list;
}

TEST(EasyMove, SetAtIterationTwoByAGapOf150) {
    auto state               = makeState();
    state->control.iteration = 2;
    updateEasyMove(*state, orderedRoot(65402 + 200, 65402 + 50));
    EXPECT_EQ(state->control.easyMove, E2E4);
    updateEasyMove(*state, orderedRoot(65402 + 200, 65402 + 51));
    EXPECT_EQ(state->control.easyMove, NoMove);
    updateEasyMove(*state, orderedRoot(65402 - 20, 65402 - 170));
    EXPECT_EQ(state->control.easyMove, E2E4);
}

TEST(EasyMove, KeptWhileTheBestMoveStaysAndClearedForGood) {
    auto state               = makeState();
    state->control.easyMove  = E2E4;
    state->control.iteration = 1;
    updateEasyMove(*state, orderedRoot(1000, 0));
    EXPECT_EQ(state->control.easyMove, NoMove);
    state->control.iteration = 2;
    updateEasyMove(*state, orderedRoot(65402 + 300, 65402));
    state->control.iteration = 3;
    updateEasyMove(*state, orderedRoot(2 * 65402 + 10, 2 * 65402));
    EXPECT_EQ(state->control.easyMove, E2E4);

    MoveList changed         = orderedRoot(3 * 65402 + 10, 3 * 65402);
    changed.moves[0]         = D2D4;
    changed.moves[1]         = E2E4;
    state->control.iteration = 4;
    updateEasyMove(*state, changed);
    EXPECT_EQ(state->control.easyMove, NoMove);
    state->control.iteration = 5;
    updateEasyMove(*state, orderedRoot(4 * 65402 + 400, 4 * 65402));
    EXPECT_EQ(state->control.easyMove, NoMove);
}

TEST(EasyMove, LoneRootMoveIsEasy) {
    auto state               = makeState();
    state->control.iteration = 2;
    MoveList list            = orderedRoot(65402, 0);
    list.count               = 1;
    updateEasyMove(*state, list);
    EXPECT_EQ(state->control.easyMove, E2E4);
}

// Final wait -------------------------------------------------------------------------------

struct WaitFixture : ::testing::Test {
    std::unique_ptr<SearchState> state = makeState();
    pipes::StdinPipe input;

    void SetUp() override {
        state->control.runState         = Untimed;
        state->control.infiniteOrPonder = true;
    }
};

using FinalWait = WaitFixture;

TEST_F(FinalWait, InfiniteSearchWaitsForStopAndAnswersIsready) {
    input.write("position startpos\nisready\ngo depth 3\nstop\nisready\n");
    pipes::StdoutCapture capture;
    finalWait(*state);
    EXPECT_EQ(capture.text(), "readyok\n");
    EXPECT_EQ(input.drain(), "isready\n");
}

TEST_F(FinalWait, PonderhitOrEndOfInputEndsTheWait) {
    input.write("ponderhit\ngo\n");
    finalWait(*state);
    EXPECT_EQ(input.drain(), "go\n"); // also closes the input
    finalWait(*state);
}

TEST_F(FinalWait, NoWaitForLimitedClockOrStoppedSearches) {
    input.write("stop\n");
    state->control.infiniteOrPonder = false; // go depth, nodes, mate or movetime
    finalWait(*state);
    state->control.infiniteOrPonder = true;
    state->control.runState         = Timed; // pondering turned into clock play
    finalWait(*state);
    state->control.runState    = Untimed;
    state->control.stopPending = true; // stop already read in the first iteration
    finalWait(*state);
    EXPECT_EQ(input.drain(), "stop\n");
}

TEST_F(FinalWait, QuitEndsTheProcess) {
    input.write("isready\nquit\n");
    EXPECT_EXIT(finalWait(*state), ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace tarvo
