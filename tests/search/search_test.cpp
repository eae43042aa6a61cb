#include "eval/evaluate.h"
#include "search/history.h"
#include "search/picker.h"
#include "search/qsearch.h"
#include "search/root.h"
#include "search/search.h"
#include "search/state.h"
#include "search/tt.h"
#include "support/boards.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;
using test::FindMove;
using test::MoveText;

constexpr const char* Kiwipete =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// A search state without a shell: a 1 MB table, no hooks.
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
        state.control.maxDepth      = depth;
        state.control.iteration     = 1;
        state.control.runState      = Untimed;
        state.control.pollInterval  = 10000;
        state.control.pollCountdown = 10000;
        state.nodes                 = 0;
        state.selDepth              = 0;
        ClearHistory(state);
        TTNewSearch(state.tt);
    }
    int Full(Board& board, float depth, int ply = 1) {
        return Search(state, board, -Infinity, Infinity, depth, ply, true);
    }
};

using SearchNode = SearchFixture;

TEST_F(SearchNode, NewDepthOfAMove) {
    const struct {
        const char* fen;
        const char* move;
        bool pvNode, inCheck;
        int evasions;
        Move previous; // the move at ply 1 that led here
        float depth;
    } cases[] = {
        {StartFen, "g1f3", false, false, -1, 0, 4.0f},
        {StartFen, "e2e4", false, false, -1, 0, 4.0f}, // an enemy pawn ahead: not passed
        {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", "e1e2", false, true, 3, 0, 5.0f},
        {"4k3/8/8/8/8/8/3P1P2/r3K3 w - - 0 1", "e1e2", false, true, 1, 0, 5.25f}, // capped
        {"4k3/8/1P6/8/3P4/4p3/8/4K3 w - - 0 1", "d4d5", false, false, -1, 0, 4.7f},
        {"4k3/8/1P6/8/3P4/4p3/8/4K3 w - - 0 1", "b6b7", false, false, -1, 0, 5.25f},
        {"4k3/4p3/8/8/3P4/8/8/4K3 w - - 0 1", "d4d5", false, false, -1, 0, 4.0f},
        // Recapture of an equal piece on the square the last move took on.
        {"4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1", "e3d5", false, false, -1,
         MakeMoveWord(42, 35, Bishop, Knight), 4.2f},
        {"4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1", "e3d5", true, false, -1,
         MakeMoveWord(42, 35, Bishop, Knight), 5.0f},
        {"4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1", "e3d5", false, false, -1,
         MakeMoveWord(42, 35, Bishop, Rook), 4.0f},
        {"4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1", "e3d5", true, false, -1, MakeMoveWord(42, 35, Bishop),
         4.0f},
    };
    for (const auto& c : cases) {
        const Board board = BoardFrom(c.fen);
        MovePicker picker;
        picker.evasionCount        = c.evasions;
        state.plies[1].currentMove = c.previous;
        const Move move            = FindMove(board, c.move);
        ASSERT_NE(move, NoMove) << c.move;
        EXPECT_FLOAT_EQ(ComputeNewDepth(state, board, 5.0f, 2, move, c.pvNode, c.inCheck, picker),
                        c.depth)
            << c.fen << " " << c.move;
    }
}

TEST_F(SearchNode, ScoresThatNeedNoMoveSearch) {
    Board mated = BoardFrom("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    EXPECT_EQ(Full(mated, 2.0f, 3), 3 - MateScore);
    Board stalemate = BoardFrom("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(Full(stalemate, 2.0f, 3), 0);
    Board repeated = BoardFrom(StartFen);
    for (const char* text : {"g1f3", "g8f6", "f3g1", "f6g8"}) {
        UndoInfo undo;
        MakeMove(repeated, FindMove(repeated, text), undo);
    }
    EXPECT_EQ(Full(repeated, 3.0f), 0);
    EXPECT_EQ(QSearch(state, repeated, -Infinity, Infinity, 1.0f, 1), 0);
    Board board = BoardFrom(Kiwipete);
    state.nodes = 0;
    EXPECT_EQ(Full(board, 4.0f, MaxPly - 1), Evaluate(board));
    EXPECT_EQ(state.nodes, 0u);
    // Below one ply the quiescence search answers, which stores nothing.
    Full(board, 0.5f);
    EXPECT_EQ(state.tt.usedCount, 0u);
    Full(board, 1.0f);
    EXPECT_GT(state.tt.usedCount, 0u);
    // A stopped search returns 0 at once.
    TTClear(state.tt);
    state.control.runState = Stopped;
    EXPECT_EQ(Full(board, 5.0f), 0);
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 1.0f, 1), 0);
    EXPECT_EQ(state.tt.usedCount, 0u);
}

TEST_F(SearchNode, FindsMateAndLeavesItsLine) {
    Board board = BoardFrom("6k1/5ppp/8/8/8/8/8/K2R4 w - - 0 1");
    EXPECT_EQ(Full(board, 2.0f), MateScore - 2);
    ASSERT_EQ(state.plies[1].pvLength, 1u);
    EXPECT_EQ(MoveText(state.plies[1].pv[0]), "d1d8");
}

// Only bounds cut a null-window node off; an exact entry gives its move alone.
TEST_F(SearchNode, TableCutoffsComeFromBoundsOnly) {
    const std::pair<TTBound, int> cases[] = {
        {LowerBound, 5000}, {UpperBound, -5000}, {ExactBound, 5000}, {ExactBound, -5000}};
    for (const auto& [bound, score] : cases) {
        Board board = BoardFrom(StartFen);
        TTClear(state.tt);
        TTNewSearch(state.tt);
        TTStore(state.tt, board.hashKey, NoMove, score, 10.0f, bound);
        const int result = Search(state, board, 0, 1, 2.0f, 1, true);
        EXPECT_EQ(result == score, bound != ExactBound) << bound << " " << score;
    }
}

TEST_F(SearchNode, SearchesLeaveTheBoardAsItWas) {
    for (const char* fen : {Kiwipete, "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
                            "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
                            "8/8/8/2k5/3Pp3/8/8/4K3 b - d3 0 1"}) {
        Board board        = BoardFrom(fen);
        const Board before = board;
        Full(board, 4.0f);
        EXPECT_TRUE(test::SameBoard(before, board)) << fen;
        QSearch(state, board, -Infinity, Infinity, 1.0f, 1);
        EXPECT_TRUE(test::SameBoard(before, board)) << fen;
    }
}

TEST_F(SearchNode, QuiescenceStandsPatAndFindsMatesButNotStalemates) {
    Board board        = BoardFrom("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
    const int standPat = Evaluate(board);
    EXPECT_EQ(QSearch(state, board, -Infinity, standPat - 200, 1.0f, 1), standPat);
    EXPECT_EQ(QSearch(state, board, standPat - 1, standPat, 1.0f, 1), standPat);
    EXPECT_EQ(state.nodes, 2u);
    board = BoardFrom("4k3/pp6/8/8/8/8/PP6/4K3 w - - 0 1");
    EXPECT_EQ(QSearch(state, board, Evaluate(board) + 10, Evaluate(board) + 50, 0.0f, 1),
              Evaluate(board) + 10);
    board = BoardFrom("r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4");
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 0.0f, 1), MateScore - 2);
    EXPECT_EQ(MoveText(state.plies[1].pv[0]), "h5f7");
    board = BoardFrom("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    EXPECT_EQ(QSearch(state, board, -Infinity, Infinity, 0.0f, 1), Evaluate(board));
}

TEST_F(SearchNode, SeedPlantsTheLegalMovesOfTheBestLine) {
    Board board = BoardFrom(StartFen), walk = board;
    std::vector<Move> line;
    std::vector<std::uint64_t> keys;
    for (const char* text : {"e2e4", "e7e5", "g1f3"}) {
        line.push_back(FindMove(walk, text));
        keys.push_back(walk.hashKey);
        UndoInfo undo;
        MakeMove(walk, line.back(), undo);
    }
    state.plies[0].pvLength = 3;
    std::copy(line.begin(), line.end(), state.plies[0].pv.begin());
    SeedPrincipalLine(state, board);
    EXPECT_EQ(state.tt.usedCount, 3u);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const TTEntry* entry = TTProbe(state.tt, keys[i]);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(TTEntryMove(*entry), line[i]);
        EXPECT_EQ(TTEntryBound(*entry), NoBound);
        EXPECT_EQ(entry->depth, 64);
    }
    // A move not legal where the line has arrived stops the planting there.
    TTClear(state.tt);
    TTNewSearch(state.tt);
    state.plies[0].pv[2] = line[0];
    SeedPrincipalLine(state, board);
    EXPECT_EQ(state.tt.usedCount, 2u);
}

