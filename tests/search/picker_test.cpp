#include "board/see.h"
#include "board/tables.h"
#include "board/validate.h"
#include "search/draw.h"
#include "search/history.h"
#include "search/picker.h"
#include "support/boards.h"

#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace tarvo {
namespace {

using test::BoardFrom;

// The search state is large; tests share one and reset what they use.
SearchState& State() {
    static SearchState state;
    return state;
}

void ResetState() {
    State().plies.fill(PlyRecord{});
    ClearHistory(State());
}

// The moves the main picker hands out at ply 4 (stages 1 to 5, the evasions in check).
std::vector<Move> Pick(Board& board) {
    MovePicker picker;
    int checkerCount = 0;
    picker.checkers  = FindCheckers(board, checkerCount);
    ComputePinLines(board, picker.checkers, picker.straightPins, picker.diagonalPins);
    InitPicker(State(), picker, 4, checkerCount);
    picker.stages = checkerCount ? 1u << StageEvasions : 0x3e;
    std::vector<Move> moves;
    for (Move move; (move = NextMove(picker, board, State().historyScore)) != NoMove;)
        moves.push_back(move);
    if (checkerCount && picker.evasionCount != static_cast<int>(moves.size()))
        ADD_FAILURE() << "evasion count " << picker.evasionCount << " in " << WriteFen(board);
    return moves;
}

TEST(MovePicker, HandsOutEveryLegalMoveOnceWhateverTheStoredMovesHold) {
    ResetState();
    std::array<Move, 64> foreign{}; // words of recently walked positions, mostly illegal here
    int foreignCount = 0;
    long nodes       = 0;
    test::WalkSuite(test::WalkPlies - 1, [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        const std::vector<Move> legal  = test::LegalMoves(board);
        const std::vector<Move> sorted = test::Sorted(legal);
        const auto word = [&](int i) { return foreignCount ? foreign[i % foreignCount] : NoMove; };
        const auto pick = [&](int i) {
            return legal.empty() ? NoMove : legal[(i * 7 + nodes) % legal.size()];
        };
        // Stored moves: legal ones, repeated ones, words of other positions, 0 and 1.
        const std::array<std::array<Move, 6>, 3> setups = {{
            {pick(0), pick(1), pick(2), pick(3), pick(4), pick(2)},
            {pick(0), pick(0), pick(5), word(1), word(2), pick(5)},
            {word(3), word(4), word(5), NullMove, word(6), NoMove},
        }};
        for (const auto& stored : setups) {
            PlyRecord& record        = State().plies[4];
            record.hashMove          = stored[0];
            record.mateKiller        = stored[1];
            record.killer1           = stored[2];
            record.killer2           = stored[3];
            State().plies[2].killer1 = stored[4];
            State().plies[2].killer2 = stored[5];
            if (test::Sorted(Pick(board)) != sorted)
                FAIL() << WriteFen(board);
        }
        for (std::size_t i = nodes % 5; i < legal.size(); i += 5)
            foreign[foreignCount < 64 ? foreignCount++ : nodes % 64] = legal[i];
        ++nodes;
    });
    EXPECT_GT(nodes, 500);
}

TEST(IsDrawByRule, ClockAndRepetition) {
    const char* rook = "4k3/8/8/8/8/8/8/R3K3 w - - 0 1";
    const char* back = "a1a2 e8d8 a2a1 d8e8"; // back where it was
    const struct {
        const char* fen;
        int clock;
        const char* moves;
        int clockAfter; // -1: as play left it
        bool draw;
    } cases[] = {
        {"4k3/8/8/8/8/8/8/r3K3 w - - 0 1", 100, "", -1, false}, // checkmate may still come
        {"4k3/8/8/8/8/8/r7/4K3 w - - 0 1", 100, "", -1, true},
        {"4k3/8/8/8/8/8/r7/4K3 w - - 0 1", 99, "", -1, false},
        {rook, 0, back, -1, true},
        {rook, 0, back, 3, false}, // no further back than the clock
        {rook, 60, "", -1, false}, // a clock ahead of the recorded keys reads only those
        {rook, 60, back, -1, true},
    };
    for (const auto& c : cases) {
        Board board         = BoardFrom(c.fen);
        board.halfmoveClock = static_cast<std::uint8_t>(c.clock);
        std::istringstream moves(c.moves);
        for (std::string text; moves >> text;) {
            UndoInfo undo;
            MakeMove(board, test::FindMove(board, text), undo);
        }
        if (c.clockAfter >= 0)
            board.halfmoveClock = static_cast<std::uint8_t>(c.clockAfter);
        EXPECT_EQ(IsDrawByRule(board), c.draw) << c.fen << " clock " << c.clock << " " << c.moves;
    }
}

// Positions no one can win are draws to the search; the game itself is drawn only by a third
// occurrence, and at the fiftieth move unless the board shows mate.
TEST(IsDrawByRule, DeadPositionsAndTheGameDrawnByRule) {
    const char* shuffle = "g1f3 g8f6 f3g1 f6g8";
    const struct {
        const char* fen;
        const char* moves;
        bool searchDraw, gameDrawn;
    } cases[] = {
        {"8/8/8/4k3/8/8/2B5/4K3 w - - 0 1", "", true, true},
        {"8/8/8/4k3/8/8/2N5/4K3 b - - 0 1", "", true, true},
        {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "", true, true},
        {"4k3/8/8/3b4/8/3B4/2B5/4K3 w - - 0 1", "", true, true}, // every bishop on light squares
        {"4k3/8/8/4b3/8/8/2B5/4K3 w - - 0 1", "", false, false},
        {"4k3/8/8/8/8/8/2NN4/4K3 w - - 0 1", "", false, false},
        {"4k3/4n3/8/8/8/8/2B5/4K3 w - - 0 1", "", false, false},
        {"4k3/8/8/8/8/8/2P5/4K3 w - - 0 1", "", false, false},
        {StartFen, shuffle, true, false},
        {StartFen, "g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8", true, true},
        {"4k3/8/8/8/8/8/8/r3K3 w - - 100 80", "", false, true},   // in check, not mated
        {"4k3/8/8/8/8/8/r7/r3K3 w - - 100 80", "", false, false}, // mated
        {"4k3/8/8/8/8/8/r7/4K3 w - - 100 80", "", true, true},
    };
    for (const auto& c : cases) {
        Board board = BoardFrom(c.fen);
        std::istringstream moves(c.moves);
        for (std::string text; moves >> text;) {
            UndoInfo undo;
            MakeMove(board, test::FindMove(board, text), undo);
        }
        EXPECT_EQ(IsDrawByRule(board), c.searchDraw) << c.fen << " " << c.moves;
        EXPECT_EQ(IsGameDrawnByRule(board), c.gameDrawn) << c.fen << " " << c.moves;
    }
}

TEST(History, CutoffsAddTheTruncatedSquareOfTheDepthAndCountsHalveAt32000) {
    ResetState();
    SearchState& state        = State();
    const Move quiet          = MakeMoveWord(6, 21, Knight); // g1f3
    const int index           = HistoryIndex(quiet, White);
    state.historyScore[index] = 31990;
    state.historyScore[5]     = 7;
    state.historyScore[6]     = -7;
    RecordCutoffMove(state, MakeMoveWord(6, 21, Knight, Pawn), White, 3.0f);
    EXPECT_EQ(state.historyScore[index], 31990); // captures leave the tables alone
    RecordCutoffMove(state, quiet, White, 2.9f);
    EXPECT_EQ(state.historyScore[index], 31998);
    EXPECT_EQ(state.cutoffCount[index], 1);
    RecordCutoffMove(state, quiet, White, 1.5f); // 32000: the whole table halves
    EXPECT_EQ(state.historyScore[index], 16000);
    EXPECT_EQ(state.historyScore[5], 3);
    EXPECT_EQ(state.historyScore[6], -3);
    // A failure count reaching 32000 halves both counts of its move only.
    state.failCount[index]   = 31999;
    state.cutoffCount[index] = 101;
    state.failCount[0]       = 9;
    RecordFailedMove(state, quiet, White);
    EXPECT_EQ(state.failCount[index], 16000);
    EXPECT_EQ(state.cutoffCount[index], 50);
    EXPECT_EQ(state.failCount[0], 9);
}

// A stored move (hash move, killer) is accepted exactly when it is legal: every legal move,
// words of other positions (either side to move) and the reserved words. The pin lines are the
// search's, which the staged perft checks.
TEST(IsStoredMoveLegal, AnswersExactlyWhetherAWordIsLegalOverTheWalk) {
    std::array<std::array<Move, 40>, 2> pools{}; // recent words, per side to move
    long tested = 0, accepted = 0, added = 0;
    test::WalkSuite(test::WalkPlies, [&](Board& board) {
        if (::testing::Test::HasFailure() ||
            IsSquareAttacked(board, board.sideToMove ^ 1, board.kingSquare[board.sideToMove]))
            return;
        Bitboard straight = 0, diagonal = 0;
        int checkerCount  = 0;
        ComputePinLines(board, FindCheckers(board, checkerCount), straight, diagonal);
        const std::vector<Move> legal = test::Sorted(test::LegalMoves(board));
        std::vector<Move> words       = legal;
        words.insert(words.end(), {NullMove, NoMove});
        for (const auto& pool : pools)
            words.insert(words.end(), pool.begin(), pool.end());
        for (std::size_t i = 0; i < words.size(); ++i) {
            const bool isLegal = std::binary_search(legal.begin(), legal.end(), words[i]);
            if (IsStoredMoveLegal(board, words[i], straight, diagonal) != isLegal)
                FAIL() << WriteFen(board) << " word " << std::hex << words[i];
            tested += i >= legal.size();
            accepted += i >= legal.size() && isLegal;
        }
        for (std::size_t i = board.historyCount % 7; i < legal.size(); i += 7)
            pools[board.sideToMove][added++ % 40] = legal[i];
    });
    EXPECT_GT(accepted, tested / 50);
    EXPECT_LT(accepted, tested / 2);
}

// The pickers' exchange filter stops early; its answers must be the full exchange's, for every
// legal move (quiet ones included) over the walk and a few hand-set exchanges (a lone king
// defending, a king recapture refuted by a battery, promotions, en passant, x-rays), at
// thresholds around the usual ones and the illegal king capture's 10000.
TEST(ExchangeAtLeast, AnswersAsTheFullExchangeForEveryThreshold) {
    constexpr std::array<int, 11> Thresholds = {-10001, -10000, -500, -100, -16, -15,
                                                0,      1,      225,  10000, 10001};
    long tested = 0, losing = 0;
    const auto check = [&](Board& board) {
        if (::testing::Test::HasFailure())
            return;
        for (const Move move : test::LegalMoves(board)) {
            const int value = StaticExchange(board, move);
            for (const int threshold : Thresholds)
                if (ExchangeAtLeast(board, move, threshold) != (value >= threshold))
                    FAIL() << WriteFen(board) << " " << test::MoveText(move) << " value "
                           << value << " threshold " << threshold;
            ++tested;
            losing += value < -15;
        }
    };
    for (const char* fen : {"6k1/5p2/8/8/8/8/8/5R1K w - - 0 1", "6k1/5p2/8/8/8/8/5R2/5R1K w - - 0 1",
                            "r5k1/1P6/8/8/8/8/8/6K1 w - - 0 1", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1",
                            "3r2k1/3r4/8/8/8/3Q4/3R4/3R2K1 w - - 0 1"}) {
        Board board = BoardFrom(fen);
        check(board);
    }
    test::WalkSuite(test::WalkPlies - 1, check);
    EXPECT_GT(losing, tested / 20);
    EXPECT_GT(tested, 20000);
}

} // namespace
} // namespace tarvo
