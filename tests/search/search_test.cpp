#include "board/board_helpers.h"
#include "board/make_move.h"
#include "eval/evaluate.h"
#include "search/history.h"
#include "search/picker.h"
#include "search/qsearch.h"
#include "search/root.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tt.h"

#include <cstddef>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tarvo {
namespace {

using testing::BoardFromFen;
using testing::FindLegalMove;
using testing::MoveText;

// Every byte of the board that describes the position: the fields, their padding and the keys
// of the moves that led to it (entries past historyCount are scratch space for make-move).
::testing::AssertionResult SameBytes(const Board& before, const Board& after) {
    if (std::memcmp(&before, &after, offsetof(Board, history)) != 0)
        return ::testing::AssertionFailure() << "board fields differ";
    const std::size_t used = before.historyCount * sizeof(std::uint64_t);
    if (std::memcmp(before.history.data(), after.history.data(), used) != 0)
        return ::testing::AssertionFailure() << "key history differs";
    return ::testing::AssertionSuccess();
}

Board Snapshot(const Board& board) {
    Board copy;
    std::memcpy(&copy, &board, sizeof copy);
    return copy;
}

// A search state without a shell: a 1 MB table, no hooks, limits set by each test.
struct SearchFixture : ::testing::Test {
    std::unique_ptr<SearchState> owned = std::make_unique<SearchState>();
    SearchState& state                 = *owned;

    void SetUp() override {
        InitSearchState(state);
        TTResize(state.tt, 1);
        Prepare(1);
    }
    void TearDown() override { ReleaseSearchState(state); }

    // What the shell's set-up does before the first iteration, for a search of `depth`.
    void Prepare(int depth) {
        SearchControl& control = state.control;
        control.maxDepth       = depth;
        control.iteration      = 1;
        control.runState       = Untimed;
        control.pollInterval   = 10000;
        control.pollCountdown  = 10000;
        state.nodes            = 0;
        state.selDepth         = 0;
        ClearHistory(state);
        TTNewSearch(state.tt);
    }
};

// ---------------------------------------------------------------------------------------------
// Extensions and the new depth of a move.

struct NewDepth : SearchFixture {
    MovePicker picker;
    float Of(const Board& board, const std::string& text, bool pvNode = false, bool inCheck = false,
             int ply = 2) {
        const Move move = FindLegalMove(board, text);
        EXPECT_NE(move, NoMove) << text;
        return ComputeNewDepth(state, board, 5.0f, ply, move, pvNode, inCheck, picker);
    }
};

TEST_F(NewDepth, QuietMoveLosesOnePly) {
    EXPECT_EQ(Of(BoardFromFen(StartFen), "g1f3"), 4.0f);
    // A pawn push with an enemy pawn ahead on its own file is not passed.
    EXPECT_EQ(Of(BoardFromFen(StartFen), "e2e4"), 4.0f);
}

TEST_F(NewDepth, CheckExtendsAndSingleReplyIsCapped) {
    picker.evasionCount = 3;
    EXPECT_EQ(Of(BoardFromFen("4k3/8/8/8/8/8/8/r3K3 w - - 0 1"), "e1e2", false, true), 5.0f);
    // The king's one way out: 5.5 plies, cut at the cap.
    picker.evasionCount = 1;
    EXPECT_EQ(Of(BoardFromFen("4k3/8/8/8/8/8/3P1P2/r3K3 w - - 0 1"), "e1e2", false, true), 5.25f);
}

TEST_F(NewDepth, PawnMovesExtendWhenPassedOrReachingTheSeventh) {
    const Board board = BoardFromFen("4k3/8/1P6/8/3P4/4p3/8/4K3 w - - 0 1");
    // Passed: no enemy pawn in front of it or beside it, none of its own ahead.
    EXPECT_EQ(Of(board, "d4d5"), 4.0f + 0.7f);
    // To the seventh: 1.4 plies, cut at the cap of 1.25.
    EXPECT_EQ(Of(board, "b6b7"), 5.25f);
    const Board blocked = BoardFromFen("4k3/4p3/8/8/3P4/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Of(blocked, "d4d5"), 4.0f);
}

TEST_F(NewDepth, RecaptureOfAnEqualPieceOnTheSameSquare) {
    // Black's bishop has just taken a knight on d5 (ply 1); White's knight takes it back.
    const Board board          = BoardFromFen("4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1");
    state.plies[1].currentMove = MakeMoveWord(42, 35, Bishop, Knight);
    EXPECT_FLOAT_EQ(Of(board, "e3d5", false), 4.2f);
    EXPECT_EQ(Of(board, "e3d5", true), 5.0f);
    // A bishop that took a rook is worth 175 less: no recapture.
    state.plies[1].currentMove = MakeMoveWord(42, 35, Bishop, Rook);
    EXPECT_EQ(Of(board, "e3d5", false), 4.0f);
    // A quiet move to the square is no capture to answer.
    state.plies[1].currentMove = MakeMoveWord(42, 35, Bishop);
    EXPECT_EQ(Of(board, "e3d5", true), 4.0f);
}

// ---------------------------------------------------------------------------------------------
// The alpha-beta search.

TEST_F(SearchFixture, CheckmateScoresByPlyAndStalemateIsZero) {
    Board mated = BoardFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(Search(state, mated, -Infinity, Infinity, 2.0f, 3, true), 3 - MateScore);
    Board stalemate = BoardFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(Search(state, stalemate, -Infinity, Infinity, 2.0f, 3, true), 0);
}

TEST_F(SearchFixture, RepeatedPositionIsADraw) {
    Board board = BoardFromFen(StartFen);
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) {
        UndoInfo undo;
        MakeMove(board, FindLegalMove(board, text), undo);
    }
    EXPECT_EQ(Search(state, board, -Infinity, Infinity, 3.0f, 1, true), 0);
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 1.0f, 1), 0);
}