// The root search, driven by hooks that record what it does instead of a shell.
struct RootResult {
    int iteration, score;
};
std::vector<RootResult> Results;
std::vector<std::vector<std::pair<Move, int>>> Orders;

struct RootSearchTest : SearchFixture {
    void SetUp() override {
        SearchFixture::SetUp();
        Results.clear();
        Orders.clear();
        state.hooks.rootResult = [](SearchState& s, int score, Move) {
            Results.push_back({s.control.iteration, score});
        };
        state.hooks.iterationStart = [](SearchState&, const MoveList& moves) {
            Orders.emplace_back();
            for (std::uint32_t i = 0; i < moves.count; ++i)
                Orders.back().emplace_back(moves.moves[i], moves.score[i]);
        };
    }
    // Root moves searched and those scored with a full window, in one iteration.
    std::pair<int, int> Counts(int iteration) const {
        int searched = 0, scored = 0;
        for (const RootResult& result : Results)
            if (result.iteration == iteration) {
                ++searched;
                scored += result.score > -Infinity;
            }
        return {searched, scored};
    }
};

TEST_F(RootSearchTest, LaterMovesGetANullWindowUnlessMultiPvCoversThem) {
    Board board        = BoardFrom(StartFen);
    const Board before = board;
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    EXPECT_TRUE(test::SameBoard(before, board));
    ASSERT_EQ(Orders.size(), 4u);
    EXPECT_EQ(Counts(1), std::make_pair(20, 20));
    for (int iteration = 2; iteration <= 4; ++iteration) {
        EXPECT_EQ(Counts(iteration).first, 20);
        EXPECT_LT(Counts(iteration).second, 20);
        EXPECT_GE(Counts(iteration).second, 1);
    }
    board                 = BoardFrom("k7/8/8/8/8/8/8/K7 w - - 0 1"); // three moves, three lines
    state.options.multiPv = 3;
    Results.clear();
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    for (int iteration = 1; iteration <= 4; ++iteration)
        EXPECT_EQ(Counts(iteration), std::make_pair(3, 3)) << iteration;
}

