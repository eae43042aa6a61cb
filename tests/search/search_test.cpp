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
    const char* pawns     = "4k3/8/1P6/8/3P4/4p3/8/4K3 w - - 0 1";
    const char* recapture = "4k3/8/8/3b4/8/4N3/8/4K3 w - - 0 1";
    const Move bxn = MakeMoveWord(42, 35, Bishop, Knight), bxr = MakeMoveWord(42, 35, Bishop, Rook);
    const struct {
        const char *fen, *move;
        bool pvNode, inCheck;
        int evasions;
        Move previous; // the move at ply 1 that led here
        float depth;
    } cases[] = {
        {StartFen, "g1f3", false, false, -1, 0, 4.0f},
        {StartFen, "e2e4", false, false, -1, 0, 4.0f}, // an enemy pawn ahead: not passed
        {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", "e1e2", false, true, 3, 0, 5.0f},
        {"4k3/8/8/8/8/8/3P1P2/r3K3 w - - 0 1", "e1e2", false, true, 1, 0, 5.25f}, // capped
        {pawns, "d4d5", false, false, -1, 0, 4.7f},
        {pawns, "b6b7", false, false, -1, 0, 5.25f},
        {"4k3/4p3/8/8/3P4/8/8/4K3 w - - 0 1", "d4d5", false, false, -1, 0, 4.0f},
        // Recapture of an equal piece on the square the last move took on.
        {recapture, "e3d5", false, false, -1, bxn, 4.2f},
        {recapture, "e3d5", true, false, -1, bxn, 5.0f},
        {recapture, "e3d5", false, false, -1, bxr, 4.0f},
        {recapture, "e3d5", true, false, -1, MakeMoveWord(42, 35, Bishop), 4.0f},
    };
    for (const auto& c : cases) {
        const Board board = BoardFrom(c.fen);
        MovePicker picker;
        picker.evasionCount        = c.evasions;
        state.plies[1].currentMove = c.previous;
        const Move move            = FindMove(board, c.move);
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

// The root search, with hooks that record each root result (iteration, full-window score or not)
// and count iterations, instead of a shell.
std::vector<std::pair<int, bool>> Results;
int Iterations = 0;

struct RootSearchTest : SearchFixture {
    void SetUp() override {
        SearchFixture::SetUp();
        Results.clear();
        Iterations             = 0;
        state.hooks.rootResult = [](SearchState& s, int score, Move) {
            Results.emplace_back(s.control.iteration, score > -Infinity);
        };
        state.hooks.iterationStart = [](SearchState&, const MoveList&) { ++Iterations; };
    }
    int Count(int iteration, bool scoredOnly) const {
        return static_cast<int>(std::count_if(Results.begin(), Results.end(), [&](auto r) {
            return r.first == iteration && (r.second || !scoredOnly);
        }));
    }
};

// From the second iteration, moves after the first get a null window, unless MultiPV covers them.
TEST_F(RootSearchTest, LaterMovesGetANullWindow) {
    for (const auto& [fen, lines] : {std::pair{StartFen, 1}, {"k7/8/8/8/8/8/8/K7 w - - 0 1", 3}}) {
        Board board           = BoardFrom(fen);
        const Board before    = board;
        state.options.multiPv = lines;
        Results.clear();
        Prepare(4);
        RootSearch(state, board, SearchLimits{});
        EXPECT_TRUE(test::SameBoard(before, board));
        const int moves = static_cast<int>(test::LegalMoves(board).size());
        for (int iteration = 1; iteration <= 4; ++iteration) {
            EXPECT_EQ(Count(iteration, false), moves);
            const int scored = Count(iteration, true);
            EXPECT_TRUE(iteration == 1 || lines == moves ? scored == moves
                                                         : scored >= 1 && scored < moves)
                << fen << " iteration " << iteration << ": " << scored;
        }
    }
}

TEST_F(RootSearchTest, NoLegalMoveOrAnEarlyStopStillLeavesAnAnswer) {
    Board board             = BoardFrom("R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1");
    state.plies[0].pvLength = 2; // a line left from an earlier search
    Prepare(5);
    RootSearch(state, board, SearchLimits{});
    EXPECT_EQ(Iterations, 0);
    EXPECT_EQ(state.plies[0].pvLength, 0u);
    // Stopped before any line is complete: the generator's first move.
    board                   = BoardFrom(StartFen);
    state.plies[0].pvLength = 1;
    state.plies[0].pv[0]    = NoMove;
    state.hooks.nodePoll    = [](SearchState& s) { s.control.runState = Stopped; };
    Prepare(5);
    state.control.pollCountdown = 0;
    RootSearch(state, board, SearchLimits{});
    ASSERT_EQ(state.plies[0].pvLength, 1u);
    EXPECT_EQ(MoveText(state.plies[0].pv[0]), "b1a3");
    EXPECT_EQ(Iterations, 1);
}

} // namespace
} // namespace tarvo