TEST_F(SearchFixture, LastPlyReturnsTheStaticScore) {
    Board board =
        BoardFromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    EXPECT_EQ(Search(state, board, -Infinity, Infinity, 4.0f, MaxPly - 1, true), Evaluate(board));
    EXPECT_EQ(state.nodes, 0u);
    EXPECT_LE(state.selDepth, MaxPly - 1);
}

TEST_F(SearchFixture, DepthBelowOnePlyGoesStraightToQuiescence) {
    Board board = BoardFromFen(StartFen);
    Search(state, board, -Infinity, Infinity, 0.5f, 1, true);
    EXPECT_EQ(state.tt.usedCount, 0u);
    Search(state, board, -Infinity, Infinity, 1.0f, 1, true);
    EXPECT_GT(state.tt.usedCount, 0u);
}

TEST_F(SearchFixture, FindsMateAndLeavesItsLine) {
    Board board = BoardFromFen("6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1");
    // At ply 1 the mated side is to move at ply 2: 2 - MateScore from its view.
    EXPECT_EQ(Search(state, board, -Infinity, Infinity, 2.0f, 1, true), MateScore - 2);
    const PlyRecord& line = state.plies[1];
    ASSERT_EQ(line.pvLength, 1u);
    EXPECT_EQ(MoveText(line.pv[0]), "d1d8");
}

TEST_F(SearchFixture, StoppedSearchReturnsZeroAndStoresNothing) {
    Board board            = BoardFromFen(StartFen);
    state.control.runState = Stopped;
    EXPECT_EQ(Search(state, board, -Infinity, Infinity, 5.0f, 1, true), 0);
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 1.0f, 1), 0);
    EXPECT_EQ(state.tt.usedCount, 0u);
}

TEST_F(SearchFixture, SearchLeavesTheBoardAsItWas) {
    for (const char* fen : {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                            "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                            "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
                            "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1"}) {
        Board board        = BoardFromFen(fen);
        const Board before = Snapshot(board);
        Search(state, board, -Infinity, Infinity, 4.0f, 1, true);
        EXPECT_TRUE(SameBytes(before, board)) << fen;
        QSearch(state, board, -Infinity, Infinity, 1.0f, 1);
        EXPECT_TRUE(SameBytes(before, board)) << fen;
    }
}