TEST_F(RootSearchTest, RootMovesAreOrderedByKeyAndTiesKeepTheirOrder) {
    Board board = BoardFrom(Kiwipete);
    Prepare(4);
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(Orders.size(), 4u);
    const std::vector<Move> legal = test::LegalMoves(board);
    ASSERT_EQ(Orders[0].size(), legal.size());
    for (std::size_t i = 0; i < legal.size(); ++i)
        EXPECT_EQ(Orders[0][i].first, legal[i]); // the first iteration keeps the generator's order
    for (std::size_t iteration = 1; iteration < Orders.size(); ++iteration) {
        const auto& order    = Orders[iteration];
        const auto& previous = Orders[iteration - 1];
        const auto place     = [&](Move move) {
            return std::find_if(previous.begin(), previous.end(),
                                    [&](const auto& entry) { return entry.first == move; });
        };
        for (std::size_t i = 1; i < order.size(); ++i) {
            ASSERT_GE(order[i - 1].second, order[i].second);
            if (order[i - 1].second == order[i].second) {
                EXPECT_LT(place(order[i - 1].first), place(order[i].first));
            }
        }
    }
}

TEST_F(RootSearchTest, NoLegalMoveOrAnEarlyStopStillLeavesAnAnswer) {
    Board board             = BoardFrom("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    state.plies[0].pvLength = 2; // a line left from an earlier search
    Prepare(5);
    RootSearch(state, board, SearchLimits{});
    EXPECT_TRUE(Orders.empty());
    EXPECT_EQ(state.plies[0].pvLength, 0u);
    // Stopped before any line is complete: the generator's first move.
    board                   = BoardFrom(StartFen);
    state.plies[0].pvLength = 1;
    state.plies[0].pv[0]    = NoMove;
    state.hooks.nodePoll    = [](SearchState& s) { s.control.runState = Stopped; };
    state.hooks.rootResult  = nullptr;
    Prepare(5);
    state.control.pollCountdown = 0;
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(state.plies[0].pvLength, 1u);
    EXPECT_EQ(MoveText(state.plies[0].pv[0]), "b1a3");
    EXPECT_EQ(Orders.size(), 1u);
}

} // namespace
} // namespace tarvo