// ---------------------------------------------------------------------------------------------
// The quiescence search.

TEST_F(SearchFixture, QuiescenceStandsPatAtOrAboveBeta) {
    // A queen up with nothing attacked: the static score, without generating a move.
    Board board        = BoardFromFen("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    const int standPat = Evaluate(board);
    EXPECT_EQ(QSearch(state, board, -Infinity, standPat - 200, 1.0f, 1), standPat);
    EXPECT_EQ(QSearch(state, board, standPat - 1, standPat, 1.0f, 1), standPat);
    EXPECT_EQ(state.nodes, 2u);
}

TEST_F(SearchFixture, QuietPositionReturnsTheBetterOfAlphaAndStaticScore) {
    Board board        = BoardFromFen("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
    const int standPat = Evaluate(board);
    EXPECT_EQ(QSearch(state, board, standPat - 50, standPat + 50, 0.0f, 1), standPat);
    EXPECT_EQ(QSearch(state, board, standPat + 10, standPat + 50, 0.0f, 1), standPat + 10);
}

TEST_F(SearchFixture, QuiescenceFindsMateButNotStalemate) {
    // A capture that mates: Qxf7 with the bishop behind it.
    Board board =
        BoardFromFen("r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4");
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 0.0f, 1), MateScore - 2);
    EXPECT_EQ(MoveText(state.plies[1].pv[0]), "h5f7");
    // Not in check and nothing to capture: no stalemate test, only the static score.
    Board stalemate    = BoardFromFen("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    const int standPat = Evaluate(stalemate);
    EXPECT_EQ(QSearch(state, stalemate, -Infinity, Infinity, 0.0f, 1), standPat);
}

// ---------------------------------------------------------------------------------------------
// Planting the best line.

TEST_F(SearchFixture, SeedPlantsEveryLegalMoveOfTheLine) {
    Board board     = BoardFromFen(StartFen);
    PlyRecord& root = state.plies[0];
    std::vector<Move> line;
    std::vector<std::uint64_t> keys;
    Board walk = board;
    for (const char* text : {"e2e4", "e7e5", "g1f3"}) {
        const Move move = FindLegalMove(walk, text);
        line.push_back(move);
        keys.push_back(walk.hashKey);
        UndoInfo undo;
        MakeMove(walk, move, undo);
    }
    root.pvLength = 3;
    std::copy(line.begin(), line.end(), root.pv.begin());

    const Board before = Snapshot(board);
    SeedPrincipalLine(state, board);
    EXPECT_TRUE(SameBytes(before, board));
    EXPECT_EQ(state.tt.usedCount, 3u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const TTEntry* entry = TTProbe(state.tt, keys[i]);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(TTEntryMove(*entry), line[i]);
        EXPECT_EQ(TTEntryBound(*entry), NoBound);
        EXPECT_EQ(entry->depth, 64);
    }

    // A third move that is not legal where the line has arrived stops the planting there.
    TTClear(state.tt);
    TTNewSearch(state.tt);
    root.pv[2] = line[0];
    SeedPrincipalLine(state, board);
    EXPECT_EQ(state.tt.usedCount, 2u);
    EXPECT_EQ(TTProbe(state.tt, keys[2]), nullptr);
}

// ---------------------------------------------------------------------------------------------
// The root search, driven by hooks that record what it does instead of a shell.

struct RootResult {
    int iteration;
    Move move;
    int score;
};
std::vector<RootResult> Results;
std::vector<std::vector<std::pair<Move, int>>> Orders;

void RecordResult(SearchState& state, int score, Move move) {
    Results.push_back({state.control.iteration, move, score});
}
void RecordOrder(SearchState&, const MoveList& moves) {
    Orders.emplace_back();
    for (std::uint32_t i = 0; i < moves.count; ++i)
        Orders.back().emplace_back(moves.moves[i], moves.score[i]);
}
void StopAtOnce(SearchState& state) {
    state.control.runState = Stopped;
}

struct RootFixture : SearchFixture {
    void SetUp() override {
        SearchFixture::SetUp();
        Results.clear();
        Orders.clear();
        state.hooks.rootResult     = RecordResult;
        state.hooks.iterationStart = RecordOrder;
    }
    int CountScored(int iteration) const {
        int scored = 0;
        for (const RootResult& result : Results)
            scored += result.iteration == iteration && result.score > -Infinity;
        return scored;
    }
    int CountSearched(int iteration) const {
        int searched = 0;
        for (const RootResult& result : Results)
            searched += result.iteration == iteration;
        return searched;
    }
};

TEST_F(RootFixture, LaterMovesAreTestedWithANullWindowFromTheSecondIteration) {
    Board board        = BoardFromFen(StartFen);
    const Board before = Snapshot(board);
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    EXPECT_TRUE(SameBytes(before, board));
    ASSERT_EQ(Orders.size(), 4u);
    EXPECT_EQ(CountSearched(1), 20);
    EXPECT_EQ(CountScored(1), 20);
    for (int iteration = 2; iteration <= 4; ++iteration) {
        EXPECT_EQ(CountSearched(iteration), 20);
        EXPECT_LT(CountScored(iteration), 20) << iteration;
        EXPECT_GE(CountScored(iteration), 1) << iteration;
    }
}

TEST_F(RootFixture, EveryLineGetsAFullWindowWhenMultiPvCoversTheRoot) {
    // Three legal moves and MultiPV 3: no move is ever tested against a threshold.
    Board board           = BoardFromFen("k7/8/8/8/8/8/8/K7 w - - 0 1");
    state.options.multiPv = 3;
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    for (int iteration = 1; iteration <= 4; ++iteration)
        EXPECT_EQ(CountScored(iteration), 3) << iteration;
}

TEST_F(RootFixture, RootMovesAreOrderedByKeyAndTiesKeepTheirOrder) {
    Board board =
        BoardFromFen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(Orders.size(), 4u);
    // The first iteration keeps the generator's order.
    MoveList legal;
    GenerateLegalMoves(board, legal);
    ASSERT_EQ(Orders[0].size(), legal.count);
    for (std::uint32_t i = 0; i < legal.count; ++i)
        EXPECT_EQ(Orders[0][i].first, legal.moves[i]);
    for (std::size_t iteration = 1; iteration < Orders.size(); ++iteration) {
        const auto& order    = Orders[iteration];
        const auto& previous = Orders[iteration - 1];
        for (std::size_t i = 1; i < order.size(); ++i) {
            ASSERT_GE(order[i - 1].second, order[i].second);
            if (order[i - 1].second != order[i].second)
                continue;
            // Equal keys: the same relative order as in the previous iteration.
            const auto positionOf = [&](Move move) {
                for (std::size_t j = 0; j < previous.size(); ++j)
                    if (previous[j].first == move)
                        return j;
                return previous.size();
            };
            EXPECT_LT(positionOf(order[i - 1].first), positionOf(order[i].first));
        }
    }
}

TEST_F(RootFixture, NoLegalMoveRunsNoIterationAndLeavesNoLine) {
    Board board             = BoardFromFen("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    state.plies[0].pvLength = 2; // a line left from an earlier search
    Prepare(5);
    RootSearch(state, board, SearchLimits{});
    EXPECT_TRUE(Orders.empty());
    EXPECT_EQ(state.plies[0].pvLength, 0u);
}

TEST_F(RootFixture, StopBeforeAnyLineReportsTheFirstRootMove) {
    Board board             = BoardFromFen(StartFen);
    state.plies[0].pvLength = 1;
    state.plies[0].pv[0]    = NoMove;
    state.hooks.nodePoll    = StopAtOnce;
    state.hooks.rootResult  = nullptr;
    Prepare(5);
    state.control.pollCountdown = 0;
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(state.plies[0].pvLength, 1u);
    EXPECT_EQ(MoveText(state.plies[0].pv[0]), "b1a3"); // the generator's first move
    EXPECT_EQ(Orders.size(), 1u);
}

} // namespace
} // namespace tarvo
